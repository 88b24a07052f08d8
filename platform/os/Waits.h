// Inside platform/os only: the one lock and wait loop behind every timed wait
// (events, sleeps), so that the virtual clock sees every waiting thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace os::detail {

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// Guards every waitable object's state.
std::mutex& WaitLock();

// Blocks until ready() is true (returns true) or the timeout passes (returns
// false), with the lock held on entry and on return, so the caller can
// consume what ready() saw. ready() is called with the lock held and must not
// change state.
bool TimedWait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
               uint32_t timeoutMillis);

// Call with the lock held after making some waiter's ready() true.
void WakeWaiters(std::unique_lock<std::mutex>& lock);

// Thread bookkeeping for os::CreateThread: a thread that follows time is
// counted from the moment it is started until its function returns.
void FollowerStarting();
void FollowerBegin();  // on the new thread, first thing
void FollowerEnd();    // on the new thread, last thing
int32_t FollowersAlive();

}  // namespace os::detail
