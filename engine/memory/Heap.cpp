// The engine heap: first fit over an address-ordered free list kept inside the
// free blocks, immediate merging on free, mark and release, and the 8-byte
// block copy and fill. Layout and invariants: engine/memory/Heap.h.
#include "engine/memory/Heap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/Engine.h"
#include "engine/memory/HeapRef.h"
#include "platform/os/MessageBox.h"

namespace heap {
namespace {

struct {
    uint32_t size = 0;  // asked size + 8; 0 = not initialised
    void* reservation = nullptr;
    uint8_t* base = nullptr;
    uint8_t* end = nullptr;
    uint8_t* top = nullptr;
    uint8_t* head = nullptr;
    bool released = false;  // MemDone gave the memory back
} state;

constexpr uint32_t kTagged = 1;  // word 0 bit 0: the block has a size word

void Report(const char* text) { os::ShowMessageBox(text, kCaption); }

// Addresses are compared as integers; a pointer is only ever formed from one
// that lies inside the heap.
inline uintptr_t Addr(const void* p) { return reinterpret_cast<uintptr_t>(p); }
inline uint8_t* Ptr(uintptr_t a) { return state.base + (a - Addr(state.base)); }
inline uint32_t RefOf(uintptr_t a) { return static_cast<uint32_t>(a - Addr(state.base)); }

inline uint32_t LoadWord(uintptr_t a) {
    uint32_t w;
    std::memcpy(&w, Ptr(a), 4);
    return w;
}
inline void StoreWord(uintptr_t a, uint32_t w) { std::memcpy(Ptr(a), &w, 4); }

// A link is head (word == 0) or word 0 of the free block before the current
// one. Setting it changes only the address part: bit 0 keeps describing the
// block that holds the word.
struct Link {
    uintptr_t word = 0;
};

void SetLink(Link link, uintptr_t target) {
    if (link.word == 0) {
        state.head = Ptr(target);
        return;
    }
    StoreWord(link.word, (LoadWord(link.word) & kTagged) | RefOf(target));
}

// Writes a free block of the format its size calls for.
void WriteFreeBlock(uintptr_t at, uintptr_t size, uintptr_t next) {
    if (size == 4) {
        StoreWord(at, RefOf(next));
    } else {
        StoreWord(at, RefOf(next) | kTagged);
        StoreWord(at + 4, static_cast<uint32_t>(size));
    }
}

struct Block {
    uintptr_t size;
    uintptr_t next;
};

// Reads the free block at `at` (a multiple of 4, at least base) and checks
// that it lies below top (and end, should top be corrupt) and links upwards without overlap.
// False when the structure is broken.
bool ReadBlock(uintptr_t at, Block& out) {
    const uintptr_t top = std::min(Addr(state.top), Addr(state.end));
    if (at + 4 > top) return false;
    const uint32_t w0 = LoadWord(at);
    uintptr_t size = 4;
    if (w0 & kTagged) {
        if (at + 8 > top) return false;
        const uint32_t w1 = LoadWord(at + 4);
        if ((w1 & 3) != 0 || w1 < 8) return false;
        size = w1;
    }
    out.size = size;
    out.next = Addr(state.base) + (w0 & ~kTagged);
    return at + size <= top && out.next >= at + size && out.next <= top;
}

bool Usable() { return state.size != 0 && !state.released; }

}  // namespace

uint8_t* Base() { return state.base; }

void Init(uint32_t size) {
    if (state.size != 0) {
        Report("Sorry I can't init heap two times");
        return;
    }
    // size + 8 must stay a 32-bit size; beyond that no reservation is made.
    void* memory = size <= 0xFFFFFFFFu - 8 ? std::calloc(size_t{size} + 8, 1) : nullptr;
    if (memory == nullptr || (Addr(memory) & 15) != 0) {
        std::free(memory);
        Report("Sorry I can't alloc Heap!");
        return;
    }
    state.reservation = memory;
    state.base = static_cast<uint8_t*>(memory);
    state.top = state.base;
    state.head = state.base;
    state.size = size + 8;
    state.end = state.base + state.size;
}

void Done() {
    if (!Usable()) {
        Report("You needs to free a heap?");
        return;
    }
    std::free(state.reservation);
    state.released = true;
}

void* Alloc(uint32_t size) {
    if (!Usable()) {
        Report("Heap not initialized");
        return nullptr;
    }
    const uintptr_t base = Addr(state.base), end = Addr(state.end), top = Addr(state.top);
    if (top < base) Report("Memory assertion error, Heap corrupted");
    if (top > end) Report("Memory assertion error, Heap corrupted");
    if (size == 0) return nullptr;
    if (size > 0xFFFFFFFCu) {  // rounding up would wrap to a smaller block
        Report("Not enough memory!");
        return nullptr;
    }
    const uintptr_t need = (size + 3u) & ~3u;

    Link link;
    uintptr_t cur = Addr(state.head);
    for (;;) {
        if ((cur & 3) != 0) break;
        if (cur == top) {
            if (top < base) break;
            if (top + need > end) {
                Report("Not enough memory!");
                return nullptr;
            }
            state.top = Ptr(top + need);
            SetLink(link, top + need);
            return Ptr(cur);
        }
        if (cur > top || cur < base || cur >= end) break;
        Block b;
        if (!ReadBlock(cur, b)) break;
        if (b.size < need) {
            if (b.next <= cur) break;
            link.word = cur;
            cur = b.next;
            continue;
        }
        if (b.size == need) {
            SetLink(link, b.next);
            return Ptr(cur);
        }
        if (b.next <= cur) break;
        WriteFreeBlock(cur + need, b.size - need, b.next);
        SetLink(link, cur + need);
        return Ptr(cur);
    }
    Report("Error Assertion Heap corrupted");
    return nullptr;
}

void Free(void* block, uint32_t size) {
    if (!Usable()) {
        Report("Heap not initialized");
        return;
    }
    const uintptr_t base = Addr(state.base), end = Addr(state.end), top = Addr(state.top);
    const uintptr_t p = Addr(block);
    const bool badPointer = (p & 3) != 0 || p < base || p > end;
    if (!badPointer && size == 0) return;
    if (badPointer || p == end || size > 0xFFFFFFFCu) {
        Report("Invalid Pointer to deallocate");
        return;
    }
    const uintptr_t freedEnd = p + ((size + 3u) & ~3u);
    if (freedEnd > end) {  // never allocated, whatever top says
        Report("Invalid Pointer to deallocate");
        return;
    }

    // Nothing is written until the whole change is known to be sound.
    Link link;
    uintptr_t cur = Addr(state.head);
    uintptr_t mergedStart = 0, mergedEnd = 0, mergedNext = 0;
    for (;;) {
        if (cur == top) {
            if (freedEnd > top) break;  // never allocated
            if (freedEnd == top) {
                state.top = Ptr(p);
                SetLink(link, p);
            } else {
                WriteFreeBlock(p, freedEnd - p, top);
                SetLink(link, p);
            }
            return;
        }
        Block b;
        if ((cur & 3) != 0 || cur < base || cur > top || cur >= end || !ReadBlock(cur, b) ||
            b.next <= cur)
            break;
        const uintptr_t blockEnd = cur + b.size;
        if (blockEnd < p) {
            link.word = cur;
            cur = b.next;
            continue;
        }
        if (blockEnd == p) {  // the freed range follows this free block
            if (freedEnd > b.next) break;  // and runs into the next one
            mergedStart = cur;
            mergedEnd = freedEnd;
            mergedNext = b.next;
        } else {
            if (freedEnd > cur) break;  // overlaps this free block
            if (freedEnd < cur) {
                WriteFreeBlock(p, freedEnd - p, cur);
                SetLink(link, p);
                return;
            }
            mergedStart = p;
            mergedEnd = blockEnd;
            mergedNext = b.next;
        }

        if (mergedEnd == top) {
            state.top = Ptr(mergedStart);
            SetLink(link, mergedStart);
            return;
        }
        if (mergedNext == mergedEnd) {
            Block n;
            if (!ReadBlock(mergedNext, n) || n.next <= mergedNext) break;
            mergedEnd = mergedNext + n.size;
            mergedNext = n.next;
        }
        WriteFreeBlock(mergedStart, mergedEnd - mergedStart, mergedNext);
        SetLink(link, mergedStart);
        return;
    }
    Report("Invalid Pointer to deallocate");
}

void* Mark() {
    if (!Usable()) Report("Heap no initialized, what u wants to mark?");
    return state.top;
}

void Release(void* mark) {
    if (!Usable()) {
        Report("Heap no initialized, what u wants to release?");
        if (state.released) return;  // the memory is gone: leave everything
    }
    const uintptr_t m = Addr(mark);
    if ((m & 3) != 0 || m < Addr(state.base) || m > Addr(state.end)) {
        Report("Bad pointer to do relase or heap corrupted");
        return;
    }
    state.top = static_cast<uint8_t*>(mark);
    state.head = static_cast<uint8_t*>(mark);
}

void Copy(const void* source, void* destination, uint32_t count) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* d = static_cast<uint8_t*>(destination);
    // Unit by unit, forwards: each unit is read whole before it is written.
    for (uint32_t n = count >> 3; n != 0; --n, s += 8, d += 8) {
        uint64_t unit;
        std::memcpy(&unit, s, 8);
        std::memcpy(d, &unit, 8);
    }
    for (uint32_t n = count & 7; n != 0; --n) *d++ = *s++;
}

