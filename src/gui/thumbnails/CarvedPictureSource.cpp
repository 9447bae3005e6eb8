#include "thumbnails/CarvedPictureSource.h"

#include <algorithm>

#include "disk/readWriteInterface.h"

CarvedPictureSource::CarvedPictureSource(std::shared_ptr<PositionedSource> medium, std::int64_t firstByte,
                                         std::uint64_t volumeBytes)
    : medium_(std::move(medium)), firstByte_(firstByte), volumeBytes_(volumeBytes) {}

CarvedPictureSource::~CarvedPictureSource() = default;

void CarvedPictureSource::add(quint64 key, std::vector<CarvedRun> runs) {
    const std::lock_guard lock(mutex_);
    runs_.insert(key, std::move(runs));
}

std::optional<QByteArray> CarvedPictureSource::read(quint64 key, qint64 limit) {
    std::vector<CarvedRun> runs;
    {
        const std::lock_guard lock(mutex_);
        const auto found = runs_.constFind(key);
        if (found == runs_.constEnd())
            return QByteArray();
        runs = runsWithinVolume(*found, volumeBytes_);
    }
    if (!medium_)
        return QByteArray();
    if (!source_)
        source_ = std::make_unique<readWriteInterface>(SourceVolume(*medium_, firstByte_, static_cast<std::int64_t>(volumeBytes_)));
    if (limit <= 0)
        return QByteArray();
    const std::uint64_t wanted = std::min({runsLength(runs), static_cast<std::uint64_t>(limit), std::uint64_t{INT32_MAX}});
    QByteArray bytes(static_cast<qsizetype>(wanted), Qt::Uninitialized);
    std::uint64_t done = 0;
    forEachRunPiece(runs, INT32_MAX, [&](std::uint64_t at, std::uint32_t piece) {
        piece = static_cast<std::uint32_t>(std::min<std::uint64_t>(piece, wanted - done));
        if (piece == 0)
            return false;
        if (!source_->readAt(static_cast<std::int64_t>(at), bytes.data() + done, piece)) {
            // A short read keeps what arrived: the rest of a damaged file may still decode in part.
            done += source_->lastReadCount();
            return false;
        }
        done += piece;
        return true;
    });
    bytes.truncate(static_cast<qsizetype>(done));
    return bytes;
}
