// The platform clock and the wait loop that every sleep and timed wait uses.
//
// Virtual time is kept in units, unitsPerSecond of them per second, chosen as
// a common multiple of 1000, 44100 and the frame rate's numerator (reduced), so
// that milliseconds, samples and frame periods are whole numbers of units.
#include "platform/os/Clock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/os/Waits.h"

namespace os::clock {
namespace {

struct Sleeper {
    uint64_t deadline;  // units; UINT64_MAX: no deadline
    uint64_t order;
    const std::function<bool()>* ready;
    bool woken;
};

struct ClockState {
    std::mutex lock;
    std::condition_variable changed;
    std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();

    bool isVirtual = false;
    uint32_t rateNum = 60, rateDen = 1;
    uint64_t unitsPerSecond = 1, unitsPerMilli = 1, unitsPerSample = 1, unitsPerFrame = 1;
    uint64_t now = 0;  // units

    std::vector<Sleeper*> sleepers;
    uint64_t nextOrder = 0;
    int32_t followersAlive = 0;
    int32_t followersRunning = 0;  // alive and not inside a wait
};
// Never destroyed: a thread still waiting at exit must not find it gone.
ClockState& state = *new ClockState;

thread_local bool tFollower = false;

constexpr uint64_t kNoDeadline = UINT64_MAX;

uint64_t RealNanos() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now() - state.realStart)
                                     .count());
}

uint64_t MulDiv(uint64_t a, uint64_t b, uint64_t c) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b / c);
}

uint64_t DeadlineAfter(uint32_t millis) {
    if (millis == detail::kWaitForever) return kNoDeadline;
    return state.now + millis * state.unitsPerMilli;
}

void Wake(Sleeper* s) {
    state.sleepers.erase(std::find(state.sleepers.begin(), state.sleepers.end(), s));
    s->woken = true;
    ++state.followersRunning;
}

// Driving side of virtual time, lock held: moves time towards target, letting
// every follower due on the way run until it waits again, and stops early when
// ready() holds. Returns ready()'s last answer.
bool Drive(std::unique_lock<std::mutex>& lock, const std::function<bool()>* ready,
           uint64_t target) {
    for (;;) {
        state.changed.wait(lock, [] { return state.followersRunning == 0; });
        if (ready && (*ready)()) return true;
        if (target != kNoDeadline && state.now >= target) return false;
        Sleeper* next = nullptr;
        for (Sleeper* s : state.sleepers) {
            if (s->deadline == kNoDeadline || s->deadline > target) continue;
            if (!next || s->deadline < next->deadline ||
                (s->deadline == next->deadline && s->order < next->order))
                next = s;
        }
        if (next) {
            state.now = std::max(state.now, next->deadline);
            Wake(next);
            state.changed.notify_all();
        } else if (target == kNoDeadline) {
            // Nothing in virtual time can end this wait; only another thread can.
            state.changed.wait(lock);
        } else {
            state.now = target;
        }
    }
}

// Following side, lock held: sleep until a driver moves time past the deadline
// or ready() holds.
bool Follow(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
            uint64_t deadline) {
    for (;;) {
        if (ready()) return true;
        if (deadline != kNoDeadline && state.now >= deadline) return false;
        Sleeper self{deadline, state.nextOrder++, &ready, false};
        state.sleepers.push_back(&self);
        --state.followersRunning;
        state.changed.notify_all();
        state.changed.wait(lock, [&] { return self.woken; });
    }
}

void DriveTo(uint64_t target) {
    if (tFollower) return;
    std::unique_lock<std::mutex> lock(state.lock);
    Drive(lock, nullptr, target);
}

}  // namespace

