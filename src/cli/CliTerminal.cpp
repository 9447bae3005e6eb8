#include "CliTerminal.h"

#include "app/ProgressLine.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {
bool silenced = false;

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

int terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20)
        return size.ws_col;
    return 80;
}

}  // namespace

void silenceProgress() { silenced = true; }

void explainOpenFailure(int errorNumber) {
    // Whole drives belong to root and the disk group; saying so spares a user the search.
    if (errorNumber == EACCES || errorNumber == EPERM)
        std::fprintf(stderr, "permission denied: run with sudo, or as a member of the disk group\n");
}

StderrProgress::StderrProgress() : terminal_(::isatty(STDERR_FILENO) == 1), quiet_(silenced) {}

StderrProgress::~StderrProgress() { clearLine(); }

void StderrProgress::setRange(std::int64_t low, std::int64_t high) {
    low_ = low;
    high_ = high;
    position_ = low;
    rangeStartMs_ = nowMs();
}

void StderrProgress::setPosition(std::int64_t position) {
    position_ = position;
    drawLine(false);
}

void StderrProgress::note(const std::string& text) {
    if (quiet_)
        return;
    clearLine();
    std::fprintf(stderr, "%s\n", text.c_str());
}

void StderrProgress::setStatus(const std::string& text) {
    if (quiet_ || text == lastStatus_)
        return;
    lastStatus_ = text;
    if (terminal_) {
        drawLine(false);
        return;
    }
    constexpr std::int64_t kCounterEveryMs = 200;
    std::string shape = shapeOf(text);
    const std::int64_t now = nowMs();
    if (shape == lastPrintedShape_ && now - lastPrintedMs_ < kCounterEveryMs)
        return;
    lastPrintedShape_ = std::move(shape);
    lastPrintedMs_ = now;
    std::fprintf(stderr, "%s\n", text.c_str());
}

void StderrProgress::setBytesCounter(std::function<std::int64_t()> counter) {
    bytesCounter_ = std::move(counter);
    bytesCounterBase_ = bytesCounter_ ? bytesCounter_() : 0;
    bytesCounterStartMs_ = nowMs();
}

std::string StderrProgress::lineText(double fraction, double seconds, double bytesPerSecond, std::int64_t found,
                                     const std::string& status, int width) {
    std::string line = progressLineText(fraction, seconds, bytesPerSecond, found);
    if (!status.empty())
        line += "  " + status;
    // The line must never wrap, or the next redraw starts below it.
    const auto columns = static_cast<std::size_t>(std::max(width - 1, 1));
    if (line.size() > columns)
        line.resize(columns);
    return line;
}

void StderrProgress::drawLine(bool force) {
    if (!terminal_ || quiet_)
        return;
    constexpr std::int64_t kRedrawEveryMs = 100;
    const std::int64_t now = nowMs();
    if (!force && lineShown_ && now - lastDrawMs_ < kRedrawEveryMs)
        return;
    lastDrawMs_ = now;
    const double fraction =
        high_ > low_ ? static_cast<double>(position_ - low_) / static_cast<double>(high_ - low_) : 0.0;
    const double seconds = static_cast<double>(now - rangeStartMs_) / 1000.0;
    // No rate before there is a pace to go by.
    double bytesPerSecond = -1;
    if (bytesCounter_) {
        const double counting = static_cast<double>(now - bytesCounterStartMs_) / 1000.0;
        if (counting > 0.05)
            bytesPerSecond = static_cast<double>(bytesCounter_() - bytesCounterBase_) / counting;
    } else if (workBytes_ > 0 && seconds > 0.05) {
        bytesPerSecond = fraction * static_cast<double>(workBytes_) / seconds;
    }
    const std::string line =
        lineText(fraction, seconds, bytesPerSecond, found_ ? found_() : -1, lastStatus_, terminalWidth());
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    lineShown_ = true;
}

void StderrProgress::clearLine() {
    if (lineShown_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        lineShown_ = false;
    }
}

void StderrNotifier::inform(const std::string& text, const std::string&) {
    if (progressLine != nullptr)
        progressLine->clearLine();
    std::fprintf(stderr, "%s\n", text.c_str());
}

void StderrNotifier::announceDone(const std::string& text) {
    if (silenced)
        return;
    inform(text, "");
}

bool StderrNotifier::ask(const std::string& question) {
    if (progressLine != nullptr)
        progressLine->clearLine();
    std::fprintf(stderr, "%s Yes\n", question.c_str());
    return true;
}
