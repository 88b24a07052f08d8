// A look into the batcher's tables, for tests and debug checks.
#pragma once

#include <cstdint>

#include "engine/render3d/Records.h"

namespace batches {

constexpr uint32_t kTexturedBatchBytes = 300000;  // 5000 triangles of 60 bytes
constexpr uint32_t kColouredBatchBytes = 240000;  // 5000 triangles of 48 bytes
constexpr int32_t kMaxTrianglesPerBatch = 5000;

// The textured table (capacity entries) and the two coloured entries
// (0 additive, 1 opaque); null when Init3D did not make them.
const Batch* TexturedTable();
int32_t TexturedCapacity();
const Batch* ColouredTable();

// The tables' invariants: used textured entries at the front, each with a
// count of 1..5000 and next = buffer + 60 * count, the rest wholly free (-1,
// additive aside); the last entry always free; each coloured entry free
// (buffer, next and count -1) or holding 1..5000 triangles with next = buffer
// + 48 * count. Returns false at the first violation.
bool Check();

}  // namespace batches
