// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::DebugOpen() {}
void Engine::DebugClose() {}
void Engine::DebugPrint(const char* /*text*/, int32_t /*value*/, int32_t /*radix*/) {}
void Engine::DebugFlush() {}
void Engine::CountFrame() {}
