// LoadPcx through the files and the load buffer, and the bitmap font built
// from our own data/font.pcx in a scratch directory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/IEngine.h"
#include "engine/image/Pcx.h"
#include "platform/os/MessageBox.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFontWidth = 1500, kFontHeight = 28;

// Our own writer: 8-bit single-plane PCX, runs of equal bytes, values of
// 0xC0 and above always as a run, then marker 12 and the 8-bit palette.
Bytes EncodePcx(int width, int height, const Bytes& pixels, const Bytes& palette8) {
    Bytes out(128, 0);
    out[0] = 10, out[1] = 5, out[2] = 1, out[3] = 8;
    out[8] = uint8_t(width - 1), out[9] = uint8_t((width - 1) >> 8);
    out[10] = uint8_t(height - 1), out[11] = uint8_t((height - 1) >> 8);
    out[65] = 1;
    out[66] = uint8_t(width), out[67] = uint8_t(width >> 8);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels.data() + size_t(y) * width;
        for (int x = 0; x < width;) {
            int n = 1;
            while (x + n < width && n < 63 && row[x + n] == row[x]) ++n;
            if (n > 1 || row[x] >= 0xC0) {
                out.push_back(uint8_t(0xC0 | n));
            }
            out.push_back(row[x]);
            x += n;
        }
    }
    out.push_back(12);
    out.insert(out.end(), palette8.begin(), palette8.end());
    return out;
}

uint8_t FontIndex(int x, int y) { return uint8_t((x / 3 + 7 * y) % 256); }

Bytes FontPalette8() {
    Bytes p;
    for (int i = 0; i < 256; ++i) {
        p.push_back(uint8_t((i & 7) << 5));
        p.push_back(uint8_t(((i >> 3) & 7) << 5));
        p.push_back(uint8_t(((i >> 6) & 3) << 6));
    }
    return p;
}

uint16_t Expected565(uint8_t index) {
    const Bytes p = FontPalette8();
    const int r = p[3 * index] >> 2, g = p[3 * index + 1] >> 2, b = p[3 * index + 2] >> 2;
    return uint16_t((r >> 1) << 11 | (g & 63) << 5 | (b & 63) >> 1);
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessary_font_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(std::system(("mkdir -p " + dir + "/data").c_str()), 0);
        Bytes pixels;
        for (int y = 0; y < kFontHeight; ++y)
            for (int x = 0; x < kFontWidth; ++x) pixels.push_back(FontIndex(x, y));
        fontFile = EncodePcx(kFontWidth, kFontHeight, pixels, FontPalette8());
        ASSERT_TRUE(WriteFile(dir + "/data/font.pcx", fontFile));
        ASSERT_EQ(chdir(dir.c_str()), 0);
        os::SetMessageBoxHook([this](const char* text, const char*) { messages.push_back(text); });
        engine = CreateEngine();
        engine->MemInit(4 * 1024 * 1024);
        engine->AllocLoadBuffer(262144);
    }
    void TearDown() override {
        os::SetMessageBoxHook(nullptr);
        DestroyEngine(engine);
        std::system(("rm -rf " + dir).c_str());
    }

    std::string dir;
    Bytes fontFile;
    IEngine* engine = nullptr;
    std::vector<std::string> messages;
};

TEST_F(FontTest, LoadPcxDecodesThroughTheLoadBuffer) {
    Bytes pixels(kFontWidth * kFontHeight + 1, 0xAB), palette(768, 0xAB);
    engine->LoadPcx("data\\font.pcx", pixels.data(), palette.data());
    for (int y = 0; y < kFontHeight; ++y)
        for (int x = 0; x < kFontWidth; ++x)
            ASSERT_EQ(pixels[size_t(y) * kFontWidth + x], FontIndex(x, y)) << x << "," << y;
    EXPECT_EQ(pixels.back(), 0xAB);
    const Bytes p8 = FontPalette8();
    for (int i = 0; i < 768; ++i) ASSERT_EQ(palette[i], p8[i] >> 2) << i;
    EXPECT_TRUE(messages.empty());
}

