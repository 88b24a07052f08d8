// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

FileHandle Engine::FileOpen(const char* /*name*/) { return kInvalidFileHandle; }
void Engine::FileClose(FileHandle /*file*/) {}
void Engine::FileRead(FileHandle /*file*/, void* /*destination*/, uint32_t /*count*/) {}
uint32_t Engine::FileSize(FileHandle /*file*/) { return 0; }
void Engine::Reserved40(int32_t /*ignored*/) {}
int32_t Engine::Reserved41() { return 0; }
void Engine::AllocLoadBuffer(uint32_t /*size*/) {}
void Engine::FreeLoadBuffer() {}
void Engine::LoadFile(const char* /*name*/, void* /*destination*/) {}
