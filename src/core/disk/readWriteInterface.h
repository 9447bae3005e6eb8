#pragma once
// A cursor over a volume: the seek and read calls the readers are written in, over the volume's
// source read by position. Positions are bytes from the volume's first byte; reads stop at the
// volume's end as at the end of the medium, so no reader strays into the next partition. Each
// walk has a cursor of its own; the source below is shared and may be read by several at once.
// A cursor itself is for one thread at a time. Nothing here can write.

#include <cstdint>
#include <string>

#include "common/ByteView.h"
#include "common/PageBuffer.h"
#include "disk/SourceVolume.h"

enum SeekMethod : int { SeekFromStart = 0, SeekFromCurrent = 1, SeekFromEnd = 2 };

class readWriteInterface {
public:
    readWriteInterface() = default;
    /// A cursor at the volume's first byte.
    explicit readWriteInterface(const SourceVolume& volume) : volume_(volume), position_(volume.firstByte) {}
    readWriteInterface(const readWriteInterface&) = delete;
    readWriteInterface& operator=(const readWriteInterface&) = delete;
    readWriteInterface(readWriteInterface&&) = default;
    readWriteInterface& operator=(readWriteInterface&&) = default;

    /// Reads n bytes at the current position. True only when all n bytes arrived. After a short
    /// read the buffer holds the bytes read followed by zeros up to n; when nothing at all could
    /// be read the buffer is left untouched. The position advances by the bytes read.
    /// Sectors the medium fails to deliver do not make a read fail: they arrive as zeros, are
    /// counted in zeroFilledBytes() and marked in the source's range map, so a scan goes on past
    /// them.
    bool read(void* buffer, std::uint32_t n);
    /// Moves to (high:low + the volume's first byte) from the start, the current position or the
    /// end of the medium.
    bool seek(std::uint32_t low, std::int32_t high, int method);
    /// seek(offset, SeekFromStart) without splitting the offset by hand.
    bool seekTo(std::int64_t offset) {
        return seek(static_cast<std::uint32_t>(offset), static_cast<std::int32_t>(offset >> 32), SeekFromStart);
    }
    /// seekTo(offset) then read(buffer, n).
    bool readAt(std::int64_t offset, void* buffer, std::uint32_t n) { return seekTo(offset) && read(buffer, n); }
    /// The absolute position on the medium.
    std::int64_t position() const { return position_; }

    /// Bytes [offset, offset + length) of the volume from a window this cursor keeps in memory,
    /// so that bulk scans and copies need no buffer and no seek of their own; the view is shorter
    /// at the volume's end, and empty when the source keeps no window (devices) or it could not
    /// be filled (callers then read, and meet the error there). Image files are read ahead in
    /// windows of 16 MiB by pread, not by a memory map: an I/O error or a file cut short
    /// underneath then fails a read instead of killing the process with SIGBUS. Valid until the
    /// next call on the cursor; does not move the position.
    ByteView mapRange(std::int64_t offset, std::uint32_t length);

    const SourceVolume& volume() const { return volume_; }
    /// Places the cursor on another volume, at its first byte.
    void setVolume(const SourceVolume& volume);
    /// The volume's first byte on the medium.
    std::int64_t originOffset() const { return volume_.firstByte; }
    /// Bytes from the volume's first byte to its end or the medium's end, whichever comes first.
    std::int64_t volumeByteSize() const { return volume_.byteSize(); }
    /// Bytes in the medium; 0 without a source.
    std::int64_t byteSize() const { return volume_.source != nullptr ? volume_.source->byteSize() : 0; }
    /// Number of 512-byte sectors of the medium, remainder dropped.
    std::int64_t deviceSectorCount() const { return byteSize() / 512; }

    /// The operating system's error code of the last failed call (errno), or 0; a read that ran
    /// into the end of the volume or the medium reports kEndOfMedium.
    int lastError() const { return lastError_; }
    /// Bytes that the last read delivered (n after a complete read, fewer after a short one).
    std::uint32_t lastReadCount() const { return lastReadCount_; }
    /// Zeros this cursor served in place of unreadable bytes: a copy holds such zeros when the
    /// count grew while it was made.
    std::int64_t zeroFilledBytes() const { return zeroFilledBytes_; }

    /// The source's range map (positions on the medium, a copy).
    BadRangeMap rangeMap() const { return volume_.source != nullptr ? volume_.source->rangeMap() : BadRangeMap(); }
    /// Unreadable bytes in [offset, offset + length) of the volume.
    std::int64_t unreadableWithin(std::int64_t offset, std::int64_t length) const {
        return volume_.source != nullptr ? volume_.source->unreadableWithin(volume_.firstByte + offset, length) : 0;
    }
    std::int64_t unreadableBytes() const { return volume_.source != nullptr ? volume_.source->unreadableBytes() : 0; }

    /// The source's retrySkipped(), for a walk that ends by reading its skipped ranges again.
    void retrySkipped() {
        if (volume_.source != nullptr)
            volume_.source->retrySkipped();
    }

    /// The source's setSkipAhead(), for a copy that must skip nothing a later retry could read.
    void setSkipAhead(bool allowed) {
        if (volume_.source != nullptr)
            volume_.source->setSkipAhead(allowed);
    }

private:
    void fillWindow(std::int64_t start, std::int64_t end);
    SourceVolume volume_;
    std::int64_t position_ = 0;
    int lastError_ = 0;
    std::uint32_t lastReadCount_ = 0;
    std::int64_t zeroFilledBytes_ = 0;
    PageBuffer window_;
    std::int64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    // A window that could not be filled (the file ended early) is not asked for again.
    std::int64_t failedStart_ = -1;
    std::int64_t failedEnd_ = -1;
};
