#include "pages/EntryReadLock.h"

#include "browser/EntryGrade.h"

void EntryReadLock::setView(std::unique_ptr<EntryView> view) {
    const std::lock_guard hold(mutex_);
    view_ = std::move(view);
}

bool EntryReadLock::lend(const std::function<void(const EntryView&)>& use) {
    const std::lock_guard hold(mutex_);
    if (busy_() || !view_)
        return false;
    use(*view_);
    return true;
}

std::optional<QByteArray> EntryReadLock::readPicture(EntryRef entry, qint64 limit, qint64 maxBytes) {
    const std::lock_guard hold(mutex_);
    if (busy_() || !view_)
        return std::nullopt;
    if (lastPicture_ != entry) {
        lastPictureBytes_.clear();
        lastPicture_ = entry;
        if (view_->byteSize(entry) > static_cast<std::uint64_t>(maxBytes))
            return QByteArray();
        // A file the reader can give only in part keeps what it has: it may still decode.
        const std::optional<std::vector<std::uint8_t>> bytes =
            readEntryBytes(*view_, entry, static_cast<std::uint64_t>(maxBytes) + 1);
        if (bytes)
            lastPictureBytes_ = QByteArray(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()));
    }
    return lastPictureBytes_.left(limit);
}

std::optional<std::unique_ptr<GradedBytes>> EntryReadLock::readForGrade(EntryRef entry) {
    const std::lock_guard hold(mutex_);
    if (busy_() || !view_)
        return std::nullopt;
    return readGradedContent(*view_, entry, false, true);
}
