#pragma once
// Makes thumbnails on a thread of its own and keeps them for the run, so the window thread never
// reads or decodes a picture. Only what the view shows is asked for: a request goes to the front
// of a short queue, and keepOnly() drops the requests that have scrolled out of sight, so a fast
// scroll through ten thousand files leaves a handful of decodes behind, not ten thousand.

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "thumbnails/ThumbnailDecoder.h"

class ThumbnailLoader final : public QObject {
    Q_OBJECT
public:
    using Key = quint64;
    /// Reads at most limit leading bytes of the picture key stands for; called on the loader's
    /// thread only. Empty: unreadable (the key gets no thumbnail). nullopt: not now (the source
    /// is busy); the key is asked for again when the view next shows it.
    using Fetch = std::function<std::optional<QByteArray>(Key key, qint64 limit)>;

    explicit ThumbnailLoader(QSize box, QObject* parent = nullptr);
    /// Waits for the picture being made, if any.
    ~ThumbnailLoader() override;
    /// Ends the loader's thread (waiting for the picture being made): the fetch is never called
    /// again. For an owner whose fetch reads state that goes before the loader does.
    void stop();

    /// Set before the first request.
    void setFetch(Fetch fetch) { fetch_ = std::move(fetch); }
    void setEmbeddedFinder(EmbeddedThumbnailFinder finder) { embedded_ = std::move(finder); }
    QSize box() const { return box_; }

    /// The thumbnail made for key: a null image while none is ready, and for a picture that could
    /// not be read or decoded (failed() tells these apart).
    QImage thumbnail(Key key) const;
    bool failed(Key key) const;
    bool ready(Key key) const { return cache_.contains(key); }
    /// Queues key first unless it is made, queued or being made already. A damaged picture is
    /// decoded itself: its embedded small copy would show it whole.
    void request(Key key, bool damaged = false);
    /// The picture turned out damaged after its thumbnail was asked for: a thumbnail made (perhaps
    /// from its embedded copy) is dropped, and one still queued is decoded from the picture itself.
    void markDamaged(Key key);
    /// Drops queued requests for keys outside shown; the one being made is finished.
    void keepOnly(const QSet<Key>& shown);
    /// Queued requests, and pictures read so far (for tests and the benchmark).
    std::size_t queued() const;
    std::size_t made() const { return made_; }
    /// Forgets the failures that were "not now", so they are asked for again.
    void forgetPending() { postponed_.clear(); }
    bool postponed(Key key) const { return postponed_.contains(key); }

    /// Bytes read for one picture at most: a larger file gets no thumbnail.
    static constexpr qint64 kMaxPictureBytes = 64 * 1024 * 1024;
    /// Requests kept waiting at most; the oldest are dropped first.
    static constexpr std::size_t kMaxQueued = 256;

signals:
    /// A thumbnail (or the failure to make one) for key has arrived.
    void thumbnailReady(quint64 key);

private:
    void run();
    /// The picture's thumbnail, or nullopt when the source said "not now".
    std::optional<QImage> make(Key key, bool damaged) const;
    void arrived(Key key, const std::optional<QImage>& image, bool damaged);

    const QSize box_;
    Fetch fetch_;
    EmbeddedThumbnailFinder embedded_;
    // Window thread only: made thumbnails by cost in KiB (a failure costs 1), and the keys whose
    // source was busy.
    QCache<Key, QImage> cache_;
    QSet<Key> postponed_;
    QSet<Key> markedDamaged_;
    std::size_t made_ = 0;
    // Shared with the loader's thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Key> queue_;
    std::unordered_set<Key> waiting_;  // queued or being made
    std::unordered_set<Key> damaged_;  // decoded without their embedded copy
    bool quit_ = false;
    std::thread thread_;
};
