#include "tools/capture/Timing.h"

namespace capture {
namespace {
using u128 = unsigned __int128;
constexpr uint64_t kNanosPerSecond = 1'000'000'000;
}  // namespace

uint64_t FrameStartNanos(FrameRate rate, uint64_t frame) {
    return static_cast<uint64_t>(u128(frame) * rate.den * kNanosPerSecond / rate.num);
}

uint64_t SampleAt(FrameRate rate, uint64_t frame) {
    return static_cast<uint64_t>(u128(frame) * kSampleRate * rate.den / rate.num);
}

uint32_t SamplesInFrame(FrameRate rate, uint64_t frame) {
    return static_cast<uint32_t>(SampleAt(rate, frame + 1) - SampleAt(rate, frame));
}

uint64_t FrameAtNanos(FrameRate rate, uint64_t nanos) {
    // j * den / num <= t / 1e9  <=>  j <= t * num / (den * 1e9)
    return static_cast<uint64_t>(u128(nanos) * rate.num / (u128(rate.den) * kNanosPerSecond));
}

uint64_t FramesBeforeNanos(FrameRate rate, uint64_t nanos) {
    // Count of j with j * den * 1e9 < t * num.
    const u128 scaled = u128(nanos) * rate.num;
    const u128 step = u128(rate.den) * kNanosPerSecond;
    return static_cast<uint64_t>((scaled + step - 1) / step);
}

uint64_t SampleAtNanos(uint64_t nanos) {
    return static_cast<uint64_t>(u128(nanos) * kSampleRate / kNanosPerSecond);
}

}  // namespace capture
