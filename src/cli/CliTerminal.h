#pragma once
// How the command line shows the core's progress and messages: everything on stderr, so that
// stdout carries only the command's result.

#include <cstdint>
#include <string>

#include "app/Notifier.h"
#include "app/ProgressSink.h"

/// Status texts as lines (each distinct text once in a row); a progress bar when stderr is a terminal.
/// Texts that differ from the last printed one only in their digits (a counter: "record 17 of
/// 50000") are printed at most every 200 ms: a walk over 100,000 entries gives a few lines, not
/// 100,000. A new kind of text is always printed.
class StderrProgress final : public ProgressSink {
public:
    StderrProgress();
    ~StderrProgress() override;
    void setRange(std::int64_t low, std::int64_t high) override;
    void setPosition(std::int64_t position) override;
    void setStatus(const std::string& text) override;

private:
    void drawBar();
    void clearBar();
    bool terminal_;
    bool barShown_ = false;
    std::int64_t low_ = 0, high_ = 0, position_ = 0;
    int lastPermille_ = -1;
    std::string lastStatus_;
    std::string lastPrintedShape_;
    std::int64_t lastPrintedMs_ = 0;
};

/// Message boxes become stderr lines; questions are answered Yes (a script cannot answer).
class StderrNotifier final : public Notifier {
public:
    void inform(const std::string& text, const std::string& caption) override;
    bool ask(const std::string& question) override;
};
