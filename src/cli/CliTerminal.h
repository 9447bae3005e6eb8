#pragma once
// How the command line shows the core's progress and messages: everything on stderr, so that
// stdout carries only the command's result.

#include <cstdint>
#include <functional>
#include <string>

#include "app/Notifier.h"
#include "app/ProgressSink.h"

/// --quiet: no status texts and no progress line for the rest of the process (messages and
/// errors still show).
void silenceProgress();

/// On a terminal: one self-updating line (percent, MB/s, time left, files found, the latest
/// status text), redrawn at most every 100 ms. Otherwise: status texts as lines, each distinct
/// text once in a row; texts that differ from the last printed one only in their digits (a
/// counter: "record 17 of 50000") at most every 200 ms, so a walk over 100,000 entries gives a
/// few lines, not 100,000. A new kind of text is always printed.
class StderrProgress final : public ProgressSink {
public:
    StderrProgress();
    ~StderrProgress() override;
    void setRange(std::int64_t low, std::int64_t high) override;
    void setPosition(std::int64_t position) override;
    void setStatus(const std::string& text) override;

    /// The bytes the whole range stands for, from now on (0: no MB/s shown).
    void setWorkBytes(std::int64_t bytes) {
        workBytes_ = bytes;
        bytesCounter_ = nullptr;
    }
    /// For work that reads here and there (a file system's walk): MB/s is the counter's growth
    /// since now, over the time since now, in place of the range's share of the work bytes.
    void setBytesCounter(std::function<std::int64_t()> counter);
    /// Asked for "files found" each time the line is drawn (none: not shown).
    void setFoundCounter(std::function<std::int64_t()> counter) { found_ = std::move(counter); }
    /// Wipes the terminal line so that a message can start on a line of its own.
    void clearLine();
    /// A status text that stays on a line of its own, also on a terminal: --quiet silences it.
    void note(const std::string& text);

    /// The terminal line for a state (exposed for tests): fraction of the work done, seconds since
    /// its range began, bytes per second and found (negative: not shown), status text; cut to
    /// width columns.
    static std::string lineText(double fraction, double seconds, double bytesPerSecond, std::int64_t found,
                                const std::string& status, int width);

private:
    void drawLine(bool force);
    bool terminal_;
    bool quiet_;
    bool lineShown_ = false;
    std::int64_t low_ = 0, high_ = 0, position_ = 0;
    std::int64_t workBytes_ = 0;
    std::function<std::int64_t()> found_;
    std::function<std::int64_t()> bytesCounter_;
    std::int64_t bytesCounterBase_ = 0;
    std::int64_t bytesCounterStartMs_ = 0;
    std::int64_t rangeStartMs_ = 0;
    std::int64_t lastDrawMs_ = 0;
    std::string lastStatus_;
    std::string lastPrintedShape_;
    std::int64_t lastPrintedMs_ = 0;
};

/// After a source could not be opened with errorNumber: the way to the rights when they were missing.
void explainOpenFailure(int errorNumber);

/// Message boxes become stderr lines; questions are answered Yes (a script cannot answer).
/// With a progress line attached, the line is wiped first.
class StderrNotifier final : public Notifier {
public:
    void inform(const std::string& text, const std::string& caption) override;
    bool ask(const std::string& question) override;
    /// A status text: --quiet silences it.
    void announceDone(const std::string& text) override;
    StderrProgress* progressLine = nullptr;
};
