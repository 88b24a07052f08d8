// The engine heap from inside the engine: the allocation routines that engine
// parts may call directly (screens do), an invariant checker and a few views
// of the heap's state for tests and debug builds.
//
// The heap is one fixed block reserved by MemInit. Blocks carry no header: a
// block is exactly its size raised to a multiple of 4, and whoever frees it
// passes that size back. Free blocks form a list ordered by address that lives
// inside the blocks themselves:
//
//   4-byte free block:   word 0 = ref(next)          (bit 0 clear)
//   8 bytes or more:     word 0 = ref(next) | 1,  word 1 = size in bytes
//
// Words are 32-bit heap references (offsets from the base, see HeapRef.h). The
// list starts at head, rises strictly in address, and its last word 0 (or head
// itself when nothing is free) holds top, where the never-used area
// [top, end) begins. Two free blocks never touch, and no free block reaches
// top: a free that would do either merges instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/memory/HeapRef.h"

namespace heap {

// The operations behind MemInit ... MemFill, with the same messages.
void Init(uint32_t size);
void Done();
void* Alloc(uint32_t size);
void Free(void* block, uint32_t size);
void* Mark();
void Release(void* mark);
void Copy(const void* source, void* destination, uint32_t count);
void Fill(void* destination, int32_t value, uint32_t count);

// Caption of every heap message.
inline constexpr const char* kCaption = "Tessary MEM";

// Checks every invariant above (bounds, alignment, order, size words, no two
// free blocks touching, none reaching top, the list ending at top). Returns
// an empty string when the heap is sound (or not initialised), otherwise what
// is wrong. Reads the heap only; reports nothing.
std::string Check();

struct FreeBlock {
    uint32_t ref;   // offset from the base
    uint32_t size;  // bytes
};

// The free list from head, as far as it can be walked safely.
std::vector<FreeBlock> FreeList();
// Sum of the free list's block sizes (not counting the never-used area).
uint32_t FreeBytes();

// Heap size (asked size + 8; 0 until MemInit), and top and head as offsets.
uint32_t Size();
uint32_t TopRef();
uint32_t HeadRef();
// True once MemDone has returned the memory (the heap stays "initialised").
bool Released();

// Test hook: moves top without any check, to simulate a corrupted heap.
void DebugSetTop(uint8_t* top);

}  // namespace heap
