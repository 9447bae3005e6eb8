#include "pages/PacedTreeSink.h"

#include <chrono>
#include <thread>

TreeItemId PacedTreeSink::InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data, bool atTop) {
    pace();
    return target_.InsertItem(text, parent, data, atTop);
}

void PacedTreeSink::SetItemTextColor(TreeItemId item, std::uint32_t color) {
    pace();
    target_.SetItemTextColor(item, color);
}

void PacedTreeSink::pace() {
    if (++calls_ % kBatch != 0)
        return;
    while (target_.pending() && !giveUp_())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
