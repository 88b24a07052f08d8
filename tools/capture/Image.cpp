#include "tools/capture/Image.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace capture {

void ConvertScaled(const uint16_t* pixels, int32_t width, int32_t height, int32_t pitchBytes,
                   int32_t scale, Rgb24Image& out) {
    out.width = width * scale;
    out.height = height * scale;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height * 3);
    const size_t outRow = static_cast<size_t>(out.width) * 3;
    for (int32_t y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const uint16_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * pitchBytes);
        uint8_t* dst = out.pixels.data() + static_cast<size_t>(y) * scale * outRow;
        uint8_t* d = dst;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            Rgb565To888(src[x], rgb);
            for (int32_t k = 0; k < scale; ++k, d += 3) std::memcpy(d, rgb, 3);
        }
        for (int32_t k = 1; k < scale; ++k) std::memcpy(dst + k * outRow, dst, outRow);
    }
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x >> 24));
    v.push_back(static_cast<uint8_t>(x >> 16));
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}

void Chunk(std::vector<uint8_t>& file, const char type[4], const uint8_t* data, size_t size) {
    Put32(file, static_cast<uint32_t>(size));
    const size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data, data + size);
    const uLong crc = crc32(0, file.data() + start, static_cast<uInt>(size + 4));
    Put32(file, static_cast<uint32_t>(crc));
}

uint32_t Get32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint8_t Paeth(uint8_t a, uint8_t b, uint8_t c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

}  // namespace

bool WritePng(const std::string& path, const Rgb24Image& image, std::string& error) {
    const size_t row = static_cast<size_t>(image.width) * 3;
    // Filter "up" on every row but the first: cheap, and it shrinks the flat
    // areas of a demo frame well.
    std::vector<uint8_t> raw((row + 1) * image.height);
    for (int32_t y = 0; y < image.height; ++y) {
        uint8_t* d = raw.data() + y * (row + 1);
        const uint8_t* s = image.pixels.data() + y * row;
        if (y == 0) {
            d[0] = 0;
            std::memcpy(d + 1, s, row);
        } else {
            d[0] = 2;
            for (size_t i = 0; i < row; ++i) d[1 + i] = static_cast<uint8_t>(s[i] - s[i - row]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) !=
        Z_OK) {
        error = "compression failed";
        return false;
    }
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(image.width));
    Put32(header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, adaptive, no interlace
    Chunk(file, "IHDR", header.data(), header.size());
    Chunk(file, "IDAT", packed.data(), packedSize);
    Chunk(file, "IEND", nullptr, 0);
    File f(std::fopen(path.c_str(), "wb"));
    if (!f || std::fwrite(file.data(), 1, file.size(), f.get()) != file.size() ||
        std::fflush(f.get()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, Rgb24Image& image, std::string& error) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> file;
    uint8_t buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f.get())) > 0;)
        file.insert(file.end(), buf, buf + n);
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) {
        error = path + " is not a PNG file";
        return false;
    }
    uint32_t width = 0, height = 0, channels = 0;
    std::vector<uint8_t> packed;
    for (size_t pos = 8; pos + 12 <= file.size();) {
        const uint32_t size = Get32(&file[pos]);
        if (size > file.size() - pos - 12) break;
        const uint8_t* type = &file[pos + 4];
        const uint8_t* data = &file[pos + 8];
        if (std::memcmp(type, "IHDR", 4) == 0 && size >= 13) {
            width = Get32(data);
            height = Get32(data + 4);
            if (data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[12] != 0) {
                error = path + ": only 8-bit RGB or RGBA, not interlaced, is read";
                return false;
            }
            channels = data[9] == 2 ? 3 : 4;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.insert(packed.end(), data, data + size);
        }
        pos += 12 + size;
    }
    if (channels == 0 || width == 0 || height == 0 || width > 16384 || height > 16384) {
        error = path + ": no usable header";
        return false;
    }
    const size_t stride = width * channels;
    std::vector<uint8_t> raw((stride + 1) * height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
        rawSize != raw.size()) {
        error = path + ": damaged image data";
        return false;
    }
    std::vector<uint8_t> cur(stride), prev(stride, 0);
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.pixels.resize(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = &raw[y * (stride + 1)];
        const uint8_t filter = s[0];
        for (size_t i = 0; i < stride; ++i) {
            const uint8_t a = i >= channels ? cur[i - channels] : 0;
            const uint8_t b = prev[i];
            const uint8_t c = i >= channels ? prev[i - channels] : 0;
            uint8_t x = s[1 + i];
            switch (filter) {
                case 0: break;
                case 1: x = static_cast<uint8_t>(x + a); break;
                case 2: x = static_cast<uint8_t>(x + b); break;
                case 3: x = static_cast<uint8_t>(x + (a + b) / 2); break;
                case 4: x = static_cast<uint8_t>(x + Paeth(a, b, c)); break;
                default: error = path + ": bad row filter"; return false;
            }
            cur[i] = x;
        }
        for (uint32_t x = 0; x < width; ++x)
            std::memcpy(&image.pixels[(size_t{y} * width + x) * 3], &cur[x * channels], 3);
        std::swap(cur, prev);
    }
    return true;
}

}  // namespace capture
