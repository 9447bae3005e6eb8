#pragma once
// The tree as a worker on another thread sees it: every call returns at once (an insert gets
// its id straight away) and the work is applied to the CheckTree on the tree's own thread by
// flush(), a batch at a time, so a million inserts cost a few hundred view updates instead of a
// million cross-thread round trips.

#include <mutex>
#include <vector>

#include "controls/CheckTree.h"

class BatchedTreeSink final : public TreeSink {
public:
    explicit BatchedTreeSink(CheckTree& tree) : tree_(tree) {}

    /// The id is valid at once as a parent of later calls. When parent turns out to be unknown at
    /// flush time, the insert is dropped (as the tree itself would refuse it).
    TreeItemId InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data = 0,
                          bool atTop = false) override;
    void SetItemText(TreeItemId item, const std::string& text) override;
    void DeleteItem(TreeItemId item) override;
    void Expand(TreeItemId item) override;
    void SetItemTextColor(TreeItemId item, std::uint32_t color) override;

    /// Applies the pending work in call order; only on the tree's thread. Returns the calls applied.
    std::size_t flush();
    /// Drops the pending work (before the tree is cleared).
    void discard();
    bool pending() const;

private:
    enum class Kind { Insert, Text, Delete, Expand, Color };
    struct Call {
        Kind kind;
        TreeItemId item;
        TreeItemId parent;
        std::string text;
        std::uint64_t data;
        bool atTop;
        std::uint32_t color;
    };
    void push(Call call);
    /// Leaves of the renames of one item only the last, moved to the end of the batch.
    static void dropSupersededTexts(std::vector<Call>& calls);

    CheckTree& tree_;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};
