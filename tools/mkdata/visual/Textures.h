// The demo's textures, drawn from code.
#pragma once

#include <string>
#include <vector>

#include "tools/mkdata/visual/Image.h"

namespace mkdata {

struct NamedTexture {
    std::string file;  // "textos1.jpg"
    Image image;
    bool fullChroma;   // 4:4:4 for lettering, 4:2:0 for the rest
};

// Draws every texture; false if a font is missing.
bool BuildTextures(std::vector<NamedTexture>& out);

constexpr int kJpegQuality = 90;

}  // namespace mkdata
