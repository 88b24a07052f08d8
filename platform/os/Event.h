// Named auto-reset (or manual-reset) events with timed waits.
//
//   os::Event* stop = os::CreateEvent(false, false, "MyStop");
//   os::SetEvent(stop);
//   if (os::WaitForSingleObject(stop, 5) == os::kWaitObject0) ...
//   os::CloseHandle(stop);
//
// Each CreateEvent returns a handle of its own; a name that is already open
// within the process opens the same event (its state and kind unchanged), and
// the name lives as long as any handle to it is open. Names are local to the
// process: another process using the same name gets its own events.
// Waits go through the platform clock (platform/os/Clock.h), so they run in
// virtual time when the clock is virtual.
#pragma once

#include <cstdint>

namespace os {

struct Event;

constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;

// name may be null (an unnamed event). Never fails.
Event* CreateEvent(bool manualReset, bool initiallySignalled, const char* name);
void SetEvent(Event* event);
void ResetEvent(Event* event);
// kWaitObject0 when the event was signalled (an auto-reset event is reset by
// the wait that takes it), kWaitTimeout, or kWaitFailed for a null handle.
uint32_t WaitForSingleObject(Event* event, uint32_t timeoutMillis);
void CloseHandle(Event* event);

// How many handles to events of that name are open (for tests).
int32_t OpenEventHandles(const char* name);

}  // namespace os
