#include "controls/CheckTree.h"

#include <algorithm>

CheckTree::CheckTree() {
    items_.resize(1);
    items_[0].live = true;
}

CheckTree::Item* CheckTree::item_(TreeItemId id) {
    if (id < 0 || static_cast<std::size_t>(id) >= items_.size() || !items_[static_cast<std::size_t>(id)].live)
        return nullptr;
    return &items_[static_cast<std::size_t>(id)];
}

const CheckTree::Item* CheckTree::item_(TreeItemId id) const { return const_cast<CheckTree*>(this)->item_(id); }

CheckTree::Item& CheckTree::slot(TreeItemId id) {
    const auto index = static_cast<std::size_t>(id);
    if (index >= items_.size())
        items_.resize(index + 1);
    return items_[index];
}

const std::vector<TreeItemId>& CheckTree::children(TreeItemId id) const {
    static const std::vector<TreeItemId> none;
    const Item* found = item_(id);
    return found != nullptr ? found->children : none;
}

void CheckTree::renumber(Item& parent) const {
    int row = 0;
    for (TreeItemId child : parent.children)
        items_[static_cast<std::size_t>(child)].row = row++;
    parent.staleRows = false;
}

int CheckTree::rowOf(TreeItemId id) const {
    const Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot)
        return -1;
    const Item& parent = items_[static_cast<std::size_t>(found->parent)];
    if (parent.staleRows)
        renumber(const_cast<Item&>(parent));
    return found->row;
}

void CheckTree::place(TreeItemId id, const NewItem& item, TreeItemId parent) {
    Item& placed = slot(id);
    placed = Item{};
    placed.text = item.text;
    placed.data = item.data;
    placed.separator = item.separator;
    placed.enabled = item.enabled;
    placed.checked = item.checked && !item.separator;
    placed.parent = parent;
    placed.live = true;
    ++liveCount_;
}

void CheckTree::updateAncestors(TreeItemId parent, std::int64_t descendants, std::int64_t checked,
                                std::int64_t separators, std::vector<TreeItemId>* changed) {
    TreeItemId id = parent;
    // Bounded by the item count: a link that pointed back into the chain would otherwise spin.
    for (std::size_t steps = 0; steps <= items_.size(); ++steps) {
        Item* ancestor = item_(id);
        if (ancestor == nullptr)
            return;
        ancestor->descendants = std::max<std::int64_t>(0, ancestor->descendants + descendants);
        ancestor->separatorDescendants = std::max<std::int64_t>(0, ancestor->separatorDescendants + separators);
        ancestor->checkedDescendants = std::max<std::int64_t>(0, ancestor->checkedDescendants + checked);
        if (id == kTreeRoot)
            return;
        // An item left without descendants keeps its own state: there is nothing to derive it from.
        if (smartCheckBoxes && ancestor->descendants > 0) {
            const bool all = ancestor->checkedDescendants == ancestor->descendants - ancestor->separatorDescendants;
            if (all != ancestor->checked) {
                checked += all ? 1 : -1;
                ancestor->checked = all;
            }
        }
        if (changed != nullptr)
            changed->push_back(id);
        id = ancestor->parent;
    }
}

TreeItemId CheckTree::InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data, bool atTop) {
    return insertItem(NewItem{text, data, false, false, true}, parent, atTop);
}

TreeItemId CheckTree::insertItem(const NewItem& item, TreeItemId parent, bool atTop) {
    if (item_(parent) == nullptr)
        return kTreeNoItem;
    return insertReserved(reserveId(), item, parent, atTop);
}

