#pragma once
// The read-only medium every reader reads from: a device, a partition or an image file, read by
// position. It has no cursor: readAt may be called from several threads at once, and each walk
// addresses its volume through a cursor of its own (readWriteInterface over a SourceVolume). Nothing
// here can write.
//
// A failed read is the common case on the media people recover from, so it never ends a read:
// the failed piece is read again in halves down to single sectors, what still fails is served as
// zeros and marked Bad in the range map. Bad sectors are never asked for again (a failing
// sector can take seconds each time). After a run of bad sectors, or once the retry time is
// spent, a failed piece is no longer split but skipped whole (marked Skipped, zeros served) and
// the scan moves on; a later request tries a skipped piece again while retry time is left, and
// retrySkipped() comes back to all of them at the end. One failed piece is narrowed down at a
// time: the others wait, as the medium could not serve them faster anyway.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "disk/BadRangeMap.h"

/// The error of a read that ran into the end of the medium.
inline constexpr int kEndOfMedium = ENODATA;

/// What one readAt delivered.
struct SourceRead {
    /// Bytes served from the start of the span: read, or zeros where the medium failed. Fewer than
    /// asked for only when the medium ended (error kEndOfMedium) or could not be read at all.
    std::size_t count = 0;
    /// Of count, the zeros served for unreadable bytes.
    std::int64_t zeros = 0;
    /// 0, kEndOfMedium, or the operating system's error (errno) when count is short.
    int error = 0;
};

class PositionedSource {
public:
    static constexpr std::int64_t kSectorBytes = 512;
    /// Bad sectors in a row, without a good read between them, after which failed pieces are
    /// skipped instead of split.
    static constexpr int kBadSectorsBeforeSkip = 16;
    /// Seconds one failing region may take, by default, before its failed pieces are skipped.
    static constexpr double kRegionSeconds = 5;

    /// Whether zeros served for unreadable bytes go to a caller (and are counted as served) or
    /// into a read-ahead buffer (counted by noteServed when a caller gets them).
    enum class Serving { Caller, Ahead };

    PositionedSource() = default;
    virtual ~PositionedSource() = default;
    PositionedSource(const PositionedSource&) = delete;
    PositionedSource& operator=(const PositionedSource&) = delete;

    /// Opens path read-only. False when it cannot be opened (openError() says why). Not to be
    /// called while other threads read.
    virtual bool open(const std::string& path) = 0;
    /// Bytes in the medium (device size or file length); 0 before open.
    virtual std::int64_t byteSize() const = 0;
    /// Number of 512-byte sectors of the medium, remainder dropped.
    std::int64_t deviceSectorCount() const { return byteSize() / kSectorBytes; }
    /// The operating system's error code of the last failed open (errno), or 0.
    int openError() const { return openError_; }
    /// Why the last open failed, in words for front ends to print: the operating system's
    /// reason, or what a disk image container lacks; empty after a successful open.
    const std::string& openFailure() const { return openFailure_; }
    /// Whether cursors should keep read-ahead windows for bulk scans (image files); devices keep
    /// none, so that a read error on failing media stays a failed read of the piece asked for.
    virtual bool readsAhead() const { return false; }

    /// Fills out with the bytes at offset. Unreadable sectors arrive as zeros, counted and marked
    /// in rangeMap(), so a scan goes on past them; the count is short only at the medium's end.
    /// Safe to call from several threads at once.
    SourceRead readAt(std::int64_t offset, std::span<unsigned char> out, Serving serving = Serving::Caller);
    /// A caller got [offset, offset + n) from a buffer filled with Serving::Ahead: counts the
    /// unreadable bytes in it as served, and returns that count.
    std::int64_t noteServed(std::int64_t offset, std::int64_t n);

