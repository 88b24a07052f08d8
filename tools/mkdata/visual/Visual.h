// Generates every object, texture and the font of data/.
#pragma once

#include <string>

namespace mkdata {
// False (with a message on stderr) when a file cannot be written.
bool GenerateVisuals(const std::string& dataDir);
}  // namespace mkdata
