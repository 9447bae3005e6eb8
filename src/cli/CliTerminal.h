#pragma once
// How the command line shows the core's progress and messages: everything on stderr, so that
// stdout carries only the command's result.

#include <cstdint>
#include <string>

#include "app/Notifier.h"
#include "app/ProgressSink.h"

/// Status texts as lines (each distinct text once in a row); a progress bar when stderr is a terminal.
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
};

/// Message boxes become stderr lines; questions are answered Yes (a script cannot answer).
class StderrNotifier final : public Notifier {
public:
    void inform(const std::string& text, const std::string& caption) override;
    bool ask(const std::string& question) override;
};
