#pragma once
// The results page's reader, which serves one thread at a time: the window thread, the thumbnail
// loader and the grader take turns under one lock, and the loader and grader hear "not now" while
// a worker (scan, search, save) has it.

#include <QByteArray>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "browser/EntryView.h"
#include "browser/EntryGrade.h"

class EntryReadLock {
public:
    /// busy says a worker has the reader.
    explicit EntryReadLock(std::function<bool()> busy) : busy_(std::move(busy)) {}

    /// The view, set once the scan has ended (null before, or when it found nothing).
    EntryView* view() const { return view_.get(); }
    void setView(std::unique_ptr<EntryView> view);
    /// The lock the window thread holds while it reads through view().
    std::mutex& mutex() { return mutex_; }

    /// Calls use with the view under the lock; false (use not called) while a worker has the
    /// reader or there is no view.
    bool lend(const std::function<void(const EntryView&)>& use);
    /// A picture's first limit bytes for its thumbnail (loader thread): asked for twice, the
    /// reader writes it once; empty when larger than a thumbnail is made of.
    std::optional<QByteArray> readPicture(EntryRef entry, qint64 limit, qint64 maxBytes);
    /// A deleted picture's content for its grade (grader thread).
    std::optional<std::unique_ptr<GradedBytes>> readForGrade(EntryRef entry);

private:
    std::function<bool()> busy_;
    std::mutex mutex_;
    std::unique_ptr<EntryView> view_;
    std::optional<EntryRef> lastPicture_;  // the loader's last read, kept for its second ask
    QByteArray lastPictureBytes_;
};
