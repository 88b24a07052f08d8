// Textures: images and JPEG files become device textures behind engine
// handles; handles are never 0 or -1, stale ones find nothing, a full table
// and unreadable files fail cleanly.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <jpeglib.h>
}

#include "engine/render3d/TextureTable.h"
#include "tests/batches/fixture.h"

namespace {

// Writes a width x height JPEG of one colour.
void WriteJpeg(const std::string& path, uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(width * 3);
    for (uint32_t x = 0; x < width; ++x) {
        row[3 * x] = r;
        row[3 * x + 1] = g;
        row[3 * x + 2] = b;
    }
    while (info.next_scanline < height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
}

struct TextureTest : EngineFixture {
    std::string dir;
    void SetUp() override {
        EngineFixture::SetUp();
        char pattern[] = "/tmp/tessary-tex-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::system(("rm -rf '" + dir + "'").c_str());
        EngineFixture::TearDown();
    }
};

}  // namespace

TEST_F(TextureTest, AnImageBecomesA256SquareR5G6B5TextureRowByRow) {
    std::vector<uint16_t> image(256 * 256);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint16_t(i * 7 + (i >> 8));
    TextureHandle h = engine->CreateTextureFromImage(image.data());
    ASSERT_NE(h, kNoTexture);
    ASSERT_NE(h, kBadTexture);
    d3d8::Texture* t = textures::Find(h);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetLevelCount(), 1u);
    d3d8::D3DLOCKED_RECT r{};
    ASSERT_EQ(t->LockRect(0, &r, nullptr, 0), 0);
    EXPECT_EQ(r.Pitch, 512);
    const uint8_t* bits = static_cast<const uint8_t*>(r.pBits);
    EXPECT_EQ(std::memcmp(bits, image.data(), 512), 0) << "top row";
    EXPECT_EQ(std::memcmp(bits + 255 * 512, image.data() + 255 * 256, 512), 0) << "bottom row";
    t->UnlockRect(0);
    engine->ReleaseTexture(h);
    EXPECT_EQ(textures::Find(h), nullptr);
    engine->ReleaseTexture(h);  // a second release of the stale handle changes nothing
    EXPECT_EQ(textures::LiveCount(), 0);
}

TEST_F(TextureTest, CreateTextureFromImageReportsDeviceFailures) {
    std::vector<uint16_t> image(256 * 256);
    d3d8::testing::ForceFailure(d3d8::testing::kTexture);
    EXPECT_EQ(engine->CreateTextureFromImage(image.data()), kBadTexture);
    d3d8::testing::ForceFailure(d3d8::testing::kTextureLock);
    EXPECT_EQ(engine->CreateTextureFromImage(image.data()), kBadTexture);
    d3d8::testing::ForceFailure(d3d8::testing::kNone);
    EXPECT_EQ(engine->CreateTextureFromImage(nullptr), kBadTexture);
    EXPECT_EQ(textures::LiveCount(), 0) << "nothing half-made is kept";
}

TEST_F(TextureTest, LoadingAFileTwiceGivesTwoTexturesAndTheSwapDrawsTheNewOne) {
    ASSERT_EQ(engine->Init3D(1, 1, 500), 0);
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/data'").c_str()), 0);
    WriteJpeg(dir + "/data/red.jpg", 16, 8, 255, 0, 0);
    WriteJpeg(dir + "/data/green.jpg", 8, 8, 0, 255, 0);
    std::string red = dir + "/data\\red.jpg", green = dir + "/data\\green.jpg";
    TextureHandle a = engine->LoadTexture(red.c_str()), b = engine->LoadTexture(red.c_str());
    ASSERT_NE(a, kNoTexture);
    ASSERT_NE(b, kNoTexture);
    EXPECT_NE(a, b);
    EXPECT_NE(textures::Find(a), textures::Find(b));
    engine->ReleaseTexture(a);
    Triangle t = Textured(5, b, 0);
    engine->AddTriangle(&t);
    Frame();
    EXPECT_EQ(Pixel(320, 244), 31 << 11) << "the other texture is still usable";
    // Swap: release, load the next file, draw with the new handle.
    engine->ReleaseTexture(b);
    TextureHandle c = engine->LoadTexture(green.c_str());
    ASSERT_NE(c, kNoTexture);
    t.texture = c;
    engine->AddTriangle(&t);
    Frame();
    EXPECT_EQ(Pixel(320, 244), 63 << 5);
    engine->ReleaseTexture(c);
    EXPECT_EQ(textures::LiveCount(), 0);
}

TEST_F(TextureTest, UnreadableFilesGiveNoTextureAndZeroIsHarmless) {
    std::string path = dir + "/broken.jpg";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("not a jpeg at all", f);
    std::fclose(f);
    EXPECT_EQ(engine->LoadTexture(path.c_str()), kNoTexture);
    EXPECT_EQ(engine->LoadTexture((dir + "/missing.jpg").c_str()), kNoTexture);
    engine->ReleaseTexture(kNoTexture);
    engine->ReleaseTexture(kBadTexture);
    EXPECT_EQ(textures::LiveCount(), 0);
}

TEST_F(TextureTest, AFullTableRefusesNewTextures) {
    WriteJpeg(dir + "/tiny.jpg", 8, 8, 10, 20, 30);
    std::string tiny = dir + "/tiny.jpg";
    std::vector<TextureHandle> handles;
    for (;;) {
        TextureHandle h = engine->LoadTexture(tiny.c_str());
        if (h == kNoTexture) break;
        EXPECT_NE(h, kBadTexture);
        handles.push_back(h);
        ASSERT_LT(handles.size(), 100000u);
    }
    EXPECT_EQ(int32_t(handles.size()), textures::LiveCount());
    EXPECT_GE(handles.size(), 256u);
    std::vector<uint16_t> image(256 * 256);
    EXPECT_EQ(engine->CreateTextureFromImage(image.data()), kBadTexture);
    // A freed entry is reused under a new handle; the old one stays dead.
    TextureHandle old = handles[3];
    engine->ReleaseTexture(old);
    TextureHandle again = engine->LoadTexture(tiny.c_str());
    ASSERT_NE(again, kNoTexture);
    EXPECT_NE(again, old);
    EXPECT_EQ(textures::Find(old), nullptr);
    handles[3] = again;
    for (TextureHandle h : handles) engine->ReleaseTexture(h);
    EXPECT_EQ(textures::LiveCount(), 0);
}
