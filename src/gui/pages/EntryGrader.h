#pragma once
// Grades the deleted pictures a page lists, on a thread of its own: the window thread never
// decodes. The content is read through the page's fetch (which says "not now" while a worker
// uses the reader: grading then waits for resume()), decoded without holding the reader, and
// each grade kept for the run.

#include <QHash>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "formats/PictureGrade.h"
#include "browser/EntryGrade.h"

class EntryGrader final : public QObject {
    Q_OBJECT
public:
    using Key = quint64;
    /// The entry's content (null: nothing to grade), or nullopt for "not now". Called on the
    /// grader's thread.
    using Fetch = std::function<std::optional<std::unique_ptr<GradedBytes>>(Key)>;

    explicit EntryGrader(Fetch fetch, QObject* parent = nullptr);
    ~EntryGrader() override;
    /// Ends the thread (after the entry in hand): fetch is never called again.
    void stop();

    /// Queues key unless it is graded or queued already.
    void request(Key key);
    /// Drops what is queued (the list it was for is gone).
    void clearQueue();
    /// The reader is free again: grading goes on where "not now" held it.
    void resume();

    /// The grade of key once it has arrived; nullopt inside while none could be made (an entry
    /// not graded) and nullopt outside while it is not graded yet.
    std::optional<std::optional<formats::PictureGrade>> known(Key key) const;

signals:
    /// key's grade has arrived (known() has it).
    void graded(quint64 key);

private:
    void run();
    void arrived(Key key, std::optional<formats::PictureGrade> grade);

    Fetch fetch_;
    QHash<Key, std::optional<formats::PictureGrade>> grades_;  // window thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Key> queue_;
    std::unordered_set<Key> queued_;
    bool held_ = false;          // the fetch said "not now"
    std::uint64_t resumes_ = 0;  // a resume() while the fetch ran is not lost
    bool quit_ = false;
    std::thread thread_;
};
