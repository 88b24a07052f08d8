#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/IEngine.h"
#include "engine/memory/Heap.h"
#include "engine/memory/HeapRef.h"
#include "platform/os/MessageBox.h"

namespace {

using Blocks = std::vector<std::pair<uint32_t, uint32_t>>;  // (offset, size)

Blocks FreeList() {
    Blocks out;
    for (const heap::FreeBlock& b : heap::FreeList()) out.emplace_back(b.ref, b.size);
    return out;
}

uint32_t Word(uint32_t ref) {
    uint32_t w;
    std::memcpy(&w, heap::Base() + ref, 4);
    return w;
}

void SetWord(uint32_t ref, uint32_t w) { std::memcpy(heap::Base() + ref, &w, 4); }

// An address outside any object, formed without pointer arithmetic.
void* Shifted(const void* p, int64_t by) {
    return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(p) + by);
}

class Heap : public ::testing::Test {
protected:
    static constexpr uint32_t kAsked = 4096 - 8;  // heap size 4096

    void SetUp() override {
        os::SetMessageBoxHook([this](const char* text, const char* caption) {
            messages.emplace_back(text);
            EXPECT_STREQ(caption, "Tessary MEM");
        });
        engine = CreateEngine();
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override {
        os::SetMessageBoxHook(nullptr);
        if (heap::Size() != 0 && !heap::Released()) engine->MemDone();
        DestroyEngine(engine);
    }

    void Init(uint32_t asked = kAsked) {
        engine->MemInit(asked);
        ASSERT_NE(heap::Base(), nullptr);
        ASSERT_TRUE(messages.empty());
    }
    uint32_t Off(const void* p) const { return heap::ToRef(p); }
    uint8_t* At(uint32_t ref) const { return heap::Base() + ref; }

    // Allocates blocks of the given sizes one after another from a fresh heap.
    std::vector<uint8_t*> AllocAll(const std::vector<uint32_t>& sizes) {
        std::vector<uint8_t*> blocks;
        for (uint32_t s : sizes) blocks.push_back(static_cast<uint8_t*>(engine->MemAlloc(s)));
        return blocks;
    }

    std::vector<std::string> TakeMessages() { return std::exchange(messages, {}); }

    IEngine* engine = nullptr;
    std::vector<std::string> messages;
};

TEST_F(Heap, InitReservesAskedSizePlusEightAndStartsEmpty) {
    Init(1000);
    EXPECT_EQ(heap::Size(), 1008u);
    EXPECT_EQ(heap::TopRef(), 0u);
    EXPECT_EQ(heap::HeadRef(), 0u);
    EXPECT_EQ(engine->MemMark(), heap::Base());
    // All size + 8 bytes are usable.
    EXPECT_EQ(Off(engine->MemAlloc(1008)), 0u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Heap, SuccessiveAllocationsAreAdjacentAndRoundedToFour) {
    Init();
    struct Case {
        uint32_t size;
        uint32_t offset;
    };
    const Case cases[] = {{10, 0}, {1, 12}, {4, 16}, {7, 20}, {8, 28}, {13, 36}, {3, 52}};
    for (const Case& c : cases) {
        void* p = engine->MemAlloc(c.size);
        EXPECT_EQ(Off(p), c.offset) << "size " << c.size;
        EXPECT_EQ(heap::TopRef(), c.offset + ((c.size + 3) & ~3u)) << "size " << c.size;
    }
    EXPECT_EQ(engine->MemAlloc(0), nullptr);
    EXPECT_EQ(heap::TopRef(), 56u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(heap::Check(), "");
}

TEST_F(Heap, SplittingLeavesSizedThenFourByteRemainderThenExactFit) {
    Init();
    auto b = AllocAll({20, 4});  // the 4-byte block keeps the hole off top
    engine->MemFree(b[0], 20);
    ASSERT_EQ(FreeList(), (Blocks{{0, 20}}));

    EXPECT_EQ(Off(engine->MemAlloc(8)), 0u);
    EXPECT_EQ(FreeList(), (Blocks{{8, 12}}));
    EXPECT_EQ(Word(8), 24u | 1u);  // next = top, tagged
    EXPECT_EQ(Word(12), 12u);      // size word

    EXPECT_EQ(Off(engine->MemAlloc(8)), 8u);
    EXPECT_EQ(FreeList(), (Blocks{{16, 4}}));
    EXPECT_EQ(Word(16), 24u);  // 4-byte block: next only, bit 0 clear
    EXPECT_EQ(heap::HeadRef(), 16u);

    EXPECT_EQ(Off(engine->MemAlloc(4)), 16u);
    EXPECT_TRUE(FreeList().empty());
    EXPECT_EQ(heap::HeadRef(), 24u);
    EXPECT_EQ(heap::TopRef(), 24u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Heap, FirstFitTakesTheLowestBlockThatIsLargeEnough) {
    Init();
    auto b = AllocAll({8, 4, 16, 4, 12, 4});
    engine->MemFree(b[0], 8);   // hole 0..8
    engine->MemFree(b[2], 16);  // hole 12..28
    engine->MemFree(b[4], 12);  // hole 32..44
    EXPECT_EQ(Off(engine->MemAlloc(12)), 12u);  // not the exact 12 at 32
    EXPECT_EQ(FreeList(), (Blocks{{0, 8}, {24, 4}, {32, 12}}));
    // Larger than every hole although they add up to more: served at top.
    EXPECT_EQ(Off(engine->MemAlloc(20)), 48u);
    EXPECT_EQ(heap::TopRef(), 68u);
    EXPECT_EQ(heap::Check(), "");
}

// Blocks 0..5 of 16 bytes each at offsets 0, 16, ..., 80; top at 96.
struct MergeCase {
    const char* name;
    std::vector<int> frees;  // block indexes in order
    Blocks list;             // free list afterwards
    uint32_t top;
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class HeapMerge : public Heap, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(HeapMerge, FreeingMergesNeighbours) {
    Init();
    auto b = AllocAll({16, 16, 16, 16, 16, 16});
    for (int i : GetParam().frees) {
        engine->MemFree(b[i], 16);
        ASSERT_EQ(heap::Check(), "") << "after freeing block " << i;
    }
    EXPECT_EQ(FreeList(), GetParam().list);
    EXPECT_EQ(heap::TopRef(), GetParam().top);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeapMerge,
    ::testing::Values(
        MergeCase{"Isolated", {1, 3}, {{16, 16}, {48, 16}}, 96},
        MergeCase{"EndsWhereFreeBlockStarts", {2, 1}, {{16, 32}}, 96},
        MergeCase{"StartsWhereFreeBlockEnds", {1, 2}, {{16, 32}}, 96},
        MergeCase{"ClosesGapBetweenTwo", {1, 3, 2}, {{16, 48}}, 96},
        MergeCase{"FirstBlockBeforeHead", {2, 0}, {{0, 16}, {32, 16}}, 96},
        MergeCase{"LastBlockMovesTopDown", {5}, {}, 80},
        MergeCase{"MergedBlockReachesTop", {4, 5}, {}, 64},
        MergeCase{"GapClosedUpToTop", {3, 5, 4}, {}, 48},
        MergeCase{"WholeRunJoined", {1, 3, 2, 0}, {{0, 64}}, 96}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Heap, FreeingEverythingInAnyOrderEmptiesTheHeap) {
    const std::vector<uint32_t> sizes = {4, 12, 8, 20, 4};
    std::vector<int> order = {0, 1, 2, 3, 4};
    Init();
    do {
        auto b = AllocAll(sizes);
        for (int i : order) {
            engine->MemFree(b[i], sizes[i]);
            ASSERT_EQ(heap::Check(), "");
        }
        ASSERT_EQ(heap::TopRef(), 0u) << "order " << order[0] << order[1] << order[2] << order[3]
                                      << order[4];
        ASSERT_EQ(heap::HeadRef(), 0u);
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_TRUE(messages.empty());
}

// Each case leaves the heap as it was, with one message.
TEST_F(Heap, InvalidFreesReportAndChangeNothing) {
    Init();
    auto b = AllocAll({16, 16, 16, 16, 16});
    engine->MemFree(b[1], 16);  // free blocks 16..32 and 48..64, top 80
    engine->MemFree(b[3], 16);
    std::vector<uint8_t> before(heap::Base(), heap::Base() + heap::Size());
    const Blocks list = FreeList();
    ASSERT_EQ(list, (Blocks{{16, 16}, {48, 16}}));
    const uint32_t top = heap::TopRef();
    uint8_t* end = heap::Base() + heap::Size();

    struct Case {
        const char* name;
        void* pointer;
        uint32_t size;
    };
    const Case cases[] = {
        {"freed twice", b[1], 16},
        {"inside a free block", b[1] + 4, 8},
        {"ends inside a free block", b[0] + 8, 16},
        {"runs into the next free block", b[0], 20},
        {"follows a free block, runs into the next", b[2], 20},
        {"misaligned", b[2] + 2, 4},
        {"end with a size", end, 4},
        {"below base", Shifted(heap::Base(), -4), 4},
        {"above end", Shifted(end, 4), 4},
        {"beyond top", b[4] + 16, 4},
        {"reaches beyond top", b[4], 20},
        {"size would wrap", b[2], 0xFFFFFFFDu},
    };
    for (const Case& c : cases) {
        engine->MemFree(c.pointer, c.size);
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Invalid Pointer to deallocate"})
            << c.name;
        EXPECT_EQ(FreeList(), list) << c.name;
        EXPECT_EQ(heap::TopRef(), top) << c.name;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), heap::Base())) << c.name;
    }
    // Size 0 does nothing at all, even for end.
    engine->MemFree(b[2], 0);
    engine->MemFree(end, 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(FreeList(), list);
    EXPECT_EQ(heap::Check(), "");
}

TEST_F(Heap, ExactFitUpToEndThenOutOfMemory) {
    Init();
    engine->MemAlloc(100);
    void* last = engine->MemAlloc(heap::Size() - 100);
    EXPECT_EQ(Off(last), 100u);
    EXPECT_EQ(heap::TopRef(), heap::Size());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(engine->MemAlloc(1), nullptr);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Not enough memory!"});
    EXPECT_EQ(heap::TopRef(), heap::Size());
    // Freeing the last block brings top back from end.
    engine->MemFree(last, heap::Size() - 100);
    EXPECT_EQ(heap::TopRef(), 100u);
    EXPECT_EQ(heap::Check(), "");
}

TEST_F(Heap, HugeRequestsAreRefusedNeverShortened) {
    Init();
    engine->MemAlloc(8);
    for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFFDu, 0xFFFFFFFCu, 4096u}) {
        EXPECT_EQ(engine->MemAlloc(size), nullptr) << size;
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Not enough memory!"}) << size;
        EXPECT_EQ(heap::TopRef(), 8u) << size;
    }
}

TEST_F(Heap, ReleaseCutsBackToMarkAndEmptiesTheList) {
    Init();
    auto b = AllocAll({16, 16, 16, 16});
    engine->MemFree(b[1], 16);
    void* mark = engine->MemMark();
    EXPECT_EQ(Off(mark), 64u);
    void* fromHole = engine->MemAlloc(8);  // out of the hole below the mark
    void* fromTop = engine->MemAlloc(32);
    EXPECT_EQ(Off(fromHole), 16u);
    EXPECT_EQ(Off(fromTop), 64u);
    engine->MemRelease(mark);
    EXPECT_EQ(heap::TopRef(), 64u);
    EXPECT_EQ(heap::HeadRef(), 64u);
    EXPECT_TRUE(FreeList().empty());  // the hole's rest (24..32) is dropped
    EXPECT_EQ(Off(engine->MemAlloc(4)), 64u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(heap::Check(), "");
}

TEST_F(Heap, ReleaseRefusesBadMarks) {
    Init();
    engine->MemAlloc(40);
    uint8_t* base = heap::Base();
    for (void* mark : {Shifted(base, 2), Shifted(base, -4), Shifted(base, heap::Size() + 4)}) {
        engine->MemRelease(mark);
        EXPECT_EQ(TakeMessages(),
                  std::vector<std::string>{"Bad pointer to do relase or heap corrupted"});
        EXPECT_EQ(heap::TopRef(), 40u);
    }
    engine->MemRelease(base + heap::Size());  // end itself is a valid mark
    EXPECT_EQ(heap::TopRef(), heap::Size());
    EXPECT_TRUE(messages.empty());
}

TEST_F(Heap, UninitialisedHeapReportsEveryUse) {
    uint8_t local[16];
    struct Case {
        const char* message;
        void (*call)(IEngine*, uint8_t*);
    };
    const Case cases[] = {
        {"Heap not initialized",
         [](IEngine* e, uint8_t*) { EXPECT_EQ(e->MemAlloc(16), nullptr); }},
        {"Heap not initialized", [](IEngine* e, uint8_t* p) { e->MemFree(p, 16); }},
        {"Heap no initialized, what u wants to mark?",
         [](IEngine* e, uint8_t*) { EXPECT_EQ(e->MemMark(), nullptr); }},
        {"Heap no initialized, what u wants to release?",
         [](IEngine* e, uint8_t*) { e->MemRelease(nullptr); }},
        {"You needs to free a heap?", [](IEngine* e, uint8_t*) { e->MemDone(); }},
    };
    for (const Case& c : cases) {
        c.call(engine, local);
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{c.message});
    }
    // A release with a real mark goes on to the mark test.
    engine->MemRelease(local);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Heap no initialized, what u wants to release?",
                                  "Bad pointer to do relase or heap corrupted"}));
    EXPECT_EQ(heap::Size(), 0u);
}

