// Placeholder.
#include "tools/mkdata/visual/Visual.h"

namespace mkdata {
bool GenerateVisuals(const std::string&) { return true; }
}  // namespace mkdata
