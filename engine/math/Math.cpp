// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::BuildSinCosTable() {}
uint32_t Engine::Random() { return 0; }
void Engine::GetSinCos(int32_t /*angle*/, int16_t* /*sineOut*/, int16_t* /*cosineOut*/) {}
void Engine::BuildAngleTables() {}
void Engine::SetTranslation(int32_t /*x*/, int32_t /*y*/, int32_t /*z*/) {}
void Engine::SetAngles(int32_t /*a*/, int32_t /*b*/, int32_t /*c*/) {}
void Engine::BuildRotation() {}
void Engine::TransformPoints(const Vertex* /*source*/, Vertex* /*destination*/, int32_t /*count*/) {}
void Engine::ProjectPoints(const Vertex* /*source*/, void* /*destination*/, int32_t /*count*/) {}
float Engine::GetSine(int32_t /*angle*/) { return 0; }
void Engine::Reserved34(int32_t /*ignored*/) {}
void Engine::Reserved35() {}
