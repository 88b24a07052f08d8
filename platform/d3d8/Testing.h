// Test seams of the software device: force the calls the display treats as
// fatal (and a few others) to fail, and choose how many threads rasterise.
#pragma once

#include <cstdint>

namespace d3d8 {
class Device;
}

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

// With false, every pixel takes the rasterizer's general per-pixel path
// instead of its eight-pixel spans; the picture must be the same.
void SetFastSpans(bool enabled);

// The stored 16-bit depth at a pixel (0xFFFF = 1.0), or 0 outside the buffer.
uint16_t DepthAt(Device* device, uint32_t x, uint32_t y);

}  // namespace d3d8::testing
