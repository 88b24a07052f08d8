#include "tools/mkdata/visual/Visual.h"

#include <cstdio>

#include "tools/mkdata/visual/Font.h"
#include "tools/mkdata/visual/Objects.h"
#include "tools/mkdata/visual/Textures.h"

namespace mkdata {

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool GenerateVisuals(const std::string& dataDir) {
    const std::string dir = dataDir.empty() || dataDir.back() == '/' ? dataDir : dataDir + "/";
    for (const NamedObject& o : BuildObjects())
        if (!Write3doFile(dir + o.file, o.object)) {
            std::fprintf(stderr, "mkdata: cannot write %s%s\n", dir.c_str(), o.file.c_str());
            return false;
        }
    std::vector<NamedTexture> textures;
    if (!BuildTextures(textures)) return false;
    for (const NamedTexture& t : textures)
        if (!WriteJpeg(dir + t.file, t.image, kJpegQuality, t.fullChroma)) return false;
    const std::vector<uint8_t> indices = FontIndices();
    if (indices.empty()) return false;
    if (!WriteBytes(dir + "font.pcx", EncodePcx(indices, kFontWidth, kFontHeight, FontPalette()))) {
        std::fprintf(stderr, "mkdata: cannot write %sfont.pcx\n", dir.c_str());
        return false;
    }
    return true;
}

}  // namespace mkdata
