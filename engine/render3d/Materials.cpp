// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::SetObjectAngles(Object3D* /*object*/, int32_t /*a*/, int32_t /*b*/, int32_t /*c*/) {}
void Engine::SetObjectPosition(Object3D* /*object*/, int32_t /*x*/, int32_t /*y*/, int32_t /*z*/) {}
void Engine::SetMaterialColor(Object3D* /*object*/, int32_t /*index*/, uint32_t /*colourA*/, uint32_t /*colourB*/, uint32_t /*colourC*/, int32_t /*additive*/) {}
void Engine::SetMaterialTexture(Object3D* /*object*/, int32_t /*index*/, TextureHandle /*texture*/, int32_t /*additive*/) {}
void Engine::ScrollTexture(Object3D* /*object*/, float /*du*/, float /*dv*/) {}
void Engine::CopyVertices(Object3D* /*source*/, Object3D* /*destination*/) {}
Vertex* Engine::GetVertices(Object3D* /*object*/) { return nullptr; }
int32_t Engine::GetVertexCount(Object3D* /*object*/) { return 0; }
