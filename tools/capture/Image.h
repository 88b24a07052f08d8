// Frames as they are written: RGB24 rows, the 640x480 R5G6B5 picture scaled
// by a whole factor (each pixel a square of scale x scale).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace capture {

struct Rgb24Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width * 3 bytes per row
};

// 5-6-5 to 8-8-8 by bit replication: 0 stays 0, full stays 255.
inline void Rgb565To888(uint16_t p, uint8_t* out) {
    const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    out[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
    out[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
    out[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
}

// pitchBytes: bytes from one source row to the next.
void ConvertScaled(const uint16_t* pixels, int32_t width, int32_t height, int32_t pitchBytes,
                   int32_t scale, Rgb24Image& out);

// PNG, 8-bit RGB, zlib-compressed. Returns false (and sets error) on failure.
bool WritePng(const std::string& path, const Rgb24Image& image, std::string& error);

// Reads back a PNG that WritePng wrote (8-bit RGB or RGBA, not interlaced):
// for comparing frames with stored references.
bool ReadPng(const std::string& path, Rgb24Image& image, std::string& error);

}  // namespace capture
