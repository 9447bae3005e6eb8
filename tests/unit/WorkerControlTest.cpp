#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/StopFlag.h"

TEST(PauseGate, TwoPausesNeedTwoResumes) {
    PauseGate gate;
    StopFlag stop;
    stop.attachGate(&gate);
    gate.pause();
    gate.pause();
    std::atomic<int> polls{0};
    std::thread worker([&] {
        while (!stop.isSet())
            ++polls;
    });
    gate.resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(gate.paused());
    EXPECT_EQ(polls.load(), 0) << "the worker advanced while still paused";
    stop.set();  // a paused and stopped worker stays paused until resumed
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(polls.load(), 0);
    gate.resume();
    worker.join();
    EXPECT_FALSE(gate.paused());
}
