// Placeholder scene.
#include "demo/Demo.h"

namespace demo {
namespace {
void Load() {}
void Run() {}
void Free() {}
}  // namespace
const Scene kCake = {"cake", Load, Run, Free};
}  // namespace demo
