// Threads. A thread started here follows the platform clock: in virtual mode
// its sleeps and waits end only as driving threads move time (Clock.h).
//
//   os::Thread* t = os::CreateThread(&Run, nullptr);
//   os::CloseHandle(t);  // the thread runs on; it is never joined
#pragma once

#include <cstdint>

namespace os {

struct Thread;
using ThreadProc = uint32_t (*)(void* argument);

// Starts proc(argument) at once with the default stack size; null when the
// system cannot start a thread.
Thread* CreateThread(ThreadProc proc, void* argument);
// Forgets the handle; the thread goes on.
void CloseHandle(Thread* thread);

// Threads started by CreateThread whose procedure has not yet returned.
int32_t RunningThreads();

// Sleeps through the platform clock.
void Sleep(uint32_t milliseconds);

}  // namespace os
