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

}  // namespace display