TEST_F(Heap, SecondInitIsRefused) {
    Init();
    uint8_t* base = heap::Base();
    engine->MemAlloc(12);
    engine->MemInit(1 << 20);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Sorry I can't init heap two times"});
    EXPECT_EQ(heap::Base(), base);
    EXPECT_EQ(heap::Size(), kAsked + 8);
    EXPECT_EQ(heap::TopRef(), 12u);
}

TEST_F(Heap, InitThatCannotReserveLeavesHeapUninitialised) {
    engine->MemInit(0xFFFFFFF8u);  // size + 8 leaves 32 bits
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Sorry I can't alloc Heap!"});
    EXPECT_EQ(heap::Size(), 0u);
    EXPECT_EQ(engine->MemAlloc(4), nullptr);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Heap not initialized"});
}

// After MemDone the memory is gone: every operation must leave it alone (the
// sanitizer build catches any access) and the heap stays initialised.
TEST_F(Heap, OperationsAfterDoneTouchNothing) {
    Init();
    void* kept = engine->MemAlloc(16);
    void* mark = engine->MemMark();
    engine->MemDone();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(engine->MemAlloc(8), nullptr);
    engine->MemFree(kept, 16);
    engine->MemMark();
    engine->MemRelease(mark);
    engine->MemDone();
    engine->MemInit(64);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Heap not initialized", "Heap not initialized",
                                  "Heap no initialized, what u wants to mark?",
                                  "Heap no initialized, what u wants to release?",
                                  "You needs to free a heap?", "Sorry I can't init heap two times"}));
    EXPECT_EQ(heap::Check(), "");
    EXPECT_TRUE(heap::FreeList().empty());
}