TreeItemId CheckTree::insertReserved(TreeItemId id, const NewItem& item, TreeItemId parent, bool atTop) {
    if (item_(parent) == nullptr || id <= kTreeRoot || item_(id) != nullptr)
        return kTreeNoItem;
    const int row = atTop ? 0 : static_cast<int>(item_(parent)->children.size());
    if (observer_ != nullptr)
        observer_->beginInsertItems(parent, row, row);
    place(id, item, parent);  // may grow items_, so the parent is looked up afterwards
    Item& owner = *item_(parent);
    if (atTop) {
        owner.children.insert(owner.children.begin(), id);
        owner.staleRows = true;
    } else {
        owner.children.push_back(id);
        item_(id)->row = row;
    }
    const Item& placed = *item_(id);
    std::vector<TreeItemId> changed;
    updateAncestors(parent, 1, placed.checked ? 1 : 0, placed.separator ? 1 : 0, &changed);
    if (observer_ != nullptr) {
        observer_->endInsertItems();
        observer_->itemsChanged(changed);
    }
    return id;
}

void CheckTree::appendItems(TreeItemId parent, std::vector<NewItem> items, const std::vector<TreeItemId>& ids) {
    if (item_(parent) == nullptr || items.empty() || ids.size() != items.size())
        return;
    const int first = static_cast<int>(item_(parent)->children.size());
    if (observer_ != nullptr)
        observer_->beginInsertItems(parent, first, first + static_cast<int>(items.size()) - 1);
    std::int64_t added = 0, checked = 0, separators = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (ids[i] <= kTreeRoot || item_(ids[i]) != nullptr)
            continue;  // a reserved id is used once; anything else is a caller's slip, not an item
        place(ids[i], items[i], parent);
        Item& owner = *item_(parent);
        item_(ids[i])->row = static_cast<int>(owner.children.size());
        owner.children.push_back(ids[i]);
        ++added;
        checked += item_(ids[i])->checked ? 1 : 0;
        separators += items[i].separator ? 1 : 0;
    }
    std::vector<TreeItemId> changed;
    updateAncestors(parent, added, checked, separators, &changed);
    if (observer_ != nullptr) {
        observer_->endInsertItems();
        observer_->itemsChanged(changed);
    }
}

void CheckTree::SetItemText(TreeItemId id, const std::string& text) {
    Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot || found->separator)
        return;
    found->text = text;
    if (observer_ != nullptr)
        observer_->itemsChanged({id});
}

void CheckTree::SetItemTextColor(TreeItemId id, std::uint32_t color) {
    Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot)
        return;
    found->textColor = color;
    if (observer_ != nullptr)
        observer_->itemsChanged({id});
}

std::string CheckTree::GetItemText(TreeItemId id) const {
    const Item* found = item_(id);
    return found != nullptr ? found->text : std::string();
}

void CheckTree::DeleteItem(TreeItemId id) {
    Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot)
        return;
    const TreeItemId parent = found->parent;
    const std::int64_t count = 1 + found->descendants;
    const std::int64_t checked = (found->checked ? 1 : 0) + found->checkedDescendants;
    const std::int64_t separators = (found->separator ? 1 : 0) + found->separatorDescendants;
    const int row = rowOf(id);
    if (observer_ != nullptr)
        observer_->beginRemoveItems(parent, row, row);
    Item& owner = *item_(parent);
    owner.children.erase(owner.children.begin() + row);
    if (static_cast<std::size_t>(row) != owner.children.size())
        owner.staleRows = true;
    // Iterative, so a deep tree cannot exhaust the stack.
    std::vector<TreeItemId> pending{id};
    while (!pending.empty()) {
        Item& doomed = items_[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        pending.insert(pending.end(), doomed.children.begin(), doomed.children.end());
        doomed = Item{};
        --liveCount_;
    }
    std::vector<TreeItemId> changed;
    updateAncestors(parent, -count, -checked, -separators, &changed);
    if (observer_ != nullptr) {
        observer_->endRemoveItems();
        observer_->itemsChanged(changed);
    }
}

void CheckTree::DeleteAllItems() {
    if (observer_ != nullptr)
        observer_->beginResetItems();
    items_.clear();
    items_.resize(1);
    items_[0].live = true;
    liveCount_ = 0;
    nextId_.store(1, std::memory_order_relaxed);
    if (observer_ != nullptr)
        observer_->endResetItems();
}

