#pragma once
// The tri-state check tree without a toolkit: one record per item, the items' links, and the
// counts that let a folder show checked, unchecked or mixed without visiting its subtree. The
// GUI shows it through a thin item model; the command line and the tests walk it directly.
//
// Not thread-safe: it belongs to one thread. Workers on other threads insert through
// BatchedTreeSink, which hands out ids at once and applies the work here in batches.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/TreeSink.h"

/// The per-item record of the check tree.
struct XHTMLTREEDATA {
    bool checked = false;
    bool enabled = true;     ///< a disabled item cannot be checked, selected or expanded by the user
    bool separator = false;  ///< no check box; does not count in its ancestors' totals
    bool expanded = false;
    bool hasBeenExpanded = false;
    std::int64_t descendants = 0;  ///< items below this one, all levels
    std::int64_t checkedDescendants = 0;
    std::int64_t separatorDescendants = 0;
    std::uint32_t textColor = 0;  ///< 0x00BBGGRR; 255 marks deleted entries red
    std::string tooltip;
};

/// Told about every change, so a view can follow the tree. Rows are positions among siblings.
class CheckTreeObserver {
public:
    virtual ~CheckTreeObserver() = default;
    virtual void beginInsertItems(TreeItemId parent, int firstRow, int lastRow) = 0;
    virtual void endInsertItems() = 0;
    virtual void beginRemoveItems(TreeItemId parent, int firstRow, int lastRow) = 0;
    virtual void endRemoveItems() = 0;
    virtual void beginResetItems() = 0;
    virtual void endResetItems() = 0;
    /// Text, colour or check state of these items changed (a check change also changes the
    /// states shown by the item's whole subtree; views repaint what they show of it).
    virtual void itemsChanged(const std::vector<TreeItemId>& items) = 0;
    /// The "item expanded" notification: expanded is the new state.
    virtual void expansionChanged(TreeItemId item, bool expanded) = 0;
    /// The "check box clicked" notification, after every SetCheck.
    virtual void checkChanged(TreeItemId item, bool checked) = 0;
};

/// Expand actions.
enum ExpandAction : int { ExpandCollapse = 1, ExpandExpand = 2, ExpandToggle = 3, ExpandCollapseReset = 0x8000 };

class CheckTree final : public TreeSink {
public:
    struct Item : XHTMLTREEDATA {
        std::string text;
        TreeItemId parent = kTreeRoot;
        std::uint64_t data = 0;
        std::vector<TreeItemId> children;
        bool live = false;
        mutable int row = 0;  ///< position among the siblings; valid while the parent's rows are not stale
        mutable bool staleRows = false;
    };
    /// What a richer insert can set beyond the text.
    struct NewItem {
        std::string text;
        std::uint64_t data = 0;
        bool checked = false;
        bool separator = false;
        bool enabled = true;
    };

    CheckTree();

    // TreeSink
    TreeItemId InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data = 0,
                          bool atTop = false) override;
    void SetItemText(TreeItemId item, const std::string& text) override;  ///< refused for separators
    void DeleteItem(TreeItemId item) override;
    void Expand(TreeItemId item) override { Expand(item, ExpandExpand); }
    void SetItemTextColor(TreeItemId item, std::uint32_t color) override;

    /// Inserts with a check state; a checked item under a checked folder keeps the folder checked.
    /// Returns kTreeNoItem when parent is unknown.
    TreeItemId insertItem(const NewItem& item, TreeItemId parent, bool atTop = false);
    /// Appends many children to one parent with one notification (the batched path of workers).
    void appendItems(TreeItemId parent, std::vector<NewItem> items, const std::vector<TreeItemId>& ids);

    /// Deletes every item and turns smart check boxes off, as a freshly initialised control.
    void Initialize();
    void DeleteAllItems();

    /// Ignored for unknown, disabled and separator items. With smart check boxes the whole subtree
    /// follows and the ancestors' counts and states are updated; notifies checkChanged.
    void SetCheck(TreeItemId item, bool checked);
    /// With smart check boxes and descendants: true only when every checkable descendant is checked.
    bool GetCheck(TreeItemId item) const;
    /// Checked items over the whole tree.
    std::int64_t GetCheckedCount() const;
    void setEnabled(TreeItemId item, bool enabled);
    /// Records the new expansion state and notifies when it changed; true when it changed.
    bool Expand(TreeItemId item, int action);

    std::string GetItemText(TreeItemId item) const;
    /// The record, or nullptr for an unknown id.
    const XHTMLTREEDATA* GetItemData(TreeItemId item) const { return item_(item); }

    /// The state image of the control: 1 unchecked, 2 checked, 3 mixed; +4 when disabled.
    int stateImage(TreeItemId item) const;

    bool smartCheckBoxes = true;

    /// The item, or nullptr for an unknown or deleted id (kTreeRoot is the invisible parent of the
    /// top items).
    const Item* item(TreeItemId id) const { return item_(id); }
    const std::vector<TreeItemId>& children(TreeItemId id) const;
    /// Position of item among its siblings, or -1.
    int rowOf(TreeItemId id) const;
    /// Number of live items, the invisible root not counted.
    std::int64_t itemCount() const { return liveCount_; }

    /// Reserves an id for an item that will be inserted later with that id; callable from any
    /// thread (BatchedTreeSink).
    TreeItemId reserveId() { return nextId_.fetch_add(1, std::memory_order_relaxed); }
    /// insertItem with an id from reserveId.
    TreeItemId insertReserved(TreeItemId id, const NewItem& item, TreeItemId parent, bool atTop);

    void setObserver(CheckTreeObserver* observer) { observer_ = observer; }

private:
    Item* item_(TreeItemId id);
    const Item* item_(TreeItemId id) const;
    Item& slot(TreeItemId id);
    void place(TreeItemId id, const NewItem& item, TreeItemId parent);
    /// Adds the changes of a subtree's totals to every ancestor from parent upwards, recomputing
    /// their own states; the ids whose state changed are appended to changed.
    void updateAncestors(TreeItemId parent, std::int64_t descendants, std::int64_t checked,
                         std::int64_t separators, std::vector<TreeItemId>* changed);
    void renumber(Item& parent) const;

    std::vector<Item> items_;
    std::atomic<TreeItemId> nextId_{1};
    std::int64_t liveCount_ = 0;
    CheckTreeObserver* observer_ = nullptr;
};
