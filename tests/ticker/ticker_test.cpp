// The tick thread, in virtual time (exact counts) and in real time (loose).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/IEngine.h"
#include "platform/os/Clock.h"
#include "platform/os/Event.h"
#include "platform/os/Thread.h"

namespace {

std::atomic<int32_t> calls{0};
std::atomic<int32_t> otherCalls{0};
std::atomic<bool> wrongThread{false};
std::thread::id mainThread;
std::vector<uint64_t> callTimes;  // written by the tick thread only while it runs

void Count() {
    calls.fetch_add(1, std::memory_order_relaxed);
    if (std::this_thread::get_id() == mainThread) wrongThread.store(true);
}
void CountOther() { otherCalls.fetch_add(1, std::memory_order_relaxed); }
void RecordTime() {
    callTimes.push_back(os::clock::NowMillis());
    calls.fetch_add(1, std::memory_order_relaxed);
}

class Ticker : public ::testing::Test {
protected:
    void SetUp() override {
        mainThread = std::this_thread::get_id();
        engine = CreateEngine();
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override {
        engine->StopTicker();
        DestroyEngine(engine);
    }
    IEngine* engine = nullptr;
};

class VirtualTicker : public Ticker {
protected:
    void SetUp() override {
        os::clock::UseVirtual();
        Ticker::SetUp();
    }
};

TEST_F(VirtualTicker, CallsEveryTenMillisecondsOnTheTickThread) {
    engine->StartTicker(&RecordTime);
    os::clock::Advance(1000);
    // First call after the 5 ms sleep, then one per 5 ms sleep + 5 ms wait.
    ASSERT_EQ(calls.load(), 100);
    for (size_t i = 0; i < callTimes.size(); ++i) ASSERT_EQ(callTimes[i], 5 + 10 * i) << i;
    EXPECT_EQ(os::RunningThreads(), 1);
}

TEST_F(VirtualTicker, FramesSeeEveryTickDueBeforeThem) {
    engine->StartTicker(&Count);
    for (int frame = 1; frame <= 120; ++frame) {
        os::clock::OnFramePresented();
        // Frame boundary at frame/60 s; calls at 5, 15, 25... ms.
        const int64_t nowMicros = frame * 1000000LL / 60;
        const int32_t due = nowMicros < 5000 ? 0 : static_cast<int32_t>((nowMicros - 5000) / 10000 + 1);
        ASSERT_EQ(calls.load(), due) << "frame " << frame;
    }
    EXPECT_FALSE(wrongThread.load());
}

TEST_F(VirtualTicker, StartWhileRunningKeepsTheFirstCallbackAndThread) {
    engine->StartTicker(&Count);
    engine->StartTicker(&CountOther);
    os::clock::Advance(100);
    EXPECT_EQ(os::RunningThreads(), 1);
    EXPECT_EQ(calls.load(), 10);
    EXPECT_EQ(otherCalls.load(), 0);
}

TEST_F(VirtualTicker, PausedMakesNoCallsAndToggleTwiceResumes) {
    engine->StartTicker(&Count);
    os::clock::Advance(100);
    ASSERT_EQ(calls.load(), 10);
    engine->ToggleTicker();
    os::clock::Advance(500);
    EXPECT_EQ(calls.load(), 10);
    engine->ToggleTicker();
    os::clock::Advance(100);
    EXPECT_EQ(calls.load(), 20);
}

TEST_F(VirtualTicker, ToggleWhileStoppedIsUndoneByStart) {
    engine->ToggleTicker();
    engine->StartTicker(&Count);
    os::clock::Advance(50);
    EXPECT_EQ(calls.load(), 5);
}

TEST_F(VirtualTicker, StopEndsTheThreadAndTheCallsAtNoCost) {
    engine->StartTicker(&Count);
    os::clock::Advance(997);  // last call at 995, now in the wait until 1000
    ASSERT_EQ(calls.load(), 100);
    const uint64_t before = os::clock::NowMillis();
    engine->StopTicker();
    // The thread was in its 5 ms wait: the stop event ends it at once.
    EXPECT_EQ(os::clock::NowMillis(), before);
    EXPECT_EQ(os::RunningThreads(), 0);
    EXPECT_EQ(os::OpenEventHandles("TessaryFinTimer"), 0);
    EXPECT_EQ(os::OpenEventHandles("TessaryFinTimer2"), 0);
    os::clock::Advance(1000);
    EXPECT_EQ(calls.load(), 100);
    engine->StopTicker();  // stopped: nothing
    EXPECT_EQ(os::clock::NowMillis(), before + 1000);
}

TEST_F(VirtualTicker, StopDuringTheSleepAllowsTheOneCallAboutToBegin) {
    engine->StartTicker(&Count);
    os::clock::Advance(12);  // calls at 5; now sleeping until 15
    ASSERT_EQ(calls.load(), 1);
    engine->StopTicker();
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(os::clock::NowMillis(), 15u);
    EXPECT_EQ(os::RunningThreads(), 0);
}

TEST_F(VirtualTicker, RestartMakesANewThreadWithAnotherCallback) {
    engine->StartTicker(&Count);
    os::clock::Advance(98);
    engine->StopTicker();
    engine->StartTicker(&CountOther);
    os::clock::Advance(100);
    EXPECT_EQ(calls.load(), 10);
    EXPECT_EQ(otherCalls.load(), 10);
    EXPECT_EQ(os::RunningThreads(), 1);
}

std::atomic<int32_t> slowCalls{0};
void SlowInVirtualTime() {
    if (slowCalls.fetch_add(1) == 2) os::Sleep(300);
}

TEST_F(VirtualTicker, ACallbackPastTheBoundIsGivenUpAndNeverCalledAgain) {
    engine->StartTicker(&SlowInVirtualTime);
    os::clock::Advance(30);  // calls at 5, 15, 25; the third sleeps until 325
    ASSERT_EQ(slowCalls.load(), 3);
    engine->StopTicker();
    EXPECT_EQ(os::clock::NowMillis(), 230u);  // exactly the 200 ms bound
    EXPECT_EQ(os::RunningThreads(), 1);
    EXPECT_EQ(os::OpenEventHandles("TessaryFinTimer"), 1);  // the late thread's own
    os::clock::Advance(1000);
    EXPECT_EQ(slowCalls.load(), 3);
    EXPECT_EQ(os::RunningThreads(), 0);
    EXPECT_EQ(os::OpenEventHandles("TessaryFinTimer"), 0);
}

TEST_F(VirtualTicker, ARestartWhileAGivenUpThreadLingersStopsPromptly) {
    engine->StartTicker(&SlowInVirtualTime);
    os::clock::Advance(30);
    engine->StopTicker();  // gives up on the sleeping callback
    engine->StartTicker(&Count);
    os::clock::Advance(50);
    EXPECT_EQ(calls.load(), 5);  // the old stop signal did not end the new thread
    const uint64_t before = os::clock::NowMillis();
    engine->StopTicker();
    EXPECT_LE(os::clock::NowMillis() - before, 5u);
    os::clock::Advance(1000);
    EXPECT_EQ(slowCalls.load(), 3);
    EXPECT_EQ(os::RunningThreads(), 0);
}

TEST_F(Ticker, RealTimeRateIsAtMostOnePerTenMilliseconds) {
    const auto start = std::chrono::steady_clock::now();
    engine->StartTicker(&Count);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int32_t seen = calls.load();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(seen, static_cast<int32_t>(elapsed / 0.010) + 1);
    EXPECT_GE(seen, 5);  // loose: the machine may be busy
    engine->StopTicker();
    const int32_t atStop = calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(calls.load(), atStop + 1);
    EXPECT_FALSE(wrongThread.load());
}

TEST_F(Ticker, RealTimePauseStopsTheCalls) {
    engine->StartTicker(&Count);
    engine->ToggleTicker();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // a call may have begun
    const int32_t paused = calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(calls.load(), paused);
    EXPECT_LE(paused, 1);
}

std::atomic<int32_t> blockingCalls{0};
std::atomic<bool> blockingDone{false};
void BlockInRealTime() {
    blockingCalls.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    blockingDone.store(true);
}

TEST_F(Ticker, RealTimeStopGivesUpOnABlockingCallbackAfter200Ms) {
    engine->StartTicker(&BlockInRealTime);
    while (blockingCalls.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    engine->StopTicker();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(190));
    EXPECT_FALSE(blockingDone.load());  // returned before the callback did
    // Once the callback returns the thread ends without another call.
    for (int i = 0; i < 200 && os::RunningThreads() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(os::RunningThreads(), 0);
    EXPECT_EQ(blockingCalls.load(), 1);
    EXPECT_EQ(os::OpenEventHandles("TessaryFinTimer"), 0);
    EXPECT_EQ(os::OpenEventHandles("TessaryFinTimer2"), 0);
}

}  // namespace
