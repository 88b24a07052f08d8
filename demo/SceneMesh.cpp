// Placeholder scene.
#include "demo/Demo.h"

namespace demo {
namespace {
void Load() {}
void Run() {}
void Free() {}
}  // namespace
const Scene kMesh = {"mesh", Load, Run, Free};
}  // namespace demo
