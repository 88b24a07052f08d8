// The display's device and size, for the engine parts that draw through it
// (the batcher, textures). Owned by engine/Display.cpp.
#pragma once

#include <cstdint>

namespace d3d8 {
class Device;
}

namespace display {

// The device OpenDisplay created, or null when there is none (not opened yet,
// or released by CloseDisplay or the window's destruction).
d3d8::Device* CurrentDevice();
int32_t Width();
int32_t Height();

// For tests and tools that draw without a window: use this device as the
// display's device (not owned: the caller releases it).
void UseDevice(d3d8::Device* device, int32_t width, int32_t height);

// Whether ShowFrame copies the first used screen into the back buffer (the
// choice it remakes after the screen table changed).
bool ScreenCopyChosen();

// The screen copy: width x height 16-bit screen pixels into locked back-buffer
// bits of the given pitch and format (a d3d8::D3DFORMAT: R5G6B5, R8G8B8,
// X8R8G8B8 or A8R8G8B8; any other copies nothing). A 16-bit back buffer with
// rows of exactly width * 2 bytes takes screenBytes rounded down to whole
// 8-byte units as one run; any other pitch or format is copied row by row.
void CopyScreen(const uint16_t* screen, int32_t width, int32_t height, uint32_t screenBytes,
                void* bits, int32_t pitch, uint32_t format);

}  // namespace display
