// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::DrawObject(Object3D* /*object*/) {}
void Engine::DrawObjectPlanar(Object3D* /*object*/, float /*scale*/) {}
