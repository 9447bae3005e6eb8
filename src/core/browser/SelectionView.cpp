#include "browser/SelectionView.h"

std::vector<EntryRef> SelectionView::topLevel() const {
    std::vector<EntryRef> top = narrowed(base_.topLevel(), everything_);
    if (everything_)
        std::erase_if(top, [this](EntryRef entry) { return chosen_.count(entry) == 0 && base_.isVolumeMetadata(entry); });
    return top;
}

std::vector<EntryRef> SelectionView::children(EntryRef folder) const {
    return narrowed(base_.children(folder), whole_.count(folder) != 0);
}

std::vector<EntryRef> SelectionView::narrowed(const std::vector<EntryRef>& entries, bool all) const {
    std::vector<EntryRef> out;
    for (EntryRef entry : entries) {
        if (all) {
            // Below a whole folder every subfolder is whole too.
            if (base_.isFolder(entry, Placement::Nested))
                whole_.insert(entry);
            out.push_back(entry);
        } else if (chosen_.count(entry) != 0) {
            out.push_back(entry);
        }
    }
    return out;
}
