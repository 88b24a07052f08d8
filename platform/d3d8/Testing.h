// Test seams of the software device: force the calls the display treats as
// fatal (and a few others) to fail, and choose how many threads rasterise.
#pragma once

#include <cstdint>

namespace d3d8::testing {

enum Failure : uint32_t {
    kNone = 0,
    kCreate = 1,          // Direct3DCreate8 returns null
    kDisplayMode = 2,     // GetAdapterDisplayMode fails
    kCreateDevice = 4,    // CreateDevice fails
    kVertexBuffer = 8,    // CreateVertexBuffer fails
    kTexture = 16,        // CreateTexture fails
    kTextureLock = 32,    // Texture::LockRect fails
};

// Every call named in mask fails until the mask is changed again.
void ForceFailure(uint32_t mask);

// Threads that rasterise a draw (0: one per core, at most 8). The picture
// never depends on this; it only changes the speed.
void SetRasterThreads(int count);

}  // namespace d3d8::testing
