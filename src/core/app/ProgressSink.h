#pragma once
// Where a worker reports progress: the page's progress bar (range, position) and status line.
// The GUI forwards these as queued signals, the CLI draws a bar on a terminal, tests record them.

#include <atomic>
#include <cstdint>
#include <string>

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setRange(std::int64_t low, std::int64_t high) = 0;
    virtual void setPosition(std::int64_t position) = 0;
    virtual void setStatus(const std::string& text) = 0;

    /// A reader's walk met one more named entry (file or folder); a front end may show the count
    /// while the walk runs, from any thread.
    void entryFound() { entriesFound_.fetch_add(1, std::memory_order_relaxed); }
    std::int64_t entriesFound() const { return entriesFound_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> entriesFound_{0};
};

/// Discards everything; for callers that do not show progress.
class NullProgressSink final : public ProgressSink {
public:
    void setRange(std::int64_t, std::int64_t) override {}
    void setPosition(std::int64_t) override {}
    void setStatus(const std::string&) override {}
    static NullProgressSink& instance() {
        static NullProgressSink sink;
        return sink;
    }
};
