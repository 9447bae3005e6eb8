#pragma once
// The tree-control operations that workers perform (the found-files tree, the carving results).
// The core check-tree model implements it; front ends observe that model.

#include <cstdint>
#include <string>

using TreeItemId = std::int64_t;
inline constexpr TreeItemId kTreeRoot = 0;   ///< parent of top-level items
inline constexpr TreeItemId kTreeNoItem = -1; ///< "no item" result

class TreeSink {
public:
    virtual ~TreeSink() = default;
    /// Inserts an item under parent, after the last child (or first when atTop); returns its id.
    virtual TreeItemId InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data = 0,
                                  bool atTop = false) = 0;
    virtual void SetItemText(TreeItemId item, const std::string& text) = 0;
    virtual void DeleteItem(TreeItemId item) = 0;
    virtual void Expand(TreeItemId item) = 0;
    /// Text colour as 0x00BBGGRR; 255 is the red that marks deleted entries.
    virtual void SetItemTextColor(TreeItemId item, std::uint32_t color) = 0;
};
