#include "thumbnails/ThumbnailLoader.h"

#include <QMetaObject>
#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Some 1700 thumbnails of 96 pixels: a screenful many times over, bounded whatever the run finds.
constexpr int kCacheKiB = 64 * 1024;
}  // namespace

ThumbnailLoader::ThumbnailLoader(QSize box, QObject* parent) : QObject(parent), box_(box), cache_(kCacheKiB) {
    thread_ = std::thread([this] { run(); });
}

ThumbnailLoader::~ThumbnailLoader() { stop(); }

void ThumbnailLoader::stop() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

QImage ThumbnailLoader::thumbnail(Key key) const {
    const QImage* image = cache_.object(key);
    return image != nullptr ? *image : QImage();
}

bool ThumbnailLoader::failed(Key key) const {
    const QImage* image = cache_.object(key);
    return image != nullptr && image->isNull();
}

void ThumbnailLoader::request(Key key, bool damaged) {
    if (cache_.contains(key) || postponed_.contains(key) || !fetch_)
        return;
    {
        const std::lock_guard lock(mutex_);
        if (quit_ || !waiting_.insert(key).second)
            return;
        queue_.push_front(key);
        if (damaged)
            damaged_.insert(key);
        if (queue_.size() > kMaxQueued) {
            waiting_.erase(queue_.back());
            damaged_.erase(queue_.back());
            queue_.pop_back();
        }
    }
    wake_.notify_one();
}

void ThumbnailLoader::markDamaged(Key key) {
    cache_.remove(key);
    markedDamaged_.insert(key);
    const std::lock_guard lock(mutex_);
    if (waiting_.contains(key))
        damaged_.insert(key);
}

void ThumbnailLoader::keepOnly(const QSet<Key>& shown) {
    const std::lock_guard lock(mutex_);
    const auto gone = std::remove_if(queue_.begin(), queue_.end(), [&](Key key) {
        if (shown.contains(key))
            return false;
        waiting_.erase(key);
        damaged_.erase(key);
        return true;
    });
    queue_.erase(gone, queue_.end());
}

std::size_t ThumbnailLoader::queued() const {
    const std::lock_guard lock(mutex_);
    return queue_.size();
}

void ThumbnailLoader::run() {
    // Decoding yields to the window thread when the cores are busy: scrolling stays smooth and
    // the thumbnails come a little later.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    for (;;) {
        Key key = 0;
        bool damaged = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_)
                return;
            key = queue_.front();
            queue_.pop_front();
            damaged = damaged_.erase(key) > 0;
        }
        const std::optional<QImage> image = make(key, damaged);
        // Queued to the window thread; dropped there if the loader has gone meanwhile.
        QMetaObject::invokeMethod(this, [this, key, image, damaged] { arrived(key, image, damaged); }, Qt::QueuedConnection);
    }
}

std::optional<QImage> ThumbnailLoader::make(Key key, bool damaged) const {
    const EmbeddedThumbnailFinder embedded = damaged ? EmbeddedThumbnailFinder() : embedded_;
    std::optional<QByteArray> bytes = fetch_(key, kThumbnailHeadBytes);
    if (!bytes)
        return std::nullopt;
    // A photo's own small copy sits in its first bytes: the rest of a large photo is not read.
    if (bytes->size() >= kThumbnailHeadBytes && embedded && embedded(*bytes)) {
        QImage image = decodeThumbnail(*bytes, box_, embedded);
        if (!image.isNull())
            return image;
    }
    if (bytes->size() >= kThumbnailHeadBytes) {
        bytes = fetch_(key, kMaxPictureBytes + 1);
        if (!bytes)
            return std::nullopt;
        if (bytes->size() > kMaxPictureBytes)
            return QImage();
    }
    return decodeThumbnail(*bytes, box_, embedded);
}

void ThumbnailLoader::arrived(Key key, const std::optional<QImage>& image, bool damaged) {
    {
        const std::lock_guard lock(mutex_);
        waiting_.erase(key);
    }
    if (!damaged && markedDamaged_.contains(key)) {
        request(key, true);  // made before the damage was known, perhaps from its embedded copy
        return;
    }
    ++made_;
    if (image) {
        const int cost = image->isNull() ? 1 : std::max<int>(1, static_cast<int>(image->sizeInBytes() / 1024));
        cache_.insert(key, new QImage(*image), cost);
    } else {
        postponed_.insert(key);
    }
    emit thumbnailReady(key);
}
