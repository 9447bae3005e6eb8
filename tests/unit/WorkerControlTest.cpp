#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/StopFlag.h"

TEST(PauseGate, OneResumeEndsAnyNumberOfPauses) {
    PauseGate gate;
    StopFlag stop;
    stop.attachGate(&gate);
    gate.pause();
    gate.pause();  // a second pause while paused changes nothing
    std::atomic<int> polls{0};
    std::thread worker([&] {
        while (!stop.isSet())
            ++polls;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(gate.paused());
    EXPECT_EQ(polls.load(), 0) << "the worker advanced while paused";
    gate.resume();
    EXPECT_FALSE(gate.paused());
    for (int waited = 0; polls.load() == 0 && waited < 5000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(polls.load(), 0) << "one resume did not resume";
    gate.pause();
    stop.set();  // a paused and stopped worker stays paused until resumed
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int pollsWhenPaused = polls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(polls.load(), pollsWhenPaused);
    gate.resume();
    worker.join();
    EXPECT_FALSE(gate.paused());
}
