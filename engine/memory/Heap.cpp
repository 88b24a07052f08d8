// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::MemInit(uint32_t /*size*/) {}
void Engine::MemDone() {}
void* Engine::MemAlloc(uint32_t /*size*/) { return nullptr; }
void Engine::MemFree(void* /*block*/, uint32_t /*size*/) {}
void* Engine::MemMark() { return nullptr; }
void Engine::MemRelease(void* /*mark*/) {}
void Engine::MemCopy(const void* /*source*/, void* /*destination*/, uint32_t /*count*/) {}
void Engine::MemFill(void* /*destination*/, int32_t /*value*/, uint32_t /*count*/) {}

#include "engine/memory/HeapRef.h"
namespace heap {
uint8_t* Base() { return nullptr; }
}  // namespace heap
