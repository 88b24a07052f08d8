// make_seeds DIR: writes a small seed corpus for every fuzz target:
// DIR/object, DIR/pcx, DIR/jpeg, DIR/module, DIR/heap.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mkdata/music/Xm.h"
#include "tools/mkdata/threedo/ThreedoWriter.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

static void Put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    FILE* f = std::fopen((dir / name).c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

static mkdata::ObjectData Quad() {
    mkdata::ObjectData o;
    o.vertices = {{-10, -10, 0}, {10, -10, 0}, {10, 10, 0}, {-10, 10, 0}};
    o.faces = {{0, 12, 24, 0, 0, 1, 0, 1, 1, 0}, {0, 24, 36, 0, 0, 1, 1, 0, 1, 1}};
    Material coloured{1, 0, 0, 0, 0, 0xFF0000, 0x00FF00, 0x0000FF};
    Material additive{1, 1, 0, 0, 0, 0x808080, 0x808080, 0x808080};
    o.materials = {coloured, additive};
    o.position[2] = 30;
    return o;
}

static Bytes Pcx(int width, int height) {
    Bytes b(128, 0);
    b[0] = 10;
    b[1] = 5;
    b[2] = 1;
    b[3] = 8;
    b[8] = static_cast<uint8_t>(width - 1);
    b[9] = static_cast<uint8_t>((width - 1) >> 8);
    b[10] = static_cast<uint8_t>(height - 1);
    b[11] = static_cast<uint8_t>((height - 1) >> 8);
    b[65] = 1;
    b[66] = static_cast<uint8_t>(width);
    b[67] = static_cast<uint8_t>(width >> 8);
    for (int y = 0; y < height; ++y) {
        b.push_back(0xC0 | 8);
        b.push_back(static_cast<uint8_t>(y));
        for (int x = 8; x < width; ++x) b.push_back(static_cast<uint8_t>(x & 0xBF));
    }
    b.push_back(12);
    for (int i = 0; i < 768; ++i) b.push_back(static_cast<uint8_t>(i * 7));
    return b;
}

static Bytes Jpeg(int width, int height, bool grey) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 50, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * c.input_components);
    while (c.next_scanline < c.image_height) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 5 + c.next_scanline * 3);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes b(out, out + outSize);
    jpeg_destroy_compress(&c);
    free(out);
    return b;
}

static Bytes Module() {
    xm::Module m;
    m.channels = 2;
    m.orders = {0, 1};
    m.restart = 1;
    m.patterns.push_back(xm::Pattern(16, 2));
    m.patterns.push_back(xm::Pattern(8, 2));
    m.patterns[0].At(0, 0) = {xm::Note(4, 0), 1, xm::Volume(48), 0, 0};
    m.patterns[0].At(4, 1) = {xm::Note(4, 7), 1, 0, 0x0C, 32};
    m.patterns[1].At(0, 0) = {xm::kKeyOff, 0, 0, 0x0F, 3};
    xm::Instrument inst;
    inst.name = "saw";
    xm::Sample s;
    for (int i = 0; i < 64; ++i) s.pcm.push_back(static_cast<int16_t>((i - 32) * 800));
    s.loop = xm::Loop::Forward;
    s.loopLength = 64;
    inst.samples.push_back(s);
    inst.volume.points = {{0, 64}, {20, 32}, {40, 0}};
    inst.volume.sustain = 1;
    m.instruments.push_back(inst);
    Bytes bytes;
    std::string error;
    if (!xm::Write(m, &bytes, &error)) std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
    return bytes;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fs::path dir = argv[1];
    Put(dir / "object", "quad.3do", mkdata::Write3do(Quad()));
    mkdata::ObjectData empty = Quad();
    empty.faces.clear();
    Put(dir / "object", "nofaces.3do", mkdata::Write3do(empty));
    Put(dir / "pcx", "small.pcx", Pcx(40, 6));
    Put(dir / "pcx", "font.pcx", Pcx(1500, 2));
    Put(dir / "jpeg", "rgb.jpg", Jpeg(16, 8, false));
    Put(dir / "jpeg", "grey.jpg", Jpeg(8, 8, true));
    Put(dir / "module", "tiny.xm", Module());
    Put(dir / "heap", "ops.bin", Bytes{0, 10, 0, 1, 3, 0, 0, 20, 0, 2, 0, 4, 9, 0, 5, 1, 7, 0, 3, 1});
    return 0;
}