TEST_F(Heap, TopOutsideTheHeapIsReportedAndAllocationGoesOn) {
    Init();
    auto b = AllocAll({16, 8});
    engine->MemFree(b[0], 16);  // free block 0..16, top 24
    uint8_t* base = heap::Base();
    heap::DebugSetTop(static_cast<uint8_t*>(Shifted(base, heap::Size() + 4)));
    EXPECT_NE(heap::Check(), "");
    EXPECT_EQ(Off(engine->MemAlloc(8)), 0u);  // served from the free block anyway
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Memory assertion error, Heap corrupted"});

    heap::DebugSetTop(static_cast<uint8_t*>(Shifted(base, -4)));
    EXPECT_EQ(engine->MemAlloc(8), nullptr);  // head (8) now lies above top
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{"Memory assertion error, Heap corrupted",
                                                        "Error Assertion Heap corrupted"}));

    heap::DebugSetTop(base + 24);
    EXPECT_EQ(heap::Check(), "");
    EXPECT_EQ(FreeList(), (Blocks{{8, 8}}));
}

// Head at end with top beyond it: nothing may be read or written past end
// (the sanitizer build checks).
TEST_F(Heap, CorruptTopNeverLeadsPastEnd) {
    Init();
    uint8_t* base = heap::Base();
    uint8_t* end = base + heap::Size();
    engine->MemRelease(end);
    heap::DebugSetTop(static_cast<uint8_t*>(Shifted(end, 8)));
    engine->MemFree(end - 4, 4);
    engine->MemFree(end - 4, 8);  // would run past end
    EXPECT_EQ(engine->MemAlloc(4), nullptr);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Invalid Pointer to deallocate", "Invalid Pointer to deallocate",
                                  "Memory assertion error, Heap corrupted",
                                  "Error Assertion Heap corrupted"}));
    EXPECT_NE(heap::Check(), "");
    EXPECT_TRUE(heap::FreeList().empty());
}

