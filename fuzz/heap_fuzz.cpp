// The heap driven by operation sequences, checked after every step against a
// model of which bytes are allocated: no live block overlaps another or a free
// block, and the free list keeps its invariants.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "engine/memory/Heap.h"
#include "engine/memory/HeapRef.h"
#include "platform/os/MessageBox.h"

namespace {
constexpr uint32_t kHeapSize = 64 * 1024;

struct Reader {
    const uint8_t* p;
    size_t left;
    bool Get(uint32_t* v, int bytes) {
        if (left < static_cast<size_t>(bytes)) return false;
        *v = 0;
        for (int i = 0; i < bytes; ++i) *v |= static_cast<uint32_t>(p[i]) << (8 * i);
        p += bytes;
        left -= static_cast<size_t>(bytes);
        return true;
    }
};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "heap fuzz: %s\n", what);
    std::abort();
}

void CheckAgainstModel(const std::map<uint32_t, uint32_t>& live) {
    if (!heap::Check().empty()) Fail(heap::Check().c_str());
    uint32_t end = 0;
    for (const auto& [ref, size] : live) {
        if (ref < end) Fail("live blocks overlap");
        end = ref + size;
        if (end > heap::TopRef()) Fail("live block beyond top");
    }
    for (const heap::FreeBlock& f : heap::FreeList()) {
        auto next = live.lower_bound(f.ref);
        if (next != live.end() && next->first < f.ref + f.size) Fail("free block overlaps live one");
        if (next != live.begin()) {
            auto prev = std::prev(next);
            if (prev->first + prev->second > f.ref) Fail("live block runs into a free one");
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        os::SetMessageBoxHook([](const char*, const char*) {});
        heap::Init(kHeapSize);
        return true;
    }();
    (void)ready;
    heap::Release(heap::FromRef(0));  // every input starts from an empty heap
    std::map<uint32_t, uint32_t> live;  // ref -> rounded size
    std::vector<uint32_t> order;
    Reader in{data, size};
    uint32_t op = 0;
    while (in.Get(&op, 1)) {
        uint32_t arg = 0;
        switch (op % 6) {
        case 0:
        case 1: {  // allocate
            if (!in.Get(&arg, 2)) return 0;
            const uint32_t want = op % 6 == 1 ? arg * 16 : arg % 97;
            void* p = heap::Alloc(want);
            if (p) {
                const uint32_t ref = heap::ToRef(p);
                const uint32_t rounded = (want + 3) & ~3u;
                live[ref] = rounded;
                order.push_back(ref);
            }
            break;
        }
        case 2:
        case 3: {  // free a live block (by index)
            if (order.empty() || !in.Get(&arg, 1)) break;
            const size_t i = arg % order.size();
            const uint32_t ref = order[i];
            order.erase(order.begin() + static_cast<long>(i));
            heap::Free(heap::FromRef(ref), live[ref]);
            live.erase(ref);
            break;
        }
        case 4: {  // a free the heap must refuse: misaligned, or beyond top
            if (!in.Get(&arg, 2)) return 0;
            const uint32_t before = heap::FreeBytes(), top = heap::TopRef();
            const uint32_t ref = (arg & 1) ? ((arg >> 1) % kHeapSize) | 1u
                                           : top + 4 * ((arg >> 1) % 64);
            heap::Free(heap::FromRef(ref), 4 + (arg >> 12));
            if (heap::FreeBytes() != before || heap::TopRef() != top) Fail("bad free changed the heap");
            break;
        }
        case 5: {  // mark / release
            void* mark = heap::Mark();
            const uint32_t ref = heap::ToRef(mark);
            heap::Release(mark);
            for (auto it = live.begin(); it != live.end();)
                it = it->first >= ref ? live.erase(it) : std::next(it);
            std::erase_if(order, [&](uint32_t r) { return !live.count(r); });
            break;
        }
        }
        CheckAgainstModel(live);
    }
    return 0;
}
