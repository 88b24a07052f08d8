// The scenes' tick callbacks and the variables they share with the frame
// loops, open to the tests so that the tick formulas can be driven one tick
// at a time without a thread. Everything a callback writes is atomic and
// accessed with relaxed ordering: one 32-bit value read and written whole.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>

#include "engine/IEngine.h"

namespace demo {

namespace opening {
extern uint32_t textIndex;               // texts loaded so far, 0..5
extern std::atomic<int32_t> panelDepth;  // z of the flying panel
extern std::atomic<uint32_t> receding;   // 1: depth grows
extern std::atomic<uint32_t> arrived;    // panel back at depth 8
extern std::atomic<uint32_t> swap;       // panel at depth 1000
void Tick();
}  // namespace opening

namespace mesh {
extern std::atomic<uint32_t> meshPhase;
extern std::atomic<int32_t> meshStep;
extern std::atomic<uint32_t> spherePhase;
extern std::atomic<int32_t> sphereStep;
extern std::atomic<int32_t> driftX;
extern std::atomic<int32_t> driftY;
extern std::atomic<int32_t> driftPhaseX;
extern std::atomic<int32_t> driftPhaseY;
void Tick();
}  // namespace mesh

namespace city {
extern uint32_t pictureIndex;
extern std::atomic<uint32_t> swapRequest;
void Tick();
}  // namespace city

namespace cake {
extern std::atomic<int32_t> swayDirection;
void Tick();
}  // namespace cake

// The float-to-integer conversion of the scenes' "rounded to the nearest
// integer": the FPU's default mode, halves to even.
inline int32_t RoundToInt(float value) { return static_cast<int32_t>(std::lrintf(value)); }

}  // namespace demo
