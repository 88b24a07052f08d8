// The math module from inside the engine: the current rotation matrix and the
// random seed, for tests and for parts that want to look at them.
#pragma once

#include <cstdint>

namespace math {

// The matrix of the last BuildRotation, row by row: x', y', z' rows, each
// with the factors of x, y and z.
const float* Rotation();

// The random generator's seed (the last value produced; 9273 at start).
uint32_t Seed();
void SetSeed(uint32_t seed);  // low 16 bits kept

}  // namespace math
