#include "raw/MemoryTree.h"

#include <algorithm>

MemoryTree::Item* MemoryTree::find(TreeItemId id) {
    if (id < 0 || static_cast<std::size_t>(id) >= items_.size() || items_[static_cast<std::size_t>(id)].deleted)
        return nullptr;
    return &items_[static_cast<std::size_t>(id)];
}

const MemoryTree::Item* MemoryTree::item(TreeItemId id) const { return const_cast<MemoryTree*>(this)->find(id); }

const std::vector<TreeItemId>& MemoryTree::children(TreeItemId id) const {
    static const std::vector<TreeItemId> none;
    const Item* found = item(id);
    return found != nullptr ? found->children : none;
}

TreeItemId MemoryTree::InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data, bool atTop) {
    if (find(parent) == nullptr)
        return kTreeNoItem;
    const auto id = static_cast<TreeItemId>(items_.size());
    items_.push_back(Item{text, parent, data, {}, false, false, 0});
    auto& siblings = items_[static_cast<std::size_t>(parent)].children;
    if (atTop)
        siblings.insert(siblings.begin(), id);
    else
        siblings.push_back(id);
    return id;
}

void MemoryTree::SetItemText(TreeItemId id, const std::string& text) {
    if (Item* found = find(id); found != nullptr && id != kTreeRoot)
        found->text = text;
}

void MemoryTree::DeleteItem(TreeItemId id) {
    Item* found = find(id);
    if (found == nullptr || id == kTreeRoot)
        return;
    auto& siblings = items_[static_cast<std::size_t>(found->parent)].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    // Iterative, so a deep tree cannot exhaust the stack.
    std::vector<TreeItemId> pending{id};
    while (!pending.empty()) {
        Item& doomed = items_[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        doomed.deleted = true;
        pending.insert(pending.end(), doomed.children.begin(), doomed.children.end());
        doomed.children.clear();
    }
}

void MemoryTree::Expand(TreeItemId id) {
    if (Item* found = find(id); found != nullptr)
        found->expanded = true;
}

void MemoryTree::SetItemTextColor(TreeItemId id, std::uint32_t color) {
    if (Item* found = find(id); found != nullptr)
        found->color = color;
}
