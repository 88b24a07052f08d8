// Diagnostics internals that tests reach directly: the frame counter driven by
// a given seconds field, and the pending lines.
#pragma once

#include <cstdint>

namespace debug {

constexpr int kMaxPendingLines = 128;
constexpr int kLineBytes = 128;  // 127 characters and the terminating zero

// CountFrame with the seconds field (0..59) of the current UTC time.
void CountFrameAt(uint16_t second);

int PendingCount();
const char* PendingLine(int index);

}  // namespace debug
