// Placeholder.
#include "tools/mkdata/music/Music.h"

namespace mkdata {
bool GenerateMusic(const std::string&) { return true; }
}  // namespace mkdata
