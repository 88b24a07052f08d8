// Sine and cosine tables over 512 angle steps (16-bit fixed point and float),
// the 16-bit random generator, the current rotation and translation applied
// to point arrays, and the perspective projection.
#include "engine/math/Math.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/Engine.h"

namespace math {
namespace {

constexpr uint32_t kFixedEntries = 512;  // a power of two: indexes are masked
constexpr int16_t kFixedAmplitude = 32767;
constexpr int32_t kFloatDivisor = 256;  // float step = pi / 256: 512 steps a turn
constexpr int32_t kFocal = 300;
constexpr int32_t kCentreX = 160;
constexpr int32_t kCentreY = 100;

struct {
    uint32_t fixedMask = 0;
    float fixedStep = 0;
    int16_t fixedCos[kFixedEntries] = {};
    int16_t fixedSin[kFixedEntries] = {};
    double floatStep = 0;
    float sine[512] = {};
    float cosine[512] = {};
    uint32_t seed = 9273;
    float tx = 0, ty = 0, tz = 0;
    float sA = 0, cA = 0, sB = 0, cB = 0, sC = 0, cC = 0;
    float m[9] = {};
} state;

// Rounds to nearest (ties to even). A value with no 32-bit integer (z = 0,
// overflow) becomes 0x80000000, the integer-indefinite value the hardware
// conversion gives.
int32_t RoundToInt(float v) {
    const float r = std::nearbyint(v);
    if (!(r >= -2147483648.0f && r < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(r);
}

}  // namespace

const float* Rotation() { return state.m; }
uint32_t Seed() { return state.seed; }
void SetSeed(uint32_t seed) { state.seed = seed & 0xFFFF; }

}  // namespace math

using math::state;

void Engine::BuildSinCosTable() {
    const uint32_t half = math::kFixedEntries >> 1;
    state.fixedMask = math::kFixedEntries - 1;
    state.fixedStep = static_cast<float>(std::numbers::pi / half);
    for (uint32_t i = 0; i < math::kFixedEntries; ++i) {
        const double angle = static_cast<double>(state.fixedStep) * i;  // exact in double
        state.fixedCos[i] =
            static_cast<int16_t>(std::nearbyint(std::cos(angle) * math::kFixedAmplitude));
        state.fixedSin[i] =
            static_cast<int16_t>(std::nearbyint(std::sin(angle) * math::kFixedAmplitude));
    }
}

// 75 * (s + 1) mod 65537 in 16 bits: 75s = H * 65536 + L, and 65536 = -1 mod
// 65537, so the step is L + 75 - H, folded once into 16 bits.
uint32_t Engine::Random() {
    const uint32_t product = 75 * state.seed;
    const uint32_t v = (product & 0xFFFF) + 75 - (product >> 16);
    state.seed = v >= 65536 ? v - 65536 : v;
    return state.seed;
}

void Engine::GetSinCos(int32_t angle, int16_t* sineOut, int16_t* cosineOut) {
    const uint32_t index = (static_cast<uint32_t>(angle) & 0xFFFF) & state.fixedMask;
    *sineOut = state.fixedSin[index];
    *cosineOut = state.fixedCos[index];
}

void Engine::BuildAngleTables() {
    state.floatStep = std::numbers::pi / math::kFloatDivisor;
    for (int i = 0; i < 512; ++i) {
        state.cosine[i] = static_cast<float>(std::cos(state.floatStep * i));
        state.sine[i] = static_cast<float>(std::sin(state.floatStep * i));
    }
}

void Engine::SetTranslation(int32_t x, int32_t y, int32_t z) {
    state.tx = static_cast<float>(x);
    state.ty = static_cast<float>(y);
    state.tz = static_cast<float>(z);
}

void Engine::SetAngles(int32_t a, int32_t b, int32_t c) {
    state.sA = state.sine[a & 511];
    state.cA = state.cosine[a & 511];
    state.sB = state.sine[b & 511];
    state.cB = state.cosine[b & 511];
    state.sC = state.sine[c & 511];
    state.cC = state.cosine[c & 511];
}

// Rotation by c, then a, then b; it keeps a mirror (determinant -1): with all
// angles 0 it swaps x and z. Every product is formed left to right in float.
void Engine::BuildRotation() {
    const float sA = state.sA, cA = state.cA, sB = state.sB, cB = state.cB;
    const float sC = state.sC, cC = state.cC;
    float* m = state.m;
    m[0] = cB * sA * sC - sB * cC;
    m[1] = sB * sC + cB * sA * cC;
    m[2] = cB * cA;
    m[3] = cA * sC;
    m[4] = cA * cC;
    m[5] = -sA;
    m[6] = cB * cC + sB * sA * sC;
    m[7] = sB * sA * cC - cB * sC;
    m[8] = sB * cA;
}

// Reads a whole point before writing it, so source may be destination.
void Engine::TransformPoints(const Vertex* source, Vertex* destination, int32_t count) {
    const float* m = state.m;
    const float tx = state.tx, ty = state.ty, tz = state.tz;
    for (int32_t i = 0; i < count; ++i) {
        const float x = source[i].x, y = source[i].y, z = source[i].z;
        destination[i].x = (m[0] * x + (m[1] * y + m[2] * z)) + tx;
        destination[i].y = (m[3] * x + (m[4] * y + m[5] * z)) + ty;
        destination[i].z = (m[6] * x + (m[7] * y + m[8] * z)) + tz;
    }
}

// Screen points share the 12-byte stride of the source: x and y as 32-bit
// integers, the last 4 bytes left alone.
void Engine::ProjectPoints(const Vertex* source, void* destination, int32_t count) {
    auto* out = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i, out += sizeof(Vertex)) {
        const float e = 1.0f / source[i].z;
        const int32_t y = math::RoundToInt(source[i].y * math::kFocal * e + math::kCentreY);
        const int32_t x = math::RoundToInt(source[i].x * math::kFocal * e + math::kCentreX);
        std::memcpy(out, &x, 4);
        std::memcpy(out + 4, &y, 4);
    }
}

float Engine::GetSine(int32_t angle) { return state.sine[angle & 511]; }

void Engine::Reserved34(int32_t /*ignored*/) {}
void Engine::Reserved35() {}
