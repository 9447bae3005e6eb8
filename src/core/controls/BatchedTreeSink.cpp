#include "controls/BatchedTreeSink.h"

#include <iterator>
#include <unordered_map>

void BatchedTreeSink::push(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

TreeItemId BatchedTreeSink::InsertItem(const std::string& text, TreeItemId parent, std::uint64_t data, bool atTop) {
    const TreeItemId id = tree_.reserveId();
    push({Kind::Insert, id, parent, text, data, atTop, 0});
    return id;
}

void BatchedTreeSink::SetItemText(TreeItemId item, const std::string& text) {
    push({Kind::Text, item, kTreeNoItem, text, 0, false, 0});
}

void BatchedTreeSink::DeleteItem(TreeItemId item) { push({Kind::Delete, item, kTreeNoItem, {}, 0, false, 0}); }

void BatchedTreeSink::Expand(TreeItemId item) { push({Kind::Expand, item, kTreeNoItem, {}, 0, false, 0}); }

void BatchedTreeSink::SetItemTextColor(TreeItemId item, std::uint32_t color) {
    push({Kind::Color, item, kTreeNoItem, {}, 0, false, color});
}

bool BatchedTreeSink::pending() const {
    std::lock_guard lock(mutex_);
    return !calls_.empty();
}

void BatchedTreeSink::discard() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::size_t BatchedTreeSink::flush() {
    std::vector<Call> calls;
    {
        std::lock_guard lock(mutex_);
        calls.swap(calls_);
    }
    const std::size_t made = calls.size();
    dropSupersededTexts(calls);
    for (std::size_t i = 0; i < calls.size();) {
        Call& call = calls[i];
        if (call.kind == Kind::Insert && !call.atTop) {
            // A run of appends under one parent becomes one insertion for the view.
            std::vector<CheckTree::NewItem> items;
            std::vector<TreeItemId> ids;
            std::size_t end = i;
            while (end < calls.size() && calls[end].kind == Kind::Insert && !calls[end].atTop &&
                   calls[end].parent == call.parent) {
                items.push_back({std::move(calls[end].text), calls[end].data, false, false, true});
                ids.push_back(calls[end].item);
                ++end;
            }
            tree_.appendItems(call.parent, std::move(items), ids);
            i = end;
            continue;
        }
        switch (call.kind) {
        case Kind::Insert:
            tree_.insertReserved(call.item, {std::move(call.text), call.data, false, false, true}, call.parent, true);
            break;
        case Kind::Text:
            tree_.SetItemText(call.item, call.text);
            break;
        case Kind::Delete:
            tree_.DeleteItem(call.item);
            break;
        case Kind::Expand:
            tree_.Expand(call.item);
            break;
        case Kind::Color:
            tree_.SetItemTextColor(call.item, call.color);
            break;
        }
        ++i;
    }
    return made;
}

void BatchedTreeSink::dropSupersededTexts(std::vector<Call>& calls) {
    // A carving worker renames its category ("JPEG (41)", "JPEG (42)", ...) before every file it
    // appends: only the last name counts, and it may as well come after the batch's other calls
    // (an item is renamed only after its insert, and a rename after a delete does nothing). The
    // appends under one parent then form one run, one insertion for the view, not thousands.
    std::unordered_map<TreeItemId, std::size_t> lastText;
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].kind == Kind::Text)
            lastText[calls[i].item] = i;
    if (lastText.empty())
        return;
    std::vector<Call> texts;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind != Kind::Text) {
            if (kept != i)  // a string moved onto itself may be left empty
                calls[kept] = std::move(calls[i]);
            ++kept;
        } else if (lastText[calls[i].item] == i) {
            texts.push_back(std::move(calls[i]));
        }
    }
    calls.erase(calls.begin() + static_cast<std::ptrdiff_t>(kept), calls.end());
    std::move(texts.begin(), texts.end(), std::back_inserter(calls));
}
