// PCX images (256 colours, one plane, run-length encoded), palette conversion
// to 5-6-5 pixels, and the bitmap font from data\font.pcx.
#include "engine/image/Pcx.h"

#include <cstring>

#include "engine/Engine.h"
#include "engine/files/Files.h"

namespace image {
namespace {

constexpr uint32_t kMissingFileSize = 0xFFFFFFFFu;
constexpr uint8_t kPaletteMarker = 12;

uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

struct FontState {
    uint8_t* indices = nullptr;   // 42000 decoded pixels of the font image
    uint8_t* palette = nullptr;   // 768 bytes; its first 512 hold the 5-6-5 palette
    uint16_t* image = nullptr;    // the font in 5-6-5, kFontRow pixels per row
    int32_t screenWidth = 320;
    int32_t glyphWidth = 23;
    int32_t glyphHeight = 27;
    int32_t cursorColumn = 0;
    int32_t cursorLine = 0;
};
FontState font;

// Room in the pixel destination of the LoadPcx under way: callers of LoadPcx
// give none, but InitFont knows its index image holds kFontPixels.
uint32_t loadPixelRoom = 0xFFFFFFFFu;

constexpr int32_t kFontRow = 1500;
constexpr int32_t kFontPixels = 42000;
constexpr int32_t kGlyphStep = 24;    // columns between two glyphs in the font image
constexpr int32_t kGlyphAdvance = 18; // glyph width 23 minus the 5-column overlap
// Glyphs past this one would reach beyond the font image's row.
constexpr int32_t kLastGlyph = (kFontRow - 23) / kGlyphStep;

}  // namespace

bool DecodePcx(const uint8_t* data, uint32_t size, uint8_t* pixels, uint8_t* palette,
               uint32_t pixelRoom) {
    if (size < kPcxHeaderSize) return false;
    if (data[0] != 10 || data[1] != 5 || data[65] != 1) return false;
    const uint32_t count = uint32_t{Read16(data + 66)} * (uint32_t{Read16(data + 10)} + 1);
    if (count > pixelRoom) return false;

    uint32_t at = kPcxHeaderSize;
    uint32_t written = 0;
    while (written < count && at < size) {
        const uint8_t byte = data[at++];
        if (byte > 0xC0) {
            if (at >= size) break;  // a run without its value byte
            const uint8_t value = data[at++];
            uint32_t run = byte & 0x3F;
            if (run > count - written) run = count - written;
            std::memset(pixels + written, value, run);
            written += run;
        } else {
            pixels[written++] = byte;
        }
    }

    for (; uint64_t{at} + 1 + kPaletteBytes <= size; ++at) {
        if (data[at] != kPaletteMarker) continue;
        const uint8_t* entries = data + at + 1;
        for (uint32_t i = 0; i < kPaletteBytes; ++i) palette[i] = uint8_t(entries[i] >> 2);
        break;
    }
    return true;
}

}  // namespace image

void Engine::LoadPcx(const char* name, uint8_t* pixels, uint8_t* palette) {
    const FileHandle file = FileOpen(name);
    const uint32_t size = FileSize(file);
    uint8_t* buffer = files::LoadBuffer();
    // A file that does not fit the load buffer is refused rather than read
    // past its end; a missing file was reported by FileOpen.
    if (size == image::kMissingFileSize || !buffer || size > files::LoadBufferSize() ||
        size < image::kPcxHeaderSize) {
        FileClose(file);
        return;
    }
    FileRead(file, buffer, size);
    FileClose(file);
    uint8_t header[image::kPcxHeaderSize];
    MemCopy(buffer, header, sizeof header);
    if (header[0] != 10 || header[1] != 5 || header[65] != 1) return;
    image::DecodePcx(buffer, size, pixels, palette, image::loadPixelRoom);
}

void Engine::Reserved46() {}
void Engine::Reserved47(int32_t /*ignored1*/, int32_t /*ignored2*/) {}

void Engine::PaletteTo16(uint8_t* palette) {
    // Entry i is read from bytes 3i..3i+2 before bytes 2i, 2i+1 are written.
    for (int i = 0; i < 256; ++i) {
        const uint8_t r = palette[3 * i], g = palette[3 * i + 1], b = palette[3 * i + 2];
        const uint16_t value = uint16_t(((r >> 1) << 11) | ((g & 63) << 5) | ((b & 63) >> 1));
        palette[2 * i] = uint8_t(value & 0xFF);
        palette[2 * i + 1] = uint8_t(value >> 8);
    }
}

void Engine::IndexedTo16(const uint8_t* indices, const uint16_t* palette, uint16_t* destination,
                         int32_t count) {
    for (int32_t i = 0; i < count; ++i) destination[i] = palette[indices[i]];
}

void Engine::InitFont() {
    using image::font;
    font.indices = static_cast<uint8_t*>(MemAlloc(image::kFontPixels));
    font.palette = static_cast<uint8_t*>(MemAlloc(image::kPaletteBytes));
    font.image = static_cast<uint16_t*>(MemAlloc(image::kFontPixels * 2));
    if (!font.indices || !font.palette || !font.image) {
        font.image = nullptr;  // the heap has said why; DrawChar then draws nothing
        return;
    }
    // A font file with more pixels than the index image holds is refused.
    image::loadPixelRoom = image::kFontPixels;
    LoadPcx("data\\font.pcx", font.indices, font.palette);
    image::loadPixelRoom = 0xFFFFFFFFu;
    PaletteTo16(font.palette);
    IndexedTo16(font.indices, reinterpret_cast<const uint16_t*>(font.palette), font.image,
                image::kFontPixels);
}

void Engine::DrawChar(int32_t character, uint16_t* destination) {
    using image::font;
    const int32_t glyph = (int32_t(uint8_t(character)) - 32) & 0xFF;
    // Codes outside space..']' have no glyph in the row: they draw nothing.
    if (!font.image || glyph > image::kLastGlyph) return;
    const uint16_t* source = font.image + image::kGlyphStep * glyph;
    for (int32_t row = 0; row < font.glyphHeight; ++row) {
        std::memcpy(destination, source, size_t(font.glyphWidth) * sizeof(uint16_t));
        source += image::kFontRow;
        destination += font.screenWidth;
    }
}

void Engine::DrawString(const char* text, uint16_t* destination) {
    using image::font;
    uint16_t* at = destination + font.cursorLine * font.screenWidth + font.cursorColumn;
    for (const char* c = text; *c; ++c) {
        DrawChar(uint8_t(*c), at);
        at += image::kGlyphAdvance;
        // The cursor rule keeps every string at the image's top-left corner.
        if (2 * font.screenWidth < 2 * font.glyphWidth) ++font.cursorColumn;
        if (font.cursorColumn != 0) font.cursorLine += font.glyphHeight;
    }
}
