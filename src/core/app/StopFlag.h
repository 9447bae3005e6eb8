#pragma once
// Worker control: the stop flag each reader or engine owns, and the page's pause gate.
// A worker's "is stop set?" test is also where it waits while paused, so it never advances
// while paused (Linux has no thread suspension).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class PauseGate {
public:
    /// Paused or running, nothing in between: a second pause changes nothing, one resume resumes.
    void pause() {
        std::lock_guard lock(mutex_);
        paused_ = true;
    }
    void resume() {
        {
            std::lock_guard lock(mutex_);
            paused_ = false;
        }
        changed_.notify_all();
    }
    bool paused() const {
        std::lock_guard lock(mutex_);
        return paused_;
    }
    /// Blocks while paused. A paused worker stays paused when stopped, until resumed.
    void waitWhilePaused() const {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !paused_; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool paused_ = false;
};

class StopFlag {
public:
    void set() { stop_.store(1, std::memory_order_relaxed); }
    void clear() { stop_.store(0, std::memory_order_relaxed); }
    /// The poll point of every worker loop: waits at the pause gate, then reports the flag.
    bool isSet() const {
        if (gate_ != nullptr)
            gate_->waitWhilePaused();
        return stop_.load(std::memory_order_relaxed) != 0 ||
               (request_ != nullptr && request_->load(std::memory_order_relaxed));
    }
    void attachGate(const PauseGate* gate) { gate_ = gate; }
    /// A front end's own stop request, also reported as set: a page can stop a reader that is
    /// created and walks inside one call, before the page ever gets hold of it.
    void attachRequest(const std::atomic<bool>* request) { request_ = request; }

private:
    std::atomic<std::uint8_t> stop_{0};
    const PauseGate* gate_ = nullptr;
    const std::atomic<bool>* request_ = nullptr;
};
