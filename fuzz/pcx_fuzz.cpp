// PCX images: the decoder into buffers of the font's sizes, the palette
// conversion, and the font set-up with the input as the font file.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IEngine* e = fuzz::Engine();
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() /
                 ("tessary-fuzz-pcx-" + std::to_string(getpid()));
        std::filesystem::create_directories(d / "data");
        return d;
    }();
    const std::string& name = fuzz::WriteScratch(data, size);
    // LoadPcx writes bytes-per-line x rows pixels, as the header says: give it
    // that much room, or skip the direct call for headers past 16 M pixels.
    static std::vector<uint8_t> pixels(16u << 20);
    static uint8_t palette[768];
    if (size >= 128) {
        const uint32_t perLine = data[66] | (data[67] << 8);
        const uint32_t rows = (data[10] | (data[11] << 8)) + 1u;
        if (uint64_t{perLine} * rows <= pixels.size()) {
            e->LoadPcx(name.c_str(), pixels.data(), palette);
            e->PaletteTo16(palette);
        }
    }

    // InitFont reads data\font.pcx and keeps its buffers: cut the heap back.
    std::filesystem::copy_file(name, dir / "data" / "font.pcx",
                               std::filesystem::copy_options::overwrite_existing);
    void* mark = e->MemMark();
    const std::filesystem::path back = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    e->InitFont();
    std::filesystem::current_path(back);
    static uint16_t screen[320 * 40];
    e->DrawString("HELLO ]^_`~", screen);
    for (int c = 0; c < 256; ++c) e->DrawChar(c, screen);
    e->MemRelease(mark);
    fuzz::CheckHeap();
    return 0;
}