TEST_F(Heap, CorruptFreeListIsReportedAndNothingChanges) {
    struct Case {
        const char* name;
        uint32_t ref;  // word to overwrite (the free block is at 16, 24 bytes)
        uint32_t value;
    };
    const Case cases[] = {
        {"size word not a multiple of 4", 20, 22},
        {"size word below 8", 20, 4},
        {"next points back", 16, 0 | 1},
        {"next misaligned", 16, 50 | 1},
        {"next above top", 16, 4000 | 1},
        {"block runs past top", 20, 400},
    };
    Init();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine->MemRelease(heap::Base());  // start over
        auto b = AllocAll({16, 24, 16});
        engine->MemFree(b[1], 24);
        ASSERT_EQ(FreeList(), (Blocks{{16, 24}}));
        SetWord(c.ref, c.value);
        EXPECT_NE(heap::Check(), "");
        std::vector<uint8_t> before(heap::Base(), heap::Base() + heap::Size());
        EXPECT_EQ(engine->MemAlloc(40), nullptr);
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Error Assertion Heap corrupted"});
        EXPECT_TRUE(std::equal(before.begin(), before.end(), heap::Base()));
        EXPECT_EQ(heap::TopRef(), 56u);
        // A free that has to walk past the broken block refuses too.
        engine->MemFree(b[2], 16);
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Invalid Pointer to deallocate"});
        EXPECT_TRUE(std::equal(before.begin(), before.end(), heap::Base()));
    }
}

