#include "platform/os/Thread.h"

#include <system_error>
#include <thread>

#include "platform/os/Clock.h"
#include "platform/os/Waits.h"

namespace os {

struct Thread {};

Thread* CreateThread(ThreadProc proc, void* argument) {
    detail::FollowerStarting();
    try {
        std::thread([proc, argument] {
            detail::FollowerBegin();
            proc(argument);
            detail::FollowerEnd();
        }).detach();
    } catch (const std::system_error&) {
        detail::FollowerEnd();
        return nullptr;
    }
    return new Thread;
}

void CloseHandle(Thread* thread) { delete thread; }

int32_t RunningThreads() { return detail::FollowersAlive(); }

void Sleep(uint32_t milliseconds) { clock::Sleep(milliseconds); }

}  // namespace os
