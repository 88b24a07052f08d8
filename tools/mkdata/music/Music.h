// Composes the demo's music and writes it as an XM module.
#pragma once

#include <string>

namespace mkdata {
// Writes dataDir/Pavonel2.xm. False (with a message on stderr) on failure.
bool GenerateMusic(const std::string& dataDir);
}  // namespace mkdata
