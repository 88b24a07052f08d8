// Frame and sample timing at a rational frame rate.
//
// Video frame j starts at j * den / num seconds. Audio sample s (at 44100 Hz)
// starts at s / 44100 seconds. Frame j carries the samples from SampleAt(j) to
// SampleAt(j + 1): 735 at 60/s, 1471 or 1472 at 60000/1001, so that picture
// and sound never drift apart however long the capture runs.
#pragma once

#include <cstdint>

namespace capture {

constexpr uint32_t kSampleRate = 44100;

struct FrameRate {
    uint32_t num = 60;
    uint32_t den = 1;
};

// Start of frame j in nanoseconds, rounded down.
uint64_t FrameStartNanos(FrameRate rate, uint64_t frame);

// The first sample of frame j: floor(j * 44100 * den / num).
uint64_t SampleAt(FrameRate rate, uint64_t frame);

// How many samples frame j carries.
uint32_t SamplesInFrame(FrameRate rate, uint64_t frame);

// The frame showing at time t: the largest j with FrameStart(j) <= t, exactly.
uint64_t FrameAtNanos(FrameRate rate, uint64_t nanos);

// The number of frames that start strictly before t.
uint64_t FramesBeforeNanos(FrameRate rate, uint64_t nanos);

// The sample playing at time t: floor(t * 44100 / 1e9).
uint64_t SampleAtNanos(uint64_t nanos);

}  // namespace capture
