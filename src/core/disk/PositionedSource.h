#pragma once
// The read and seek semantics shared by every concrete sector source; subclasses only supply
// positioned reads of the medium and its size.
//
// A failed read is the common case on the media people recover from, so it never ends a read:
// the failed piece is read again in halves down to single sectors, what still fails is served as
// zeros and marked Bad in the range map. Bad sectors are never asked for again (a failing
// sector can take seconds each time). After a run of bad sectors, or once the retry time is
// spent, a failed piece is no longer split but skipped whole (marked Skipped, zeros served) and
// the scan moves on; a later request tries a skipped piece again while retry time is left, and
// retrySkipped() comes back to all of them at the end.

#include <chrono>

#include "disk/readWriteInterface.h"

class PositionedSource : public readWriteInterface {
public:
    static constexpr std::int64_t kSectorBytes = 512;
    /// Bad sectors in a row, without a good read between them, after which failed pieces are
    /// skipped instead of split.
    static constexpr int kBadSectorsBeforeSkip = 16;
    /// Seconds one failing region may take, by default, before its failed pieces are skipped.
    static constexpr double kRegionSeconds = 5;
    /// How long a failing region may hold the run up before its failed pieces are skipped and
    /// left for retrySkipped(); 0 skips a failed piece at once.
    void setRegionTime(double seconds) { regionSeconds_ = seconds > 0 ? seconds : 0; }

    bool read(void* buffer, std::uint32_t n) final;
    bool seek(std::uint32_t low, std::int32_t high, int method) final;
    void retrySkipped() override;
    std::int64_t position() const { return position_; }

protected:
    /// Reads up to n bytes at position; returns the count (0 at the end) or -1 with lastError_ set.
    virtual long readBytes(void* buffer, std::uint32_t n, std::int64_t position) = 0;
    /// Up to n bytes at position as read() serves them: read, or zeros for unreadable sectors.
    /// Returns the count (0 at the end of the medium, -1 when the source cannot read at all).
    /// For subclasses that fill buffers of their own: with forCaller false the zeros are not
    /// counted as served; servedFromBuffer() counts them when a caller gets them.
    long readRecovering(unsigned char* out, std::uint32_t n, std::int64_t position, bool forCaller = true);
    /// A caller got [position, position + n) from a buffer filled with forCaller false.
    void servedFromBuffer(std::int64_t position, std::int64_t n) {
        zeroFilledBytes_ += rangeMap_.unreadableWithin(position, n);
    }
    /// Forgets what the previous medium taught: for open().
    void resetMediumState();
    std::int64_t position_ = 0;

private:
    using Clock = std::chrono::steady_clock;
    /// Serves all n bytes at at, reading them and splitting failed pieces; returns the bytes
    /// served (fewer only when the medium ended).
    std::uint32_t serve(unsigned char* out, std::uint32_t n, std::int64_t at);
    /// A read of exactly [at, at + n) has failed: splits it, or marks it Bad or Skipped.
    std::uint32_t recoverFailed(unsigned char* out, std::uint32_t n, std::int64_t at);
    void serveZeros(unsigned char* out, std::uint32_t n, std::int64_t at, RangeState state);
    bool skipping() const;
    double retrySecondsSpent() const;
    void noteEnd(std::int64_t at);
    void noteRead(std::int64_t at, long count);

    double regionSeconds_ = kRegionSeconds;
    int badSectorsInRow_ = 0;             ///< since the last good read
    bool inFailingRegion_ = false;        ///< no good read since the last failure
    Clock::time_point regionStart_{};     ///< the first failure since the last good read
    Clock::duration retrySpent_{};        ///< time spent on failed pieces, finished recoveries
    bool recovering_ = false;             ///< a recovery runs since busySince_
    Clock::time_point busySince_{};
    bool retryingSkipped_ = false;        ///< in retrySkipped()
    bool countZeros_ = true;              ///< false while no caller gets the zeros served
};
