// PCX decoding, palette conversion and expansion. Byte strings are held in
// vectors of their exact size, so a read past the data shows under ASan.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/IEngine.h"
#include "engine/image/Pcx.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(uint16_t bytesPerLine, uint16_t maxY, uint8_t manufacturer = 10, uint8_t version = 5,
             uint8_t planes = 1) {
    Bytes h(128, 0);
    h[0] = manufacturer;
    h[1] = version;
    h[2] = 1;
    h[3] = 8;
    h[10] = uint8_t(maxY), h[11] = uint8_t(maxY >> 8);
    h[65] = planes;
    h[66] = uint8_t(bytesPerLine), h[67] = uint8_t(bytesPerLine >> 8);
    return h;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Marker 12 and 768 palette bytes, entry i = (i, 255 - i, 3 * i).
Bytes Palette() {
    Bytes p{12};
    for (int i = 0; i < 256; ++i) {
        p.push_back(uint8_t(i));
        p.push_back(uint8_t(255 - i));
        p.push_back(uint8_t(3 * i));
    }
    return p;
}

constexpr uint8_t kUntouched = 0xAB;

struct Decoded {
    bool ok;
    Bytes pixels;
    Bytes palette;
};

Decoded Decode(const Bytes& file, size_t pixelRoom = 256) {
    Decoded d{false, Bytes(pixelRoom, kUntouched), Bytes(768, kUntouched)};
    d.ok = image::DecodePcx(file.data(), uint32_t(file.size()), d.pixels.data(), d.palette.data());
    return d;
}

Bytes Repeat(uint8_t value, size_t n) { return Bytes(n, value); }

TEST(PcxDecodeTest, RunsAndLiterals) {
    struct Case {
        const char* what;
        Bytes header;
        Bytes data;
        Bytes pixels;  // then untouched
    };
    const Case cases[] = {
        {"C3 05: three fives", Header(3, 0), {0xC3, 0x05}, {5, 5, 5}},
        {"FF 00: 63 zeros", Header(63, 0), {0xFF, 0x00}, Repeat(0, 63)},
        {"C0 is a literal", Header(1, 0), {0xC0}, {0xC0}},
        {"C1 is a run of one", Header(2, 0), {0xC1, 0xC0, 0x07}, {0xC0, 0x07}},
        {"one stream across rows", Header(2, 1), {0xC3, 9, 4}, {9, 9, 9, 4}},
        {"a run is cut at the count", Header(2, 0), {0xC5, 7}, {7, 7}},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.header + c.data + Palette());
        EXPECT_TRUE(d.ok) << c.what;
        ASSERT_LE(c.pixels.size(), d.pixels.size());
        EXPECT_EQ(Bytes(d.pixels.begin(), d.pixels.begin() + c.pixels.size()), c.pixels) << c.what;
        EXPECT_EQ(d.pixels[c.pixels.size()], kUntouched) << c.what;
        EXPECT_EQ(d.palette[1], 255 >> 2) << c.what;
    }
}

TEST(PcxDecodeTest, PaletteIsSearchedFromAfterTheLastConsumedByte) {
    // The cut run's value byte is 12 itself: the palette starts after the next 12.
    const Decoded d = Decode(Header(2, 0) + Bytes{0xC5, 12} + Palette());
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels[0], 12);
    EXPECT_EQ(d.pixels[1], 12);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(d.palette[3 * i], uint8_t(i) >> 2) << i;
        EXPECT_EQ(d.palette[3 * i + 1], uint8_t(255 - i) >> 2) << i;
        EXPECT_EQ(d.palette[3 * i + 2], uint8_t(3 * i) >> 2) << i;
    }
    // Bytes between the data and the marker are skipped.
    const Decoded skipped = Decode(Header(1, 0) + Bytes{1, 0, 0, 99} + Palette());
    EXPECT_EQ(skipped.palette[0], 0);
    EXPECT_EQ(skipped.palette[767], uint8_t(3 * 255) >> 2);
}

