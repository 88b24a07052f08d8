// PCX images: the decoder into buffers of the font's sizes, the palette
// conversion, and the font set-up with the input as the font file.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

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
    static uint8_t pixels[42000];
    static uint8_t palette[768];
    e->LoadPcx(name.c_str(), pixels, palette);
    e->PaletteTo16(palette);

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