    /// What the run has learnt of the medium (a copy): the ranges read, and those that failed.
    BadRangeMap rangeMap() const;
    /// Bytes of [offset, offset + length) the medium failed to deliver so far.
    std::int64_t unreadableWithin(std::int64_t offset, std::int64_t length) const;
    /// Bytes the medium failed to deliver so far.
    std::int64_t unreadableBytes() const;
    /// Zeros served in place of unreadable bytes since open, counted each time they are served:
    /// a copy holds such zeros when the count grew while it was made.
    std::int64_t zeroFilledBytes() const { return zeroFilledBytes_.load(std::memory_order_relaxed); }
    /// Bytes the medium delivered since the source was made (read-ahead included): the pace of a
    /// walk that reads here and there, not from start to end.
    std::int64_t mediumBytesRead() const { return mediumBytesRead_.load(std::memory_order_relaxed); }
    /// Seconds the source may spend, over the whole run, reading failed pieces again in smaller
    /// pieces; once spent, a failed piece is skipped whole. Default 120.
    void setRetryTime(double seconds);
    double retryTime() const;
    /// How long a failing region may hold the run up before its failed pieces are skipped and
    /// left for retrySkipped(); 0 skips a failed piece at once.
    void setRegionTime(double seconds);
    /// Whether a failing region may be skipped ahead and left for retrySkipped() (default yes).
    /// A scan wants that, to get past a slow region; copying files out after the scan's retry
    /// does not: a byte skipped there and read by a later retry would stay zero in a file
    /// already written, so every failed piece is narrowed down to its bad sectors (within the
    /// retry time), and a file holds zeros only where the medium really failed.
    void setSkipAhead(bool allowed);
    /// Reads the ranges skipped during the run once more, sector by sector, within what is left
    /// of the retry time, so the map ends up saying which bytes are really unreadable. Call it
    /// when a scan is over (before copying files out, where that comes after the scan).
    void retrySkipped();
    /// True once the medium was found shorter than its size at open (a file truncated while it
    /// was read): reads past its new end report kEndOfMedium, and the run's results are cut short.
    bool mediumShrank() const { return mediumShrank_.load(std::memory_order_relaxed); }

protected:
    /// Reads up to n bytes at position; returns the count, 0 at the end, or -errno. Called from
    /// several threads at once.
    virtual long readBytes(void* buffer, std::uint32_t n, std::int64_t position) = 0;
    /// Forgets what the previous medium taught: for open().
    void resetMediumState();
    int openError_ = 0;
    std::string openFailure_;

private:
    using Clock = std::chrono::steady_clock;
    /// Up to n bytes at at, as readAt serves them; returns the count, 0 at the end, or -errno.
    long readPiece(unsigned char* out, std::uint32_t n, std::int64_t at, Serving serving, std::int64_t& zeros);
    /// Serves all n bytes at at, reading them and splitting failed pieces; returns the bytes
    /// served (fewer only when the medium ended). With recoveryMutex_ held.
    std::uint32_t serve(unsigned char* out, std::uint32_t n, std::int64_t at, Serving serving, std::int64_t& zeros);
    /// A read of exactly [at, at + n) has failed: splits it, or marks it Bad or Skipped. With
    /// recoveryMutex_ held.
    std::uint32_t recoverFailed(unsigned char* out, std::uint32_t n, std::int64_t at, Serving serving,
                                std::int64_t& zeros);
    void serveZeros(unsigned char* out, std::uint32_t n, std::int64_t at, RangeState state, Serving serving,
                    std::int64_t& zeros);
    /// With mutex_ held.
    bool skipping() const;
    double retrySecondsSpent() const;
    void noteEnd(std::int64_t at);
    void noteRead(std::int64_t at, long count);

    mutable std::mutex mutex_;     ///< guards the map and the failing-region bookkeeping below
    std::mutex recoveryMutex_;     ///< one failed piece is narrowed down at a time
    BadRangeMap rangeMap_;
    double retrySeconds_ = 120;
    double regionSeconds_ = kRegionSeconds;
    bool skipAhead_ = true;
    int badSectorsInRow_ = 0;             ///< since the last good read
    bool inFailingRegion_ = false;        ///< no good read since the last failure
    Clock::time_point regionStart_{};     ///< the first failure since the last good read
    Clock::duration retrySpent_{};        ///< time spent on failed pieces, finished recoveries
    bool recovering_ = false;             ///< a recovery runs since busySince_
    Clock::time_point busySince_{};
    bool retryingSkipped_ = false;        ///< in retrySkipped()
    std::atomic<std::int64_t> zeroFilledBytes_{0};
    std::atomic<std::int64_t> mediumBytesRead_{0};
    std::atomic<bool> mediumShrank_{false};
};
