#include "CliTerminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

StderrProgress::StderrProgress() : terminal_(::isatty(STDERR_FILENO) == 1) {}

StderrProgress::~StderrProgress() { clearBar(); }

void StderrProgress::setRange(std::int64_t low, std::int64_t high) {
    low_ = low;
    high_ = high;
    lastPermille_ = -1;
}

void StderrProgress::setPosition(std::int64_t position) {
    position_ = position;
    if (terminal_)
        drawBar();
}

namespace {
/// The text with its digits left out: two texts of one shape differ only in their numbers.
std::string shapeOf(const std::string& text) {
    std::string shape;
    for (const char c : text)
        if (c < '0' || c > '9')
            shape += c;
    return shape;
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

void StderrProgress::setStatus(const std::string& text) {
    if (text == lastStatus_)
        return;
    lastStatus_ = text;
    constexpr std::int64_t kCounterEveryMs = 200;
    std::string shape = shapeOf(text);
    const std::int64_t now = nowMs();
    if (shape == lastPrintedShape_ && now - lastPrintedMs_ < kCounterEveryMs)
        return;
    lastPrintedShape_ = std::move(shape);
    lastPrintedMs_ = now;
    clearBar();
    std::fprintf(stderr, "%s\n", text.c_str());
    if (terminal_ && high_ > low_)
        drawBar();
}

void StderrProgress::drawBar() {
    if (high_ <= low_)
        return;
    const double fraction = static_cast<double>(position_ - low_) / static_cast<double>(high_ - low_);
    const int permille = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000);
    if (permille == lastPermille_ && barShown_)
        return;
    lastPermille_ = permille;
    constexpr int kWidth = 40;
    const int filled = permille * kWidth / 1000;
    std::fprintf(stderr, "\r[%.*s%*s] %5.1f%%", filled, "########################################", kWidth - filled, "",
                 permille / 10.0);
    std::fflush(stderr);
    barShown_ = true;
}

void StderrProgress::clearBar() {
    if (barShown_) {
        std::fprintf(stderr, "\r%60s\r", "");
        barShown_ = false;
    }
}

void StderrNotifier::inform(const std::string& text, const std::string&) { std::fprintf(stderr, "%s\n", text.c_str()); }

bool StderrNotifier::ask(const std::string& question) {
    std::fprintf(stderr, "%s Yes\n", question.c_str());
    return true;
}