TEST_F(Heap, CheckerFindsTouchingFreeBlocks) {
    Init();
    auto b = AllocAll({8, 8, 8, 8});
    engine->MemFree(b[0], 8);
    engine->MemFree(b[2], 8);
    EXPECT_EQ(heap::Check(), "");
    SetWord(4, 16);  // the first block now reaches the second one
    EXPECT_NE(heap::Check().find("touches"), std::string::npos) << heap::Check();
}

TEST(MemCopyFill, TouchExactlyCountBytes) {
    IEngine* engine = CreateEngine();
    for (uint32_t count : {0u, 1u, 7u, 8u, 9u, 4096u}) {
        for (uint32_t misalign : {0u, 3u}) {
            SCOPED_TRACE("count " + std::to_string(count) + " offset " + std::to_string(misalign));
            std::vector<uint8_t> source(count + 32), dest(count + 32, 0xEE);
            std::iota(source.begin(), source.end(), uint8_t{1});
            engine->MemCopy(source.data() + misalign, dest.data() + 16 + misalign, count);
            for (uint32_t i = 0; i < dest.size(); ++i) {
                const bool inside = i >= 16 + misalign && i < 16 + misalign + count;
                const uint8_t want = inside ? source[i - 16] : 0xEE;
                ASSERT_EQ(dest[i], want) << "copy, byte " << i;
            }
            std::vector<uint8_t> fill(count + 32, 0xEE);
            engine->MemFill(fill.data() + 16 + misalign, 0x1234A5, count);  // low byte only
            for (uint32_t i = 0; i < fill.size(); ++i) {
                const bool inside = i >= 16 + misalign && i < 16 + misalign + count;
                ASSERT_EQ(fill[i], inside ? 0xA5 : 0xEE) << "fill, byte " << i;
            }
        }
    }
    DestroyEngine(engine);
}

