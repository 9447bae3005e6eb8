#pragma once
// The read-only sector source every reader reads through: a device, a partition or an image file.
// Positions are bytes; every seek adds the origin offset, which the worker sets to the volume's
// first byte, so a reader addresses its volume from byte 0. Nothing here can write.

#include <cstdint>
#include <string>

#include "common/ByteView.h"
#include "disk/BadRangeMap.h"

#include <cerrno>

/// lastError() after a read that ran into the end of the medium.
inline constexpr int kEndOfMedium = ENODATA;

enum SeekMethod : int { SeekFromStart = 0, SeekFromCurrent = 1, SeekFromEnd = 2 };

class readWriteInterface {
public:
    virtual ~readWriteInterface() = default;

    /// Opens path read-only. False when it cannot be opened.
    virtual bool open(const std::string& path) = 0;
    /// Reads n bytes at the current position. True only when all n bytes arrived. After a short
    /// read the buffer holds the bytes read followed by zeros up to n; when nothing at all could
    /// be read the buffer is left untouched. The position advances by the bytes read.
    /// Sectors the medium fails to deliver do not make a read fail: they arrive as zeros, are
    /// counted in zeroFilledBytes() and marked in rangeMap(), so a scan goes on past them.
    virtual bool read(void* buffer, std::uint32_t n) = 0;
    /// Moves to (high:low + origin offset) from the start, the current position or the end.
    virtual bool seek(std::uint32_t low, std::int32_t high, int method) = 0;

    /// Bytes [offset + origin, + length) of the medium from a window the source keeps in memory,
    /// so that bulk scans and copies need no buffer and no seek of their own; the view is shorter
    /// at the end of the medium, and empty when the source keeps no window or could not fill it
    /// (callers then read, and meet the error there). Valid until the next call on the source;
    /// does not move the position.
    virtual ByteView mapRange(std::int64_t offset, std::uint32_t length) {
        (void)offset;
        (void)length;
        return {};
    }

    /// Bytes in the medium (device size or file length); 0 before open.
    virtual std::int64_t byteSize() const = 0;
    /// Number of 512-byte sectors of the medium, remainder dropped.
    std::int64_t deviceSectorCount() const { return byteSize() / 512; }

    /// seek(offset, SeekFromStart) without splitting the offset by hand.
    bool seekTo(std::int64_t offset) {
        return seek(static_cast<std::uint32_t>(offset), static_cast<std::int32_t>(offset >> 32), SeekFromStart);
    }
    /// seekTo(offset) then read(buffer, n).
    bool readAt(std::int64_t offset, void* buffer, std::uint32_t n) { return seekTo(offset) && read(buffer, n); }

    std::int64_t originOffset() const { return originOffset_; }
    void setOriginOffset(std::int64_t bytes) { originOffset_ = bytes; }
    /// Ends the volume bytes after the origin: reads and mapRange stop there as at the end of the
    /// medium, so no reader strays into the next partition. Negative: the volume runs to the end
    /// of the medium. The walks over the whole disk lift it.
    void setVolumeLength(std::int64_t bytes) { volumeLength_ = bytes; }
    /// Origin and length in one call, as a front end positions the source on a chosen volume.
    void setVolume(std::int64_t firstByte, std::int64_t length) {
        originOffset_ = firstByte;
        volumeLength_ = length;
    }
    /// Bytes from the origin to the volume's end or the medium's end, whichever comes first.
    std::int64_t volumeByteSize() const {
        std::int64_t available = byteSize() - originOffset_;
        if (volumeLength_ >= 0 && volumeLength_ < available)
            available = volumeLength_;
        return available > 0 ? available : 0;
    }

    /// The operating system's error code of the last failed call (errno), or 0; a read that ran
    /// into the end of the medium reports kEndOfMedium.
    int lastError() const { return lastError_; }
    /// Bytes that the last read delivered (n after a complete read, fewer after a short one).
    std::uint32_t lastReadCount() const { return lastReadCount_; }

    /// What the run has learnt of the medium: the ranges read, and those that failed (absolute
    /// positions, origin not taken off).
    const BadRangeMap& rangeMap() const { return rangeMap_; }
    /// Zeros served in place of unreadable bytes since open, counted each time they are served:
    /// a copy holds such zeros when the count grew while it was made.
    std::int64_t zeroFilledBytes() const { return zeroFilledBytes_; }
    /// Bytes the medium delivered since the source was made (read-ahead included): the pace of a
    /// walk that reads here and there, not from start to end.
    std::int64_t mediumBytesRead() const { return mediumBytesRead_; }
    /// Seconds the source may spend, over the whole run, reading failed pieces again in smaller
    /// pieces; once spent, a failed piece is skipped whole. Default 120.
    void setRetryTime(double seconds) { retrySeconds_ = seconds > 0 ? seconds : 0; }
    double retryTime() const { return retrySeconds_; }
    /// Whether a failing region may be skipped ahead and left for retrySkipped() (default yes).
    /// A scan wants that, to get past a slow region; copying files out after the scan's retry
    /// does not: a byte skipped there and read by a later retry would stay zero in a file
    /// already written, so every failed piece is narrowed down to its bad sectors (within the
    /// retry time), and a file holds zeros only where the medium really failed.
    void setSkipAhead(bool allowed) { skipAhead_ = allowed; }
    /// Reads the ranges skipped during the run once more, sector by sector, within what is left
    /// of the retry time, so the map ends up saying which bytes are really unreadable. Call it
    /// when a scan is over (before copying files out, where that comes after the scan).
    virtual void retrySkipped() {}
    /// True once the medium was found shorter than its size at open (a file truncated while it
    /// was read): reads past its new end report kEndOfMedium, and the run's results are cut short.
    bool mediumShrank() const { return mediumShrank_; }

protected:
    /// The first byte past the volume (absolute), or INT64_MAX without a volume length.
    std::int64_t volumeEnd() const {
        std::int64_t end = 0;
        if (volumeLength_ < 0 || __builtin_add_overflow(originOffset_, volumeLength_, &end))
            return INT64_MAX;
        return end;
    }
    std::int64_t originOffset_ = 0;
    std::int64_t volumeLength_ = -1;
    int lastError_ = 0;
    std::uint32_t lastReadCount_ = 0;
    BadRangeMap rangeMap_;
    std::int64_t zeroFilledBytes_ = 0;
    std::int64_t mediumBytesRead_ = 0;
    double retrySeconds_ = 120;
    bool skipAhead_ = true;
    bool mediumShrank_ = false;
};
