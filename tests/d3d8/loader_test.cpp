// The JPEG texture loader: size, content and sampling of a good file, `\` in
// names, and clean failures for missing, truncated and corrupt files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "tests/d3d8/rig.h"

namespace {

// Encodes width x height pixels (rgb triples, or grey bytes) at quality 100.
std::vector<unsigned char> EncodeJpeg(uint32_t width, uint32_t height,
                                      const std::vector<unsigned char>& pixels, bool grey = false) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        JSAMPROW row = const_cast<unsigned char*>(&pixels[info.next_scanline * width * (grey ? 1 : 3)]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<unsigned char> bytes(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

// 32 x 16: left half red, right half blue.
std::vector<unsigned char> RedBlue() {
    std::vector<unsigned char> px(32 * 16 * 3);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
            unsigned char* p = &px[(y * 32 + x) * 3];
            p[0] = x < 16 ? 255 : 0;
            p[2] = x < 16 ? 0 : 255;
        }
    return px;
}

struct LoaderTest : ::testing::Test {
    std::string dir;
    void SetUp() override {
        char pattern[] = "/tmp/tessary-jpeg-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) {
        std::string path = dir + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
};

}  // namespace

TEST_F(LoaderTest, AJpegKeepsItsSizeAndIsShownWholeOverZeroToOne) {
    rig::Rig r(32, 16, true);
    std::string path = Write("redblue.jpg", EncodeJpeg(32, 16, RedBlue()));
    d3d8::Texture* t = nullptr;
    ASSERT_EQ(d3d8::D3DXCreateTextureFromFileA(r.device(), path.c_str(), &t), 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetLevelCount(), 1u);
    d3d8::D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), 0);
    EXPECT_EQ(lr.Pitch, 32 * 4) << "X8R8G8B8, 32 texels wide";
    uint32_t left = static_cast<uint32_t*>(lr.pBits)[16 * 4 + 2];
    uint32_t right = static_cast<uint32_t*>(lr.pBits)[16 * 4 + 29];
    EXPECT_GE((left >> 16) & 0xFF, 250u);
    EXPECT_LE(left & 0xFF, 5u);
    EXPECT_GE(right & 0xFF, 250u);
    EXPECT_LE((right >> 16) & 0xFF, 5u);
    t->UnlockRect(0);
    // A quad over the whole target with u, v from 0 to 1 shows red then blue.
    auto V = [](float x, float y, float u, float v) { return rig::Textured{x, y, 0.5f, u, v}; };
    r.Draw(std::vector<rig::Textured>{V(-0.5f, -0.5f, 0, 0), V(-0.5f, 15.5f, 0, 1), V(31.5f, -0.5f, 1, 0),
                                      V(31.5f, -0.5f, 1, 0), V(-0.5f, 15.5f, 0, 1), V(31.5f, 15.5f, 1, 1)},
           false, t);
    for (uint32_t x : {0u, 5u, 13u}) EXPECT_EQ(r.Pixel(x, 8) >> 11, 31) << x;
    for (uint32_t x : {18u, 25u, 31u}) EXPECT_EQ(r.Pixel(x, 8) & 31, 31) << x;
    EXPECT_EQ(t->Release(), 1u) << "the device still holds the bound texture";
}

TEST_F(LoaderTest, BackslashesSeparateFoldersAndGreyImagesLoad) {
    rig::Rig r(4, 4, true);
    ASSERT_EQ(system(("mkdir -p '" + dir + "/data'").c_str()), 0);
    std::vector<unsigned char> grey(8 * 8, 200);
    Write("data/grey.jpg", EncodeJpeg(8, 8, grey, true));
    std::string name = dir + "/data\\grey.jpg";
    d3d8::Texture* t = nullptr;
    ASSERT_EQ(d3d8::D3DXCreateTextureFromFileA(r.device(), name.c_str(), &t), 0);
    d3d8::D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), 0);
    uint32_t texel = static_cast<uint32_t*>(lr.pBits)[9];
    EXPECT_NEAR(double((texel >> 16) & 0xFF), 200, 2);
    EXPECT_EQ((texel >> 16) & 0xFF, texel & 0xFF);
    t->UnlockRect(0);
    t->Release();
}

TEST_F(LoaderTest, DamagedFilesFailCleanly) {
    rig::Rig r(4, 4, true);
    std::vector<unsigned char> good = EncodeJpeg(32, 16, RedBlue());
    std::vector<unsigned char> truncated(good.begin(), good.begin() + long(good.size() / 2));
    std::vector<unsigned char> corrupt = good;
    for (size_t i = corrupt.size() / 2; i < corrupt.size() - 2; i += 3) corrupt[i] = 0xFF;  // markers in the scan
    std::vector<unsigned char> header(good.begin(), good.begin() + 20);
    std::vector<unsigned char> notJpeg = {'P', 'N', 'G', 0, 1, 2, 3, 4, 5, 6, 7, 8};
    struct Case {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing", dir + "/nothing.jpg"},
        {"empty", Write("empty.jpg", {})},
        {"truncated", Write("truncated.jpg", truncated)},
        {"corrupt", Write("corrupt.jpg", corrupt)},
        {"header only", Write("header.jpg", header)},
        {"not a jpeg", Write("png.jpg", notJpeg)},
    };
    for (const Case& c : cases) {
        d3d8::Texture* t = reinterpret_cast<d3d8::Texture*>(8);
        EXPECT_LT(d3d8::D3DXCreateTextureFromFileA(r.device(), c.path.c_str(), &t), 0) << c.what;
        EXPECT_EQ(t, nullptr) << c.what;
    }
    d3d8::Texture* t = nullptr;
    std::string ok = Write("good.jpg", good);
    EXPECT_EQ(d3d8::D3DXCreateTextureFromFileA(r.device(), ok.c_str(), &t), 0) << "the good file still loads";
    if (t) t->Release();
}
