// Composes the demo's music and writes it as an XM module.
#pragma once

#include <string>

#include "tools/mkdata/music/Xm.h"

namespace mkdata {

// The piece as a module; the same on every call.
xm::Module ComposeMusic();

// Writes dataDir/Pavonel2.xm. False (with a message on stderr) on failure.
bool GenerateMusic(const std::string& dataDir);

}  // namespace mkdata