TEST_F(FontTest, LoadPcxRefusesWhatItCannotReadWhole) {
    Bytes pixels(16, 0xAB), palette(768, 0xAB);
    // Missing: reported once by the file layer, nothing written.
    engine->LoadPcx("data\\none.pcx", pixels.data(), palette.data());
    EXPECT_EQ(messages, (std::vector<std::string>{"Error opening da file!"}));
    // Larger than the load buffer: refused rather than read past its end.
    engine->AllocLoadBuffer(1024);
    engine->LoadPcx("data\\font.pcx", pixels.data(), palette.data());
    // A bad header.
    Bytes bad = fontFile;
    bad[1] = 3;
    ASSERT_TRUE(WriteFile(dir + "/data/bad.pcx", Bytes(bad.begin(), bad.begin() + 900)));
    engine->LoadPcx("data\\bad.pcx", pixels.data(), palette.data());
    EXPECT_EQ(pixels, Bytes(16, 0xAB));
    EXPECT_EQ(palette, Bytes(768, 0xAB));
}

TEST_F(FontTest, GlyphsAreCopiedWholeFromTheFontImage) {
    engine->InitFont();
    constexpr int kW = 320, kH = 40;
    const uint16_t kBlank = 0x1234;
    std::vector<uint16_t> screen(kW * kH, kBlank);

    auto glyphPixel = [](int code, int x, int y) { return Expected565(FontIndex(24 * (code - 32) + x, y)); };
    auto expectGlyph = [&](int code, int left, int top) {
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 23; ++x)
                ASSERT_EQ(screen[size_t(top + y) * kW + left + x], glyphPixel(code, x, y))
                    << "code " << code << " at " << x << "," << y;
    };
    auto countTouched = [&] {
        int n = 0;
        for (uint16_t p : screen) n += p != kBlank;
        return n;
    };

    // The space is the 23 x 27 block at the left edge of the font image.
    engine->DrawChar(' ', screen.data() + 2 * kW + 5);
    expectGlyph(' ', 5, 2);
    EXPECT_EQ(countTouched(), 23 * 27);  // no font pixel has the blank's value

    // ']' is the last glyph inside the row; anything past it draws nothing.
    std::fill(screen.begin(), screen.end(), kBlank);
    engine->DrawChar(']', screen.data() + 100);
    expectGlyph(']', 100, 0);
    std::fill(screen.begin(), screen.end(), kBlank);
    for (int code : {94, 127, 200, 255, 0, 31})
        engine->DrawChar(code, screen.data() + 100);
    EXPECT_EQ(countTouched(), 0);
    // Only the low 8 bits of the code count.
    engine->DrawChar(0x100 + 'A', screen.data());
    expectGlyph('A', 0, 0);
}

TEST_F(FontTest, AFontFileTooLargeForTheIndexImageIsRefused) {
    // 1500 x 100 pixels: 150000 indices for a 42000-byte index image.
    Bytes pixels(size_t(kFontWidth) * 100, 7);
    ASSERT_TRUE(WriteFile(dir + "/data/font.pcx", EncodePcx(kFontWidth, 100, pixels, FontPalette8())));
    // InitFont's three blocks come from the front of a freed, marked area.
    constexpr uint32_t kArea = 300000, kFontBlocks = 42000 + 768 + 84000;
    auto* area = static_cast<uint8_t*>(engine->MemAlloc(kArea));
    engine->MemFill(area, 0x5A, kArea);
    engine->MemFree(area, kArea);
    engine->InitFont();
    for (uint32_t i = kFontBlocks; i < kArea; ++i)
        ASSERT_EQ(area[i], 0x5A) << "written past the font's blocks at " << i;
    // A font file that fits still loads after the refusal: the limit was InitFont's only.
    Bytes out(size_t(kFontWidth) * 100, 0xAB), palette(768);
    engine->LoadPcx("data\\font.pcx", out.data(), palette.data());
    EXPECT_EQ(out.back(), 7);
}

TEST_F(FontTest, StringsOverlapFiveColumnsAndStartAtTheTopLeft) {
    engine->InitFont();
    constexpr int kW = 320;
    std::vector<uint16_t> screen(kW * 30, 0x1234);
    engine->DrawString("AB", screen.data());
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 18; ++x)
            ASSERT_EQ(screen[size_t(y) * kW + x], Expected565(FontIndex(24 * ('A' - 32) + x, y)));
        for (int x = 0; x < 23; ++x)
            ASSERT_EQ(screen[size_t(y) * kW + 18 + x],
                      Expected565(FontIndex(24 * ('B' - 32) + x, y)));
        ASSERT_EQ(screen[size_t(y) * kW + 41], 0x1234);
    }
    // The cursor does not move between calls: the next string lands on the first.
    engine->DrawString("C", screen.data());
    for (int x = 0; x < 23; ++x) EXPECT_EQ(screen[x], Expected565(FontIndex(24 * ('C' - 32) + x, 0)));
    EXPECT_EQ(screen[18], Expected565(FontIndex(24 * ('C' - 32) + 18, 0)));
}

}  // namespace
