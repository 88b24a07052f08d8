#include "tools/mkdata/visual/Font.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/mkdata/visual/Image.h"

namespace mkdata {

std::vector<uint8_t> FontPalette() {
    std::vector<uint8_t> pal(768, 0);
    for (int band = 0; band < 16; ++band) {
        // Gold at the top of the letters to orange-red at the foot.
        const float t = float(band) / 15.0f;
        const Rgb tint = t < 0.5f ? Mix(Hex(0xFFFFE0), Hex(0xFFC830), t * 2) : Mix(Hex(0xFFC830), Hex(0xE04A10), t * 2 - 1);
        for (int level = 0; level < 16; ++level) {
            const Rgb c = tint * (float(level) / 15.0f);
            const int i = band * 16 + level;
            pal[size_t(i) * 3 + 0] = uint8_t(std::lround(Clamp01(c.r) * 255));
            pal[size_t(i) * 3 + 1] = uint8_t(std::lround(Clamp01(c.g) * 255));
            pal[size_t(i) * 3 + 2] = uint8_t(std::lround(Clamp01(c.b) * 255));
        }
    }
    return pal;
}

std::vector<uint8_t> FontIndices() {
    TextStyle style;
    style.font = "DejaVuSans-Bold.ttf";
    style.pixelHeight = 24;
    const int baseline = 21;
    std::vector<uint8_t> out(size_t(kFontWidth) * kFontHeight, 0);
    for (int code = kFontFirst; code <= kFontLast; ++code) {
        const std::string s(1, char(code));
        const float width = MeasureText(s, style);
        if (width < 0) return {};
        Mask cell(kGlyphWidth, kFontHeight);
        DrawText(cell, s, style, std::floor((float(kGlyphWidth) - width) / 2), float(baseline));
        const int x0 = (code - kFontFirst) * kFontStep;
        for (int y = 0; y < kGlyphHeight; ++y)
            for (int x = 0; x < kGlyphWidth; ++x) {
                const int level = int(std::lround(Clamp01(cell.At(x, y)) * 15.0f));
                const int band = std::min(15, y * 16 / kGlyphHeight);
                out[size_t(y) * kFontWidth + size_t(x0 + x)] = uint8_t(level ? band * 16 + level : 0);
            }
    }
    return out;
}

std::vector<uint8_t> EncodePcx(const std::vector<uint8_t>& indices, int width, int height,
                               const std::vector<uint8_t>& palette) {
    std::vector<uint8_t> out(128, 0);
    auto put16 = [&](size_t at, int v) {
        out[at] = uint8_t(v & 255);
        out[at + 1] = uint8_t((v >> 8) & 255);
    };
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version
    out[2] = 1;   // run-length encoding
    out[3] = 8;   // bits per pixel
    put16(8, width - 1);
    put16(10, height - 1);
    put16(12, 72);
    put16(14, 72);
    out[65] = 1;  // planes
    put16(66, width);
    put16(68, 1);  // colour palette
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &indices[size_t(y) * width];
        for (int x = 0; x < width;) {
            int run = 1;
            while (x + run < width && run < 63 && row[x + run] == row[x]) ++run;
            // Values of 0xC0 and up would read as run counts: they always go as runs.
            if (run > 1 || row[x] >= 0xC0) out.push_back(uint8_t(0xC0 | run));
            out.push_back(row[x]);
            x += run;
        }
    }
    out.push_back(12);
    out.insert(out.end(), palette.begin(), palette.end());
    return out;
}

}  // namespace mkdata
