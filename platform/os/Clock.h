// The one platform clock. Everything that waits or reads time goes through it:
// Sleep, timed event waits (platform/os/Event.h), system time, the audio
// position.
//
// Real mode (the default): wall-clock time.
//
// Virtual mode: deterministic time that moves only when the program moves it.
//   - a presented frame advances to the next frame boundary (OnFramePresented;
//     the window's present calls it);
//   - a loop that polls without presenting advances by kPollStepMillis per
//     poll (OnPoll; the music layer calls it whenever its position is read);
//   - a sleep or timed wait on a driving thread advances time by itself until
//     its event arrives or its timeout is reached.
// Threads started with os::CreateThread (platform/os/Thread.h) follow time:
// their sleeps and waits end when the driving threads move time past their
// deadline. Every other thread drives time. Whenever time moves to T, every
// follower wait due at or before T ends, in deadline order, and the follower
// runs until it waits again (or ends) before time moves on; so every tick due
// before T has run on the tick thread before the driving thread continues.
//
// Switch with one call of UseVirtual before the engine starts (before any
// thread is started or any wait begins); there is no way back.
//
// Time is kept exactly: in virtual mode it is an integer count of units of
// which one second holds a multiple of 1000, of 44100 and of the frame rate,
// so milliseconds, frame boundaries and 44100 Hz samples are all exact and
// frame boundaries are computed from the frame index (nothing drifts).
//
// For the capture tool and the music renderer:
//   FrameIndex()      the frame the current time lies in (after k presented
//                     frames with nothing else moving time: k).
//   NowSamples()      the current time in samples at 44100 Hz, rounded down.
//   SamplesAtFrame(k) the sample at which frame k begins.
// NowSamples() is exact: samples(t) = floor(t * 44100), so the music rendered
// up to NowSamples() is exactly what has played by now.
#pragma once

#include <cstdint>

namespace os::clock {

constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kPollStepMillis = 1;

// Frame rate num/den frames per second (default 60/1). Both must be nonzero.
void UseVirtual(uint32_t frameRateNum = 60, uint32_t frameRateDen = 1);
bool IsVirtual();

// Time since the clock started (virtual: since UseVirtual, which is time 0).
uint64_t NowNanos();
uint64_t NowMillis();

// The platform Sleep: on a driving thread in virtual mode it moves time.
void Sleep(uint32_t milliseconds);

// Virtual mode: advance to the next frame boundary. Real mode: nothing.
void OnFramePresented();

// Virtual mode: advance by kPollStepMillis. Real mode: nothing.
void OnPoll();

// Virtual mode: move time forward by the given milliseconds (as a Sleep on a
// driving thread). Real mode: nothing.
void Advance(uint32_t milliseconds);

// Frame bookkeeping; in real mode computed from wall-clock time at 60/1 or the
// rate last given.
uint64_t FrameIndex();
uint64_t NowSamples();
uint64_t SamplesAtFrame(uint64_t frame);

}  // namespace os::clock
