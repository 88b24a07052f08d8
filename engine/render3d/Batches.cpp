// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

int32_t Engine::Init3D(int32_t /*enableColoured*/, int32_t /*enableTextured*/, int32_t /*maxBatches*/) { return 0; }
void Engine::Done3D() {}
void Engine::AddTriangle(const Triangle* /*triangle*/) {}
void Engine::FlushTriangles() {}