void Fill(void* destination, int32_t value, uint32_t count) {
    uint8_t* d = static_cast<uint8_t*>(destination);
    const uint8_t byte = static_cast<uint8_t>(value);
    const uint64_t pattern = byte * 0x0101010101010101ull;
    for (uint32_t n = count >> 3; n != 0; --n, d += 8) std::memcpy(d, &pattern, 8);
    for (uint32_t n = count & 7; n != 0; --n) *d++ = byte;
}

std::string Check() {
    if (!Usable()) return {};
    const uintptr_t base = Addr(state.base), end = Addr(state.end), top = Addr(state.top);
    if (top < base || top > end) return "top lies outside the heap";
    uintptr_t cur = Addr(state.head);
    uintptr_t previousEnd = 0;
    for (uint32_t steps = 0; cur != top; ++steps) {
        const std::string at = "free block at +" + std::to_string(cur - base) + ": ";
        if (steps > state.size / 4) return "free list does not end at top";
        if ((cur & 3) != 0) return at + "misaligned";
        if (cur < base || cur + 4 > top) return at + "outside base..top";
        if (previousEnd != 0 && cur <= previousEnd)
            return at + (cur == previousEnd ? "touches the block before it"
                                             : "does not follow the block before it");
        const uint32_t w0 = LoadWord(cur);
        uintptr_t size = 4;
        if (w0 & kTagged) {
            if (cur + 8 > top) return at + "size word beyond top";
            const uint32_t w1 = LoadWord(cur + 4);
            if ((w1 & 3) != 0 || w1 < 8) return at + "bad size word " + std::to_string(w1);
            size = w1;
        }
        if (cur + size >= top) return at + "reaches top";
        previousEnd = cur + size;
        cur = base + (w0 & ~kTagged);
    }
    return {};
}

