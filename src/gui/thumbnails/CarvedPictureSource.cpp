#include "thumbnails/CarvedPictureSource.h"

#include <algorithm>

#include "disk/FileReadSeek.h"

CarvedPictureSource::CarvedPictureSource(std::string path, std::int64_t firstByte, std::uint64_t volumeBytes)
    : path_(std::move(path)), firstByte_(firstByte), volumeBytes_(volumeBytes) {}

CarvedPictureSource::~CarvedPictureSource() = default;

void CarvedPictureSource::add(quint64 key, std::uint64_t start, std::uint64_t length) {
    const std::lock_guard lock(mutex_);
    ranges_.insert(key, {start, length});
}

std::optional<QByteArray> CarvedPictureSource::read(quint64 key, qint64 limit) {
    std::pair<std::uint64_t, std::uint64_t> range;
    {
        const std::lock_guard lock(mutex_);
        const auto found = ranges_.constFind(key);
        if (found == ranges_.constEnd())
            return QByteArray();
        range = *found;
    }
    if (!source_) {
        auto source = std::make_unique<FileReadSeek>();
        if (!source->open(path_))
            return QByteArray();
        source->setVolume(firstByte_, static_cast<std::int64_t>(volumeBytes_));
        source_ = std::move(source);
    }
    const auto [start, length] = range;
    if (start >= volumeBytes_ || limit <= 0)
        return QByteArray();
    const std::uint64_t wanted =
        std::min({length, volumeBytes_ - start, static_cast<std::uint64_t>(limit), std::uint64_t{INT32_MAX}});
    QByteArray bytes(static_cast<qsizetype>(wanted), Qt::Uninitialized);
    if (!source_->readAt(static_cast<std::int64_t>(start), bytes.data(), static_cast<std::uint32_t>(wanted))) {
        // A short read keeps what arrived: the rest of a damaged file may still decode in part.
        bytes.truncate(static_cast<qsizetype>(source_->lastReadCount()));
    }
    return bytes;
}
