// The generated files themselves: the full set under the names the scenes
// open, objects that pass the loader's checks, JPEGs that decode at power of
// two sizes, the font as the engine reads it, and the same bytes every time.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include <jpeglib.h>

#include "tests/data/Model.h"
#include "tools/mkdata/visual/Visual.h"

namespace {

const std::vector<std::string> kObjects = {"panel.3do",  "land01.3do", "malla.3do",    "sphere03.3do",
                                           "bicho.3do",  "city01.3do", "city02.3do",   "sphere02.3do",
                                           "cartel.3do", "tarta.3do",  "velas.3do",    "fondo.3do"};

struct Picture {
    std::string file;
    int w, h;
};

std::vector<Picture> Pictures() {
    std::vector<Picture> p;
    for (int i = 1; i <= 5; ++i) p.push_back({"textos" + std::to_string(i) + ".jpg", 512, 512});
    p.push_back({"zornalogo.jpg", 512, 512});
    p.push_back({"landtext.jpg", 256, 256});
    p.push_back({"deforme.jpg", 512, 512});
    p.push_back({"deforme2.jpg", 256, 256});
    p.push_back({"skin.jpg", 256, 256});
    p.push_back({"build.jpg", 256, 256});
    p.push_back({"cielo.jpg", 1024, 512});
    p.push_back({"tierra.jpg", 512, 512});
    for (int i = 1; i <= 6; ++i) p.push_back({"credit0" + std::to_string(i) + ".jpg", 512, 256});
    for (int i = 1; i <= 10; ++i) p.push_back({"greet" + std::to_string(i) + ".jpg", 512, 256});
    p.push_back({"tarta.jpg", 512, 512});
    p.push_back({"llama.jpg", 256, 256});
    p.push_back({"pcr.jpg", 512, 512});
    return p;
}

TEST(DataFiles, TheSetIsCompleteUnderTheScenesNames) {
    std::set<std::string> expected(kObjects.begin(), kObjects.end());
    for (const Picture& p : Pictures()) expected.insert(p.file);
    expected.insert("font.pcx");
    ASSERT_EQ(expected.size(), 45u);
    std::set<std::string> present;
    for (const auto& e : std::filesystem::directory_iterator(model::DataDir())) {
        const std::string name = e.path().filename().string();
        if (name.size() < 3 || name.substr(name.size() - 3) != ".xm") present.insert(name);  // music is not ours
    }
    for (const std::string& f : expected) EXPECT_TRUE(present.count(f)) << f << " is missing";
    for (const std::string& f : present) EXPECT_TRUE(expected.count(f)) << f << " is not read by any scene";
}

TEST(DataFiles, EveryObjectPassesTheLoadersChecks) {
    for (const std::string& f : kObjects) {
        model::Object o;
        EXPECT_EQ(model::CheckObject(model::ReadFile(model::DataDir() + f), &o), "") << f;
        EXPECT_GT(o.faces.size(), 0u) << f;
        // The canonical layout the writer promises.
        EXPECT_EQ(o.header.vertices, 76u) << f;
        EXPECT_EQ(o.header.faces, 76u + 12u * o.vertices.size()) << f;
        EXPECT_EQ(o.header.materials, o.header.faces + 40u * o.faces.size()) << f;
    }
}

TEST(DataFiles, TheChecksCatchBrokenObjects) {
    const std::vector<uint8_t> good = model::ReadFile(model::DataDir() + "panel.3do");
    ASSERT_EQ(model::CheckObject(good, nullptr), "");
    struct Case {
        const char* what;
        size_t at;
        int32_t value;
    };
    const Object3D* h = reinterpret_cast<const Object3D*>(good.data());
    const size_t face0 = h->faces, material0 = face0 + 36;
    const std::vector<Case> cases = {
        {"totalSize", offsetof(Object3D, totalSize), 1000},
        {"vertexCount 0", offsetof(Object3D, vertexCount), 0},
        {"faces past the end", offsetof(Object3D, faces), 400},
        {"corner not a multiple of 12", face0, 13},
        {"corner past the vertices", face0 + 4, 48},
        {"material index", material0, 1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        std::memcpy(&bad[c.at], &c.value, 4);
        EXPECT_NE(model::CheckObject(bad, nullptr), "") << c.what;
    }
    EXPECT_NE(model::CheckObject(std::vector<uint8_t>(good.begin(), good.end() - 4), nullptr), "") << "short";
}

TEST(DataFiles, EveryJpegDecodesAtItsSize) {
    for (const Picture& p : Pictures()) {
        const std::vector<uint8_t> bytes = model::ReadFile(model::DataDir() + p.file);
        ASSERT_FALSE(bytes.empty()) << p.file;
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
        ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK) << p.file;
        EXPECT_FALSE(jpeg_has_multiple_scans(&cinfo)) << p.file << " should be baseline";
        jpeg_start_decompress(&cinfo);
        EXPECT_EQ(int(cinfo.output_width), p.w) << p.file;
        EXPECT_EQ(int(cinfo.output_height), p.h) << p.file;
        EXPECT_EQ(cinfo.output_components, 3) << p.file;
        std::vector<JSAMPLE> row(cinfo.output_width * 3);
        double sum = 0, sumSq = 0;
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW r = row.data();
            jpeg_read_scanlines(&cinfo, &r, 1);
            for (JSAMPLE s : row) {
                sum += s;
                sumSq += double(s) * s;
            }
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        // Not a blank: every picture has some brightness and some contrast.
        const double n = double(p.w) * p.h * 3, mean = sum / n;
        EXPECT_GT(mean, 12.0) << p.file;
        EXPECT_GT(std::sqrt(sumSq / n - mean * mean), 10.0) << p.file;
    }
}

// The engine's reading of a PCX: header checks, one RLE stream, marker 12.
struct Pcx {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;
};

std::string DecodePcx(const std::vector<uint8_t>& f, Pcx& out) {
    if (f.size() < 128) return "short";
    if (f[0] != 10 || f[1] != 5 || f[65] != 1) return "header";
    if (f[3] != 8 || f[2] != 1) return "not 8-bit RLE";
    out.width = f[66] | (f[67] << 8);
    out.height = (f[10] | (f[11] << 8)) + 1;
    const size_t count = size_t(out.width) * out.height;
    size_t at = 128;
    while (out.pixels.size() < count) {
        if (at >= f.size()) return "pixel data ends early";
        const uint8_t b = f[at++];
        if (b > 0xC0) {
            if (at >= f.size()) return "run without value";
            const uint8_t v = f[at++];
            for (int i = 0; i < (b & 63) && out.pixels.size() < count; ++i) out.pixels.push_back(v);
        } else {
            out.pixels.push_back(b);
        }
    }
    while (at < f.size() && f[at] != 12) ++at;
    if (at + 769 > f.size()) return "no palette";
    out.palette.assign(f.begin() + long(at) + 1, f.begin() + long(at) + 769);
    if (at + 769 != f.size()) return "bytes after the palette";
    return "";
}

TEST(DataFiles, TheFontHasOneGlyphPerCodeInsideItsCell) {
    Pcx pcx;
    ASSERT_EQ(DecodePcx(model::ReadFile(model::DataDir() + "font.pcx"), pcx), "");
    ASSERT_EQ(pcx.width, 1500);
    ASSERT_EQ(pcx.height, 28);
    ASSERT_LE(model::ReadFile(model::DataDir() + "font.pcx").size(), 262144u) << "fits the load buffer";
    EXPECT_EQ(pcx.palette[0] + pcx.palette[1] + pcx.palette[2], 0) << "index 0, the background, is black";
    auto ink = [&](int code, int x, int y) { return pcx.pixels[size_t(y) * 1500 + size_t(24 * (code - 32) + x)] != 0; };
    struct Extent {
        int x0 = 99, x1 = -1, y0 = 99, y1 = -1;
    };
    auto extent = [&](int code) {
        Extent e;
        for (int y = 0; y < 28; ++y)
            for (int x = 0; x < 24; ++x)
                if (24 * (code - 32) + x < 1500 && ink(code, x, y)) {
                    e.x0 = std::min(e.x0, x), e.x1 = std::max(e.x1, x);
                    e.y0 = std::min(e.y0, y), e.y1 = std::max(e.y1, y);
                }
        return e;
    };
    EXPECT_EQ(extent(' ').x1, -1) << "space is blank";
    std::set<std::vector<uint8_t>> shapes;
    for (int code = 33; code <= 93; ++code) {
        const Extent e = extent(code);
        ASSERT_GE(e.x1, 0) << char(code) << " has no ink";
        EXPECT_LE(e.x1, 22) << char(code) << " spills out of its 23-pixel cell";
        EXPECT_LE(e.y1, 26) << char(code) << " spills below its 27 rows";
        std::vector<uint8_t> shape;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 23; ++x) shape.push_back(ink(code, x, y));
        shapes.insert(shape);
    }
    EXPECT_EQ(shapes.size(), 61u) << "every glyph differs from every other";
    // A few shapes that say the glyphs sit at the right codes.
    EXPECT_GT(extent('.').y0, 15) << "the full stop sits on the baseline";
    const Extent dash = extent('-');
    EXPECT_GT(dash.y0, 8);
    EXPECT_LT(dash.y1, 18);
    EXPECT_LT(extent('I').x1 - extent('I').x0, extent('W').x1 - extent('W').x0);
    // The brackets' upright stroke pulls their ink to one side.
    auto centre = [&](int code) {
        double sum = 0, n = 0;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 23; ++x)
                if (ink(code, x, y)) sum += x, n += 1;
        return sum / n;
    };
    EXPECT_LT(centre('['), (extent('[').x0 + extent('[').x1) / 2.0);
    EXPECT_GT(centre(']'), (extent(']').x0 + extent(']').x1) / 2.0);
}

TEST(DataFiles, TheSameBytesOnEveryRun) {
    const std::string base = std::filesystem::temp_directory_path().string() + "/tessary_data_" +
                             std::to_string(::getpid());
    const std::string one = base + "_1/", two = base + "_2/";
    std::filesystem::create_directories(one);
    std::filesystem::create_directories(two);
    ASSERT_TRUE(mkdata::GenerateVisuals(one));
    ASSERT_TRUE(mkdata::GenerateVisuals(two));
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(one)) {
        const std::string name = e.path().filename().string();
        const std::vector<uint8_t> first = model::ReadFile(one + name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == model::ReadFile(two + name)) << name << " differs between two runs";
        // And what the build put in data/ is the same too.
        EXPECT_TRUE(first == model::ReadFile(model::DataDir() + name)) << name << " differs from data/";
        ++files;
    }
    EXPECT_EQ(files, 45);
    std::filesystem::remove_all(one);
    std::filesystem::remove_all(two);
}

}  // namespace