TEST(PcxDecodeTest, PaletteBytesBecomeSixBits) {
    Bytes palette{12};
    for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {255, 3, 4});
    const Decoded d = Decode(Header(1, 0) + Bytes{1} + palette);
    EXPECT_EQ(d.palette[0], 63);
    EXPECT_EQ(d.palette[1], 0);
    EXPECT_EQ(d.palette[2], 1);
}

TEST(PcxDecodeTest, RefusedHeadersWriteNothing) {
    const Bytes headers[] = {Header(1, 0, 10, 3), Header(1, 0, 0, 5), Header(1, 0, 10, 5, 3),
                             Bytes(127, 0)};
    for (const Bytes& h : headers) {
        Bytes file = h;
        if (file.size() == 128) file = file + Bytes{7} + Palette();
        const Decoded d = Decode(file);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.pixels, Repeat(kUntouched, 256));
        EXPECT_EQ(d.palette, Repeat(kUntouched, 768));
    }
}

TEST(PcxDecodeTest, ShortDataNeverReadsPastTheEnd) {
    struct Case {
        const char* what;
        Bytes file;
        size_t pixelsWritten;
    };
    const Case cases[] = {
        {"data ends early", Header(8, 0) + Bytes{1, 2, 0xC2, 3}, 4},
        {"a run without its value", Header(8, 0) + Bytes{1, 0xC4}, 1},
        {"no data at all", Header(8, 0), 0},
        {"marker without a full palette", Header(1, 0) + Bytes{5, 12} + Repeat(9, 767), 1},
        {"no marker after the data", Header(1, 0) + Bytes{5} + Repeat(9, 900), 1},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.file);
        EXPECT_TRUE(d.ok) << c.what;
        for (size_t i = c.pixelsWritten; i < d.pixels.size(); ++i)
            ASSERT_EQ(d.pixels[i], kUntouched) << c.what << " pixel " << i;
        EXPECT_EQ(d.palette, Repeat(kUntouched, 768)) << c.what;
    }
}

TEST(PaletteTest, SixBitEntriesBecomeFiveSixFive) {
    struct Case {
        uint8_t r, g, b;
        uint16_t pixel;
    };
    const Case cases[] = {{63, 63, 63, 0xFFFF}, {63, 0, 0, 0xF800}, {0, 63, 0, 0x07E0},
                          {0, 0, 63, 0x001F}, {1, 1, 1, 0x0020},  {0, 0, 0, 0x0000}};
    std::unique_ptr<IEngine, void (*)(IEngine*)> engine(CreateEngine(), DestroyEngine);
    for (const Case& c : cases) {
        uint8_t palette[768] = {};
        palette[0] = c.r, palette[1] = c.g, palette[2] = c.b;
        engine->PaletteTo16(palette);
        EXPECT_EQ(uint16_t(palette[0] | palette[1] << 8), c.pixel)
            << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }

    // In place over all 256 entries: each is read before anything overwrites it.
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = uint8_t((i * 37 + 11) % 64);
    const Bytes original(palette, palette + 768);
    engine->PaletteTo16(palette);
    for (int i = 0; i < 256; ++i) {
        const uint8_t r = original[3 * i], g = original[3 * i + 1], b = original[3 * i + 2];
        const uint16_t expected = uint16_t((r >> 1) << 11 | (g & 63) << 5 | (b & 63) >> 1);
        EXPECT_EQ(uint16_t(palette[2 * i] | palette[2 * i + 1] << 8), expected) << "entry " << i;
    }
}

TEST(PaletteTest, IndexedPixelsExpandThroughThePalette) {
    std::unique_ptr<IEngine, void (*)(IEngine*)> engine(CreateEngine(), DestroyEngine);
    uint16_t palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = uint16_t(0x1000 + i * 3);
    const uint8_t indices[5] = {0, 255, 7, 7, 128};
    uint16_t out[6] = {1, 1, 1, 1, 1, 0xBEEF};
    engine->IndexedTo16(indices, palette, out, 5);
    EXPECT_EQ(out[0], palette[0]);
    EXPECT_EQ(out[1], palette[255]);
    EXPECT_EQ(out[2], palette[7]);
    EXPECT_EQ(out[3], palette[7]);
    EXPECT_EQ(out[4], palette[128]);
    EXPECT_EQ(out[5], 0xBEEF);
}

