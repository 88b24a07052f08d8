// Placeholder: real mode only.
#include "platform/os/Clock.h"

#include <chrono>
#include <thread>

namespace os::clock {
namespace {
const auto start = std::chrono::steady_clock::now();
}
void UseVirtual(uint32_t, uint32_t) {}
bool IsVirtual() { return false; }
uint64_t NowNanos() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
}
void Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void OnFramePresented() {}
void OnPoll() {}
}  // namespace os::clock
