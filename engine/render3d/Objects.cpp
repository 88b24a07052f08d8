// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

Object3D* Engine::CreateBox(float /*halfHeight*/, float /*halfWidth*/, float /*halfDepth*/) { return nullptr; }
void Engine::FreeObject(Object3D* /*object*/) {}
Object3D* Engine::LoadObject(const char* /*name*/) { return nullptr; }
Object3D* Engine::CloneObject(Object3D* /*object*/) { return nullptr; }
