// The platform clock, events and threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/os/Clock.h"
#include "platform/os/Event.h"
#include "platform/os/SystemTime.h"
#include "platform/os/Thread.h"

namespace {

namespace clk = os::clock;

TEST(VirtualClock, FramesLandOnExactBoundaries) {
    struct Case {
        uint32_t num, den;
    };
    // Each case in its own process would be cleaner; the clock restarts at 0
    // on every UseVirtual, which is enough here.
    for (Case c : {Case{60, 1}, Case{30000, 1001}, Case{25, 1}, Case{50, 2}}) {
        clk::UseVirtual(c.num, c.den);
        ASSERT_EQ(clk::NowNanos(), 0u);
        for (uint64_t k = 1; k <= 3000; ++k) {
            clk::OnFramePresented();
            ASSERT_EQ(clk::FrameIndex(), k) << c.num << "/" << c.den;
            const uint64_t samples = k * 44100 * c.den / c.num;  // floor, exact rational
            ASSERT_EQ(clk::NowSamples(), samples) << c.num << "/" << c.den << " frame " << k;
            ASSERT_EQ(clk::SamplesAtFrame(k), samples);
            ASSERT_EQ(clk::NowNanos(), k * 1000000000ull * c.den / c.num);
        }
    }
}

TEST(VirtualClock, PollsStepAndAFrameStillEndsOnItsBoundary) {
    clk::UseVirtual(60, 1);
    for (int i = 0; i < 10; ++i) clk::OnPoll();
    EXPECT_EQ(clk::NowMillis(), 10u * clk::kPollStepMillis);
    EXPECT_EQ(clk::NowSamples(), 441u * clk::kPollStepMillis);
    clk::OnFramePresented();
    EXPECT_EQ(clk::NowSamples(), 735u);
    for (int i = 0; i < 20; ++i) clk::OnPoll();  // crosses into the next frame
    clk::OnFramePresented();
    EXPECT_EQ(clk::FrameIndex(), 3u);
    EXPECT_EQ(clk::NowSamples(), 3u * 735);
}

TEST(VirtualClock, DrivingSleepsAndWaitsCostExactlyTheirTime) {
    clk::UseVirtual();
    const auto realStart = std::chrono::steady_clock::now();
    os::Sleep(5000);
    EXPECT_EQ(clk::NowMillis(), 5000u);
    os::Event* e = os::CreateEvent(false, false, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(e, 200), os::kWaitTimeout);
    EXPECT_EQ(clk::NowMillis(), 5200u);
    os::SetEvent(e);
    EXPECT_EQ(os::WaitForSingleObject(e, 200), os::kWaitObject0);
    EXPECT_EQ(clk::NowMillis(), 5200u);
    os::CloseHandle(e);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
}

TEST(Events, SameNameOpensTheSameEventUntilTheLastHandleCloses) {
    os::Event* a = os::CreateEvent(false, false, "SharedName");
    os::Event* b = os::CreateEvent(false, false, "SharedName");
    EXPECT_EQ(os::OpenEventHandles("SharedName"), 2);
    os::SetEvent(a);
    EXPECT_EQ(os::WaitForSingleObject(b, 0), os::kWaitObject0);
    EXPECT_EQ(os::WaitForSingleObject(a, 0), os::kWaitTimeout);  // auto-reset: taken by b
    os::SetEvent(b);
    os::CloseHandle(a);
    os::CloseHandle(b);
    EXPECT_EQ(os::OpenEventHandles("SharedName"), 0);
    os::Event* c = os::CreateEvent(false, false, "SharedName");  // a new event
    EXPECT_EQ(os::WaitForSingleObject(c, 0), os::kWaitTimeout);
    os::CloseHandle(c);
    EXPECT_EQ(os::WaitForSingleObject(nullptr, 0), os::kWaitFailed);
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
    os::Event* e = os::CreateEvent(true, true, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(e, 0), os::kWaitObject0);
    EXPECT_EQ(os::WaitForSingleObject(e, 0), os::kWaitObject0);
    os::ResetEvent(e);
    EXPECT_EQ(os::WaitForSingleObject(e, 0), os::kWaitTimeout);
    os::CloseHandle(e);
}

TEST(Events, RealTimedWaitTimesOutAndWakesOnSignal) {
    os::Event* e = os::CreateEvent(false, false, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(os::WaitForSingleObject(e, 30), os::kWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    std::thread setter([e] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        os::SetEvent(e);
    });
    EXPECT_EQ(os::WaitForSingleObject(e, os::kInfinite), os::kWaitObject0);
    setter.join();
    os::CloseHandle(e);
}

struct Follower {
    os::Event* go;
    os::Event* back;
    std::atomic<uint64_t> wokeAt{0};
};

uint32_t FollowerMain(void* argument) {
    auto* f = static_cast<Follower*>(argument);
    os::Sleep(50);  // virtual: ends when a driver passes 50 ms
    f->wokeAt.store(clk::NowMillis());
    if (os::WaitForSingleObject(f->go, os::kInfinite) == os::kWaitObject0) os::SetEvent(f->back);
    return 0;
}

TEST(VirtualClock, FollowersRunInLockstepWithTheDriver) {
    clk::UseVirtual();
    Follower f{os::CreateEvent(false, false, nullptr), os::CreateEvent(false, false, nullptr)};
    os::Thread* t = os::CreateThread(&FollowerMain, &f);
    ASSERT_NE(t, nullptr);
    os::CloseHandle(t);
    EXPECT_EQ(os::RunningThreads(), 1);
    clk::Advance(49);
    EXPECT_EQ(f.wokeAt.load(), 0u);
    clk::Advance(30);
    EXPECT_EQ(f.wokeAt.load(), 50u);  // woke at its own deadline, not at 79
    os::SetEvent(f.go);
    EXPECT_EQ(os::WaitForSingleObject(f.back, 1000), os::kWaitObject0);
    EXPECT_EQ(clk::NowMillis(), 79u);
    clk::Advance(0);  // the follower has ended once time is asked to move
    EXPECT_EQ(os::RunningThreads(), 0);
    os::CloseHandle(f.go);
    os::CloseHandle(f.back);
}

}  // namespace

namespace {

TEST(VirtualClock, SystemTimeStartsAtAFixedUtcMoment) {
    clk::UseVirtual();
    os::SystemTime t{};
    os::GetSystemTime(&t);
    EXPECT_EQ(t.year, 2000);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.dayOfWeek, 6);  // a Saturday
    EXPECT_EQ(t.hour + t.minute + t.second + t.milliseconds, 0);
    clk::Advance(3600 * 1000 + 61 * 1000 + 7);
    os::GetSystemTime(&t);
    EXPECT_EQ(t.hour, 1);
    EXPECT_EQ(t.minute, 1);
    EXPECT_EQ(t.second, 1);
    EXPECT_EQ(t.milliseconds, 7);
}

TEST(RealClock, SystemTimeIsTodayInUtc) {
    os::SystemTime t{};
    os::GetSystemTime(&t);
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    EXPECT_EQ(t.year, utc.tm_year + 1900);
    EXPECT_EQ(t.month, utc.tm_mon + 1);
    EXPECT_LT(t.second, 60);
    EXPECT_LT(t.milliseconds, 1000);
}

}  // namespace
