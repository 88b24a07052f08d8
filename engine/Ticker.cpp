// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::StartTicker(TickCallback /*callback*/) {}
void Engine::StopTicker() {}
void Engine::ToggleTicker() {}