void UseVirtual(uint32_t frameRateNum, uint32_t frameRateDen) {
    std::lock_guard<std::mutex> guard(state.lock);
    if (frameRateNum == 0 || frameRateDen == 0) frameRateNum = 60, frameRateDen = 1;
    const uint32_t g = std::gcd(frameRateNum, frameRateDen);
    state.rateNum = frameRateNum / g;
    state.rateDen = frameRateDen / g;
    state.unitsPerSecond = std::lcm<uint64_t>(std::lcm<uint64_t>(1000, kSampleRate), state.rateNum);
    state.unitsPerMilli = state.unitsPerSecond / 1000;
    state.unitsPerSample = state.unitsPerSecond / kSampleRate;
    state.unitsPerFrame = state.unitsPerSecond / state.rateNum * state.rateDen;
    state.now = 0;
    state.isVirtual = true;
}

bool IsVirtual() {
    std::lock_guard<std::mutex> guard(state.lock);
    return state.isVirtual;
}

uint64_t NowNanos() {
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.isVirtual) return RealNanos();
    return MulDiv(state.now, 1000000000u, state.unitsPerSecond);
}

uint64_t NowMillis() { return NowNanos() / 1000000u; }

void Sleep(uint32_t milliseconds) {
    if (!IsVirtual()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    std::unique_lock<std::mutex> lock(state.lock);
    const uint64_t deadline = DeadlineAfter(milliseconds);
    if (tFollower) {
        const std::function<bool()> never = [] { return false; };
        Follow(lock, never, deadline);
    } else {
        Drive(lock, nullptr, deadline);
    }
}

void OnFramePresented() {
    uint64_t target;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (!state.isVirtual) return;
        target = (state.now / state.unitsPerFrame + 1) * state.unitsPerFrame;
    }
    DriveTo(target);
}

void OnPoll() { Advance(kPollStepMillis); }

void Advance(uint32_t milliseconds) {
    uint64_t target;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (!state.isVirtual) return;
        target = DeadlineAfter(milliseconds);
    }
    DriveTo(target);
}

uint64_t FrameIndex() {
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.isVirtual) return MulDiv(RealNanos(), state.rateNum, 1000000000ull * state.rateDen);
    return state.now / state.unitsPerFrame;
}

uint64_t NowSamples() {
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.isVirtual) return MulDiv(RealNanos(), kSampleRate, 1000000000u);
    return state.now / state.unitsPerSample;
}

uint64_t SamplesAtFrame(uint64_t frame) {
    std::lock_guard<std::mutex> guard(state.lock);
    return MulDiv(frame, uint64_t{kSampleRate} * state.rateDen, state.rateNum);
}

}  // namespace os::clock

namespace os::detail {
using os::clock::state;

std::mutex& WaitLock() { return state.lock; }

bool TimedWait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
               uint32_t timeoutMillis) {
    if (!state.isVirtual) {
        if (timeoutMillis == kWaitForever) {
            state.changed.wait(lock, ready);
            return true;
        }
        return state.changed.wait_for(lock, std::chrono::milliseconds(timeoutMillis), ready);
    }
    const uint64_t deadline = os::clock::DeadlineAfter(timeoutMillis);
    if (os::clock::tFollower) return os::clock::Follow(lock, ready, deadline);
    return os::clock::Drive(lock, &ready, deadline);
}

void WakeWaiters(std::unique_lock<std::mutex>&) {
    if (state.isVirtual) {
        // Mark the followers that can go on as running now, so that no driver
        // moves time before they have waited again.
        std::vector<os::clock::Sleeper*> due;
        for (auto* s : state.sleepers)
            if ((*s->ready)()) due.push_back(s);
        for (auto* s : due) os::clock::Wake(s);
    }
    state.changed.notify_all();
}

void FollowerStarting() {
    std::lock_guard<std::mutex> guard(state.lock);
    ++state.followersAlive;
    ++state.followersRunning;
}

void FollowerBegin() { os::clock::tFollower = true; }

void FollowerEnd() {
    std::lock_guard<std::mutex> guard(state.lock);
    --state.followersAlive;
    --state.followersRunning;
    state.changed.notify_all();
}

int32_t FollowersAlive() {
    std::lock_guard<std::mutex> guard(state.lock);
    return state.followersAlive;
}

}  // namespace os::detail
