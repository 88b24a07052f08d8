// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::LoadPcx(const char* /*name*/, uint8_t* /*pixels*/, uint8_t* /*palette*/) {}
void Engine::Reserved46() {}
void Engine::Reserved47(int32_t /*ignored1*/, int32_t /*ignored2*/) {}
void Engine::PaletteTo16(uint8_t* /*palette*/) {}
void Engine::IndexedTo16(const uint8_t* /*indices*/, const uint16_t* /*palette*/, uint16_t* /*destination*/, int32_t /*count*/) {}
void Engine::InitFont() {}
void Engine::DrawChar(int32_t /*character*/, uint16_t* /*destination*/) {}
void Engine::DrawString(const char* /*text*/, uint16_t* /*destination*/) {}
