// The texture loader: a JPEG file becomes an X8R8G8B8 texture of the image's
// own size with one level (the device never samples other levels), so texture
// coordinates 0 to 1 span the whole image. Any fault of the file - missing,
// truncated, corrupt, even what the decoder would only warn about - is a
// failure result, never an exit.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "platform/d3d8/Internal.h"

namespace d3d8 {

namespace {

constexpr long kMaxFileBytes = 64L << 20;
constexpr uint32_t kMaxSide = 8192;

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf escape;
};

[[noreturn]] void OnError(j_common_ptr info) {
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void OnMessage(j_common_ptr info, int level) {
    // Warnings (level -1) mean damaged data: treat them as errors.
    if (level < 0) OnError(info);
}

// Everything the decoder touches lives here, so nothing with a destructor
// sits between setjmp and longjmp.
struct Decoder {
    jpeg_decompress_struct info;
    ErrorManager error;
    const unsigned char* data = nullptr;
    unsigned long size = 0;
    unsigned char* rgb = nullptr;  // width * height * 3, malloc'd
    uint32_t width = 0, height = 0;
};

bool Decode(Decoder* d) {
    d->info.err = jpeg_std_error(&d->error.base);
    d->error.base.error_exit = OnError;
    d->error.base.emit_message = OnMessage;
    if (setjmp(d->error.escape)) {
        jpeg_destroy_decompress(&d->info);
        return false;
    }
    jpeg_create_decompress(&d->info);
    jpeg_mem_src(&d->info, d->data, d->size);
    jpeg_read_header(&d->info, TRUE);
    if (d->info.image_width == 0 || d->info.image_height == 0 || d->info.image_width > kMaxSide ||
        d->info.image_height > kMaxSide ||
        (d->info.jpeg_color_space != JCS_GRAYSCALE && d->info.num_components != 3)) {
        jpeg_destroy_decompress(&d->info);
        return false;
    }
    d->info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d->info);
    if (d->info.output_components != 3) {
        jpeg_destroy_decompress(&d->info);
        return false;
    }
    d->width = d->info.output_width;
    d->height = d->info.output_height;
    d->rgb = static_cast<unsigned char*>(std::malloc(size_t{d->width} * d->height * 3));
    if (!d->rgb) {
        jpeg_destroy_decompress(&d->info);
        return false;
    }
    while (d->info.output_scanline < d->info.output_height) {
        JSAMPROW row = d->rgb + size_t{d->info.output_scanline} * d->width * 3;
        jpeg_read_scanlines(&d->info, &row, 1);
    }
    jpeg_finish_decompress(&d->info);
    jpeg_destroy_decompress(&d->info);
    return true;
}

bool ReadFile(const char* name, std::vector<unsigned char>& out) {
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && size <= kMaxFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(size_t(size));
        ok = std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    return ok;
}

}  // namespace

HRESULT D3DXCreateTextureFromFileA(Device* device, const char* fileName, Texture** textureOut) {
    if (!textureOut) return D3DERR_INVALIDCALL;
    *textureOut = nullptr;
    if (!device || !fileName) return D3DERR_INVALIDCALL;
    std::vector<unsigned char> file;
    if (!ReadFile(fileName, file)) return D3DERR_NOTAVAILABLE;

    Decoder* d = new (std::nothrow) Decoder();
    if (!d) return E_OUTOFMEMORY;
    d->data = file.data();
    d->size = static_cast<unsigned long>(file.size());
    bool decoded = Decode(d);
    HRESULT result = decoded ? D3D_OK : D3DERR_INVALIDCALL;
    Texture* texture = nullptr;
    if (decoded) result = CreateTextureObject(d->width, d->height, 1, D3DFMT_X8R8G8B8, &texture);
    if (texture) {
        TextureLevel& level = texture->impl->levels[0];
        for (uint32_t y = 0; y < d->height; ++y) {
            const unsigned char* src = d->rgb + size_t{y} * d->width * 3;
            uint8_t* dst = level.bits.data() + size_t{y} * level.pitch;
            for (uint32_t x = 0; x < d->width; ++x) {
                uint32_t texel = 0xFF000000u | (uint32_t(src[3 * x]) << 16) |
                                 (uint32_t(src[3 * x + 1]) << 8) | src[3 * x + 2];
                std::memcpy(dst + 4 * x, &texel, 4);
            }
        }
        texture->impl->Rebuild565();
        *textureOut = texture;
    }
    std::free(d->rgb);
    delete d;
    return result;
}

}  // namespace d3d8