void CheckTree::Initialize() {
    DeleteAllItems();
    smartCheckBoxes = false;
}

void CheckTree::SetCheck(TreeItemId id, bool checked) {
    Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot || !found->enabled || found->separator)
        return;
    const std::int64_t before = (found->checked ? 1 : 0) + found->checkedDescendants;
    // A mixed subtree follows too, not only a changed item: unchecking a folder whose own flag is
    // already clear must still clear the files below it.
    const bool uniform = checked ? found->checkedDescendants == found->descendants - found->separatorDescendants
                                 : found->checkedDescendants == 0;
    const bool follow = found->checked != checked || !uniform;
    found->checked = checked;
    if (smartCheckBoxes && follow && !found->children.empty()) {
        // The subtree in pre-order; its counts are then rebuilt from the leaves up, so disabled
        // items that kept their state are counted as they are.
        std::vector<TreeItemId> order{id};
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Item& node = items_[static_cast<std::size_t>(order[i])];
            order.insert(order.end(), node.children.begin(), node.children.end());
        }
        for (std::size_t i = 1; i < order.size(); ++i) {
            Item& node = items_[static_cast<std::size_t>(order[i])];
            if (node.enabled && !node.separator)
                node.checked = checked;
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            Item& node = items_[static_cast<std::size_t>(*it)];
            std::int64_t below = 0;
            for (TreeItemId child : node.children) {
                const Item& c = items_[static_cast<std::size_t>(child)];
                below += (c.checked ? 1 : 0) + c.checkedDescendants;
            }
            node.checkedDescendants = below;
        }
    }
    const Item& now = *item_(id);
    const std::int64_t after = (now.checked ? 1 : 0) + now.checkedDescendants;
    std::vector<TreeItemId> changed{id};
    updateAncestors(now.parent, 0, after - before, 0, &changed);
    if (observer_ != nullptr) {
        observer_->itemsChanged(changed);
        observer_->checkChanged(id, checked);
    }
}

bool CheckTree::GetCheck(TreeItemId id) const {
    const Item* found = item_(id);
    if (found == nullptr)
        return false;
    if (smartCheckBoxes && found->descendants > 0)
        return found->checkedDescendants == found->descendants - found->separatorDescendants;
    return found->checked;
}

std::int64_t CheckTree::GetCheckedCount() const { return items_[0].checkedDescendants; }

void CheckTree::setEnabled(TreeItemId id, bool enabled) {
    Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot)
        return;
    found->enabled = enabled;
    if (observer_ != nullptr)
        observer_->itemsChanged({id});
}

int CheckTree::stateImage(TreeItemId id) const {
    const Item* found = item_(id);
    if (found == nullptr || found->separator)
        return 0;
    int image = 0;
    if (smartCheckBoxes && found->descendants > 0) {
        if (found->checkedDescendants == 0)
            image = 1;
        else if (found->checkedDescendants == found->descendants - found->separatorDescendants)
            image = 2;
        else
            image = 3;
    } else {
        image = found->checked ? 2 : 1;
    }
    return found->enabled ? image : image + 4;
}

bool CheckTree::Expand(TreeItemId id, int action) {
    Item* found = item_(id);
    if (found == nullptr || id == kTreeRoot)
        return false;
    bool expanded = found->expanded;
    switch (action) {
    case ExpandCollapse:
        expanded = false;
        break;
    case ExpandExpand:
        expanded = true;
        break;
    case ExpandToggle:
        expanded = !expanded;
        break;
    case ExpandCollapseReset:
        expanded = false;
        found->hasBeenExpanded = false;
        break;
    default:
        return false;
    }
    if (expanded)
        found->hasBeenExpanded = true;
    if (expanded == found->expanded)
        return false;
    found->expanded = expanded;
    if (observer_ != nullptr)
        observer_->expansionChanged(id, expanded);
    return true;
}