// A PCX written by ImageMagick, with its pixels as ImageMagick reads them back.
struct MagickPcx {
    Bytes file;
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel, rows top to bottom
    std::string path;
    ~MagickPcx() {
        if (!path.empty()) std::system(("rm -rf " + path.substr(0, path.rfind('/'))).c_str());
    }
};

bool MakeMagickPcx(MagickPcx& out) {
    char dir[] = "/tmp/tessary_pcx_XXXXXX";
    if (!mkdtemp(dir)) return false;
    const std::string pcx = std::string(dir) + "/t.pcx";
    const std::string txt = std::string(dir) + "/t.txt";
    // A plasma for literals and many colours (indices above 0xC0), a flat band
    // for long runs; 151 columns so that rows end in the middle of runs.
    const std::string make = "convert -seed 7 -size 101x23 plasma:fractal \\( -size 50x23 "
                             "xc:'#c08040' \\) +append -colors 250 -type Palette PCX:" + pcx +
                             " 2>/dev/null && convert " + pcx + " txt:" + txt + " 2>/dev/null";
    if (std::system(make.c_str()) != 0) return false;
    std::ifstream f(pcx, std::ios::binary);
    out.file.assign(std::istreambuf_iterator<char>(f), {});
    out.path = pcx;
    std::ifstream t(txt);
    std::string line;
    std::getline(t, line);  // "# ImageMagick pixel enumeration: W,H,..."
    if (std::sscanf(line.c_str(), "# ImageMagick pixel enumeration: %d,%d", &out.width,
                    &out.height) != 2)
        return false;
    out.rgb.assign(size_t(out.width) * out.height, 0);
    while (std::getline(t, line)) {
        int x, y;
        unsigned r, g, b;
        if (std::sscanf(line.c_str(), "%d,%d: (%u,%u,%u", &x, &y, &r, &g, &b) != 5) return false;
        out.rgb[size_t(y) * out.width + x] = r << 16 | g << 8 | b;
    }
    return true;
}

TEST(LoadPcxTest, DecodesAFileWrittenByImageMagick) {
    MagickPcx m;
    if (!MakeMagickPcx(m)) GTEST_SKIP() << "ImageMagick's convert is not available";
    ASSERT_GT(m.file.size(), 128u + 769u);
    const int bytesPerLine = m.file[66] | m.file[67] << 8;
    ASSERT_GE(bytesPerLine, m.width);
    ASSERT_EQ((m.file[10] | m.file[11] << 8) + 1, m.height);

    // Through the file operations and the load buffer, as the engine loads it.
    std::unique_ptr<IEngine, void (*)(IEngine*)> engine(CreateEngine(), DestroyEngine);
    engine->MemInit(4 * 1024 * 1024);
    engine->AllocLoadBuffer(262144);
    Bytes pixels(size_t(bytesPerLine) * m.height + 1, kUntouched);
    Bytes palette(768, kUntouched);
    engine->LoadPcx(m.path.c_str(), pixels.data(), palette.data());
    EXPECT_EQ(pixels.back(), kUntouched);

    // ImageMagick puts the 8-bit palette in the last 768 bytes.
    const uint8_t* filePalette = m.file.data() + m.file.size() - 768;
    ASSERT_EQ(filePalette[-1], 12);
    for (int i = 0; i < 768; ++i) ASSERT_EQ(palette[i], filePalette[i] >> 2) << "byte " << i;

    int highIndices = 0;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const uint8_t index = pixels[size_t(y) * bytesPerLine + x];
            highIndices += index >= 0xC0;
            const uint8_t* e = filePalette + 3 * index;
            const uint32_t rgb = uint32_t(e[0]) << 16 | e[1] << 8 | e[2];
            ASSERT_EQ(rgb, m.rgb[size_t(y) * m.width + x]) << "pixel " << x << "," << y;
        }
    EXPECT_GT(highIndices, 0) << "the picture should use indices that look like runs";
}

}  // namespace
