// The one platform clock. Everything that waits or reads time goes through it:
// Sleep, timed event waits, system time, the audio position.
//
// Real mode: wall-clock time. Virtual mode: time moves only when the program
// moves it: each presented frame advances to the next frame boundary (rate
// num/den frames per second), each poll of a waiting loop by a small fixed
// step, and sleeps or timed waits advance by themselves while every tick due
// meanwhile runs first. Switch to virtual mode once, before the engine starts.
#pragma once

#include <cstdint>

namespace os::clock {

void UseVirtual(uint32_t frameRateNum = 60, uint32_t frameRateDen = 1);
bool IsVirtual();

// Nanoseconds since the clock started (virtual: since UseVirtual).
uint64_t NowNanos();

// The platform Sleep.
void Sleep(uint32_t milliseconds);

// Virtual mode: advance to the next frame boundary. Real mode: nothing.
void OnFramePresented();

// Virtual mode: advance by the poll step (a loop waiting on the music
// position without presenting). Real mode: nothing.
void OnPoll();

}  // namespace os::clock