std::vector<FreeBlock> FreeList() {
    std::vector<FreeBlock> blocks;
    if (!Usable()) return blocks;
    const uintptr_t base = Addr(state.base), top = Addr(state.top);
    if (top < base || top > Addr(state.end)) return blocks;
    uintptr_t cur = Addr(state.head);
    while (cur != top && (cur & 3) == 0 && cur >= base && cur < top) {
        Block b;
        if (!ReadBlock(cur, b) || b.next <= cur) break;
        blocks.push_back({RefOf(cur), static_cast<uint32_t>(b.size)});
        cur = b.next;
    }
    return blocks;
}

uint32_t FreeBytes() {
    uint32_t sum = 0;
    for (const FreeBlock& b : FreeList()) sum += b.size;
    return sum;
}

uint32_t Size() { return state.size; }
uint32_t TopRef() { return RefOf(Addr(state.top)); }
uint32_t HeadRef() { return RefOf(Addr(state.head)); }
bool Released() { return state.released; }
void DebugSetTop(uint8_t* top) { state.top = top; }

}  // namespace heap

void Engine::MemInit(uint32_t size) { heap::Init(size); }
void Engine::MemDone() { heap::Done(); }
void* Engine::MemAlloc(uint32_t size) { return heap::Alloc(size); }
void Engine::MemFree(void* block, uint32_t size) { heap::Free(block, size); }
void* Engine::MemMark() { return heap::Mark(); }
void Engine::MemRelease(void* mark) { heap::Release(mark); }
void Engine::MemCopy(const void* source, void* destination, uint32_t count) {
    heap::Copy(source, destination, count);
}
void Engine::MemFill(void* destination, int32_t value, uint32_t count) {
    heap::Fill(destination, value, count);
}
