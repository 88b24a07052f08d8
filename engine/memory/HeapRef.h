// 32-bit heap references: how an address stored inside a heap-resident record
// (free-list words, Object3D arrays, batch buffers, screen keys) fits in 32 bits
// on a 64-bit machine. A reference is the byte offset from the heap's base.
// Convert here and nowhere else.
#pragma once

#include <cstdint>

namespace heap {

// Base of the engine heap, or null before MemInit.
uint8_t* Base();

inline uint32_t ToRef(const void* p) {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - Base());
}

inline void* FromRef(uint32_t ref) { return Base() + ref; }

template <typename T>
T* FromRef(uint32_t ref) {
    return reinterpret_cast<T*>(Base() + ref);
}

}  // namespace heap
