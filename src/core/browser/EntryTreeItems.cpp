#include "browser/EntryTreeItems.h"

#include <utility>
#include <vector>

#include "browser/EntryTreeFill.h"
#include "browser/EntryWalk.h"
#include "browser/SelectionView.h"

Placement placementOf(const CheckTree& tree, TreeItemId root, TreeItemId item) {
    const CheckTree::Item* record = tree.item(item);
    return record != nullptr && record->parent == root ? Placement::TopLevel : Placement::Nested;
}

bool isFolderItem(const CheckTree& tree, TreeItemId root, const EntryView* view, TreeItemId item) {
    if (item == root)
        return true;
    const CheckTree::Item* record = tree.item(item);
    if (record == nullptr || record->data == kNoEntryData || view == nullptr)
        return false;
    return view->isFolder(record->data, placementOf(tree, root, item));
}

void populateFolderItem(CheckTree& tree, TreeItemId root, EntryView& view, TreeItemId item, bool colourDeleted) {
    const CheckTree::Item* record = tree.item(item);
    if (record == nullptr || item == root || record->data == kNoEntryData)
        return;
    if (!tree.children(item).empty() && tree.GetItemText(tree.children(item).front()) == kPlaceholderText)
        tree.DeleteItem(tree.children(item).front());
    if (!tree.children(item).empty() || !isFolderItem(tree, root, &view, item))
        return;
    const EntryRef folder = record->data;
    const bool checked = record->checked;
    const bool folderDeleted = record->textColor == kDeletedColor;
    for (EntryRef child : view.children(folder)) {
        const std::string name = view.name(child);
        const bool childFolder = view.isFolder(child, Placement::Nested);
        if (childFolder && isSelfOrParentLink(name))
            continue;
        CheckTree::NewItem made;
        made.text = name;
        made.data = child;
        made.checked = checked;
        const TreeItemId id = tree.insertItem(made, item);
        if (colourDeleted && view.isDeleted(child, folderDeleted))
            tree.SetItemTextColor(id, kDeletedColor);
        if (childFolder && !view.children(child).empty())
            tree.InsertItem(kPlaceholderText, id, kNoEntryData);
    }
}

void chooseCheckedItems(const CheckTree& tree, TreeItemId root, const EntryView& view, SelectionView& selection) {
    const CheckTree::Item* rootRecord = tree.item(root);
    const bool wholeVolume = rootRecord != nullptr && rootRecord->checked;
    std::vector<std::pair<TreeItemId, std::size_t>> stack;
    const auto& top = tree.children(root);
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        stack.emplace_back(*it, 0);
    std::vector<EntryRef> path;  // the entries of the folders above the item
    auto chooseWithFolders = [&](EntryRef entry, bool whole) {
        for (EntryRef folder : path)
            selection.choose(folder);
        whole ? selection.chooseWhole(entry) : selection.choose(entry);
    };
    while (!stack.empty()) {
        const auto [id, depth] = stack.back();
        stack.pop_back();
        const CheckTree::Item* record = tree.item(id);
        if (record == nullptr || record->data == kNoEntryData)
            continue;
        if (depth == 0 && wholeVolume && view.isVolumeMetadata(record->data))
            continue;
        path.resize(depth);
        if (!isFolderItem(tree, root, &view, id)) {
            if (record->checked)
                chooseWithFolders(record->data, false);
            continue;
        }
        const auto& children = tree.children(id);
        const bool read = !children.empty() && !(children.size() == 1 && tree.GetItemText(children[0]) == kPlaceholderText);
        if (!read) {
            if (record->checked)
                chooseWithFolders(record->data, true);
            continue;
        }
        path.push_back(record->data);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
}

std::optional<SaveStart> chooseForSave(const CheckTree& tree, TreeItemId root, const EntryView& view, TreeItemId current,
                                       SelectionView& selection) {
    chooseCheckedItems(tree, root, view, selection);
    if (!selection.empty())
        return SaveStart{};
    const CheckTree::Item* record = tree.item(current);
    if (current == root) {
        selection.chooseEverything();
        return SaveStart{};
    }
    if (record == nullptr || !isFolderItem(tree, root, &view, current))
        return std::nullopt;
    selection.chooseWhole(record->data);
    return SaveStart{record->data, record->textColor == kDeletedColor};
}

std::string trimmedPath(const std::string& path) {
    std::string out;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        std::size_t last = end;
        while (last > begin && (path[last - 1] == ' ' || path[last - 1] == '\t'))
            --last;
        if (!out.empty() || begin > 0)
            out += '/';
        out.append(path, begin, last - begin);
        begin = end + 1;
    }
    return out;
}
