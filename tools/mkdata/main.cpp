// mkdata DIR: writes every file of data/ into DIR, deterministically.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/mkdata/music/Music.h"
#include "tools/mkdata/visual/Visual.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkdata DATA_DIR\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "mkdata: cannot create %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    if (!mkdata::GenerateVisuals(argv[1])) return 1;
    if (!mkdata::GenerateMusic(argv[1])) return 1;
    return 0;
}
