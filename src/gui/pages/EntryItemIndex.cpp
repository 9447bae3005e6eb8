#include "pages/EntryItemIndex.h"

#include <vector>

#include "browser/EntryTreeFill.h"

bool anyItemBelow(const CheckTree& tree, TreeItemId root,
                  const std::function<bool(TreeItemId, const CheckTree::Item&)>& test) {
    std::vector<TreeItemId> stack(tree.children(root).begin(), tree.children(root).end());
    while (!stack.empty()) {
        const TreeItemId id = stack.back();
        stack.pop_back();
        const CheckTree::Item* item = tree.item(id);
        if (item == nullptr)
            continue;
        if (test(id, *item))
            return true;
        stack.insert(stack.end(), tree.children(id).begin(), tree.children(id).end());
    }
    return false;
}

QHash<quint64, TreeItemId> itemsByEntry(const CheckTree& tree, TreeItemId root) {
    QHash<quint64, TreeItemId> items;
    anyItemBelow(tree, root, [&items](TreeItemId id, const CheckTree::Item& item) {
        if (item.data != kNoEntryData)
            items.insert(item.data, id);
        return false;
    });
    return items;
}
