// Where a finished frame goes: the device's Present hands its back buffer here.
// A real window shows it (scaled, aspect kept, vsync); an offscreen window
// passes it to whoever captures frames.
#pragma once

#include <cstdint>

namespace os {
struct Window;

// pixels: R5G6B5 rows of pitchBytes bytes.
void PresentToWindow(Window* window, const uint16_t* pixels, int32_t width, int32_t height,
                     int32_t pitchBytes);
}  // namespace os
