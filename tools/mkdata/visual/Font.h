// data/font.pcx: the engine's bitmap font, an 8-bit run-length PCX of
// 1500 x 28 pixels, glyphs for codes 32 to 93 every 24 pixels, each inside its
// 23 x 27 cell.
#pragma once

#include <cstdint>
#include <vector>

namespace mkdata {

constexpr int kFontWidth = 1500, kFontHeight = 28, kFontStep = 24, kGlyphWidth = 23, kGlyphHeight = 27;
constexpr int kFontFirst = 32, kFontLast = 93;

// Palette indices, row by row (empty when the font file cannot be opened).
std::vector<uint8_t> FontIndices();
// 256 x RGB: index = 16 * band + level, band the row's tint, level the coverage.
std::vector<uint8_t> FontPalette();
// The PCX file bytes: header, RLE rows, marker 12 and the palette.
std::vector<uint8_t> EncodePcx(const std::vector<uint8_t>& indices, int width, int height,
                               const std::vector<uint8_t>& palette);

}  // namespace mkdata
