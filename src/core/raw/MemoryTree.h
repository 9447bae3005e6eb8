#pragma once
// A plain in-memory tree behind TreeSink, for the command line and the tests: it keeps what the
// carving engine inserts (labels, item data, parents) so that it can be walked afterwards.

#include <cstdint>
#include <string>
#include <vector>

#include "app/TreeSink.h"

class MemoryTree final : public TreeSink {
public:
    struct Item {
        std::string text;
        TreeItemId parent = kTreeRoot;
        std::uint64_t data = 0;
        std::vector<TreeItemId> children;
        bool expanded = false;
        bool deleted = false;
        std::uint32_t color = 0;
    };

    TreeItemId InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data = 0,
                          bool atTop = false) override;
    void SetItemText(TreeItemId item, const std::string& text) override;
    void DeleteItem(TreeItemId item) override;
    void Expand(TreeItemId item) override;
    void SetItemTextColor(TreeItemId item, std::uint32_t color) override;

    /// The item, or nullptr for an unknown id (kTreeRoot is the invisible parent of the top items).
    const Item* item(TreeItemId id) const;
    const std::vector<TreeItemId>& children(TreeItemId id) const;

private:
    Item* find(TreeItemId id);
    std::vector<Item> items_{Item{}};  // items_[0] is the invisible root
};
