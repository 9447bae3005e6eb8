#pragma once
// The fill's tree calls, handed to the tree's batches with a pause now and then until the window
// thread has applied them: a million inserts then arrive as a few dozen short batches instead of
// one long stall of the window. Never waits once giveUp says so (the page may be stopping and
// waiting for this worker, and would apply nothing).

#include <cstdint>
#include <functional>

#include "app/TreeSink.h"
#include "controls/BatchedTreeSink.h"

class PacedTreeSink final : public TreeSink {
public:
    PacedTreeSink(BatchedTreeSink& target, std::function<bool()> giveUp) : target_(target), giveUp_(std::move(giveUp)) {}
    TreeItemId InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data, bool atTop) override;
    void SetItemText(TreeItemId item, const std::string& text) override { target_.SetItemText(item, text); }
    void DeleteItem(TreeItemId item) override { target_.DeleteItem(item); }
    void Expand(TreeItemId item) override { target_.Expand(item); }
    void SetItemTextColor(TreeItemId item, std::uint32_t color) override;

private:
    static constexpr std::int64_t kBatch = 50000;  // about 40 ms of the window thread's time
    void pace();

    BatchedTreeSink& target_;
    std::function<bool()> giveUp_;
    std::int64_t calls_ = 0;
};