// Long random sequences of allocations, frees, marks and releases against a
// model of which bytes are live; after every step the free list must keep its
// invariants, allocation must be first fit, and no live block may overlap
// another or a free block, nor lose its contents.
TEST_F(Heap, RandomSequencesKeepInvariants) {
    constexpr uint32_t kHeap = 8 * 1024;
    Init(kHeap - 8);
    struct Live {
        uint32_t ref, size, rounded;
        uint8_t tag;
    };
    std::vector<Live> live;
    std::vector<void*> marks;
    uint64_t lost = 0;  // free bytes dropped by releases
    std::mt19937 rng(20240611);
    auto uniform = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    uint32_t tagCounter = 0;
    int allocated = 0, refused = 0, freed = 0, released = 0;

    for (int step = 0; step < 30000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const uint32_t op = uniform(0, 99);
        if (op < 55) {
            uint32_t size = uniform(0, 9) == 0 ? uniform(0, 4000) : uniform(0, 96);
            const uint32_t need = (size + 3) & ~3u;
            // Expected answer: first free block large enough, else top.
            int64_t want = -1;
            for (const heap::FreeBlock& b : heap::FreeList())
                if (b.size >= need) {
                    want = b.ref;
                    break;
                }
            if (want < 0 && heap::TopRef() + need <= kHeap) want = heap::TopRef();
            void* p = engine->MemAlloc(size);
            if (size == 0) {
                ASSERT_EQ(p, nullptr);
                ASSERT_TRUE(messages.empty());
            } else if (want < 0) {
                ASSERT_EQ(p, nullptr);
                ASSERT_EQ(TakeMessages(), std::vector<std::string>{"Not enough memory!"});
                ++refused;
            } else {
                ++allocated;
                ASSERT_EQ(int64_t{Off(p)}, want) << "size " << size;
                const uint8_t tag = static_cast<uint8_t>(1 + tagCounter++ % 255);
                std::memset(p, tag, need);
                live.push_back({Off(p), size, need, tag});
            }
        } else if (op < 95 && !live.empty()) {
            const size_t i = uniform(0, static_cast<uint32_t>(live.size() - 1));
            const Live b = live[i];
            for (uint32_t k = 0; k < b.rounded; ++k)
                ASSERT_EQ(At(b.ref)[k], b.tag) << "block +" << b.ref << " byte " << k;
            engine->MemFree(At(b.ref), b.size);
            ASSERT_TRUE(messages.empty()) << messages[0];
            live.erase(live.begin() + static_cast<ptrdiff_t>(i));
            ++freed;
        } else if (op < 98) {
            marks.push_back(engine->MemMark());
        } else if (!marks.empty()) {
            // Releases leak the holes below the mark; now and then start over
            // from the base so the heap does not fill up with them.
            const size_t i = uniform(0, 9) == 0 ? 0 : uniform(0, static_cast<uint32_t>(marks.size() - 1));
            void* mark = i == 0 ? heap::Base() : marks[i];
            marks.resize(i);
            engine->MemRelease(mark);
            ASSERT_TRUE(messages.empty());
            const uint32_t m = Off(mark);
            std::erase_if(live, [m](const Live& b) { return b.ref + b.rounded > m; });
            uint64_t below = 0;
            for (const Live& b : live) below += b.rounded;
            lost = m - below;
            ++released;
        }

        ASSERT_EQ(heap::Check(), "");
        // Live blocks lie below top and overlap neither each other nor free blocks.
        std::vector<std::pair<uint32_t, uint32_t>> ranges;
        uint64_t liveBytes = 0;
        for (const Live& b : live) {
            ranges.emplace_back(b.ref, b.ref + b.rounded);
            liveBytes += b.rounded;
        }
        const auto list = heap::FreeList();
        for (const heap::FreeBlock& b : list) ranges.emplace_back(b.ref, b.ref + b.size);
        std::sort(ranges.begin(), ranges.end());
        for (size_t k = 1; k < ranges.size(); ++k)
            ASSERT_LE(ranges[k - 1].second, ranges[k].first) << "overlap at +" << ranges[k].first;
        if (!ranges.empty()) {
            ASSERT_LE(ranges.back().second, heap::TopRef());
        }
        // Every byte below top is live, free or dropped by a release.
        ASSERT_EQ(liveBytes + heap::FreeBytes() + lost, heap::TopRef());
    }
    // The sequence must have exercised every path, out of memory included.
    EXPECT_GT(allocated, 5000);
    EXPECT_GT(freed, 5000);
    EXPECT_GT(refused, 10);
    EXPECT_GT(released, 100);
}

}  // namespace
