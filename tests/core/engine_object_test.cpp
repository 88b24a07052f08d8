#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "engine/IEngine.h"
#include "engine/memory/Heap.h"

namespace {

// On the Itanium C++ ABI (x86-64 GCC and Clang) a pointer to a virtual member
// function holds 1 + the byte offset of its entry in the table of virtuals.
template <typename F>
long SlotOf(F member) {
    static_assert(sizeof(F) == 2 * sizeof(uintptr_t));
    uintptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    if ((words[0] & 1) == 0 || words[1] != 0) return -1;  // not a plain virtual
    return static_cast<long>((words[0] - 1) / sizeof(void*));
}

struct Slot {
    const char* name;
    long slot;
};
#define S(name) Slot{#name, SlotOf(&IEngine::name)}

TEST(EngineInterface, OperationsSitInTheirSlots) {
    const Slot table[] = {
        S(QueryInterface), S(AddRef), S(Release), S(Initialize),  // 0-3
        S(CloseDisplay), S(OpenDisplay), S(Reserved6), S(ProcessMessages),  // 4-7
        S(ShowFrame), S(CreateScreen), S(GetScreen), S(DestroyScreen),  // 8-11
        S(SetScreenFlag), S(GetPauseToggle), S(GetMouseX), S(GetMouseY),  // 12-15
        S(MemInit), S(MemDone), S(MemAlloc), S(MemFree),  // 16-19
        S(MemMark), S(MemRelease), S(MemCopy), S(MemFill),  // 20-23
        S(BuildSinCosTable), S(Random), S(GetSinCos), S(BuildAngleTables),  // 24-27
        S(SetTranslation), S(SetAngles), S(BuildRotation), S(TransformPoints),  // 28-31
        S(ProjectPoints), S(GetSine), S(Reserved34), S(Reserved35),  // 32-35
        S(FileOpen), S(FileClose), S(FileRead), S(FileSize),  // 36-39
        S(Reserved40), S(Reserved41), S(AllocLoadBuffer), S(FreeLoadBuffer),  // 40-43
        S(LoadFile), S(LoadPcx), S(Reserved46), S(Reserved47),  // 44-47
        S(PaletteTo16), S(IndexedTo16), S(InitFont), S(DrawChar),  // 48-51
        S(DrawString), S(DebugOpen), S(DebugClose), S(DebugPrint),  // 52-55
        S(DebugFlush), S(CountFrame), S(Init3D), S(Done3D),  // 56-59
        S(AddTriangle), S(FlushTriangles), S(CreateTextureFromImage), S(ReleaseTexture),  // 60-63
        S(LoadTexture), S(CreateBox), S(DrawObject), S(SetObjectAngles),  // 64-67
        S(SetObjectPosition), S(SetMaterialColor), S(SetMaterialTexture), S(FreeObject),  // 68-71
        S(LoadObject), S(ScrollTexture), S(CloneObject), S(CopyVertices),  // 72-75
        S(GetVertices), S(GetVertexCount), S(DrawObjectPlanar), S(StartTicker),  // 76-79
        S(StopTicker), S(ToggleTicker),  // 80-81
    };
    ASSERT_EQ(std::size(table), 82u);
    for (size_t i = 0; i < std::size(table); ++i)
        EXPECT_EQ(table[i].slot, static_cast<long>(i)) << table[i].name;
}
#undef S

// Anything declared after the 82 operations would take slot 82 or later.
struct Extended : IEngine {
    virtual void Extra() {}
};

TEST(EngineInterface, HasNoFurtherVirtuals) {
    EXPECT_EQ(SlotOf(&Extended::Extra), 82);
    EXPECT_EQ(sizeof(IEngine), sizeof(void*));  // the table pointer, no data
}

TEST(EngineObject, QueryInterfaceAnswersBothIdentifiersWithOnePointer) {
    IEngine* engine = CreateEngine();
    ASSERT_NE(engine, nullptr);
    void* unknown = nullptr;
    void* iengine = nullptr;
    EXPECT_EQ(engine->QueryInterface(&IID_IUnknown, &unknown), kStatusOk);
    EXPECT_EQ(engine->AddRef(), 2);  // the lookup counted once
    EXPECT_EQ(engine->QueryInterface(&IID_IEngine, &iengine), kStatusOk);
    EXPECT_EQ(unknown, engine);
    EXPECT_EQ(iengine, engine);
    EXPECT_EQ(engine->AddRef(), 4);
    DestroyEngine(engine);
}

TEST(EngineObject, QueryInterfaceRefusesOtherIdentifiers) {
    IEngine* engine = CreateEngine();
    Guid zero{};
    Guid nearMiss = IID_IEngine;
    nearMiss.data4[7] ^= 1;
    Guid firstByte = IID_IUnknown;
    firstByte.data1 = 1;
    for (const Guid* iid : {&zero, &nearMiss, &firstByte}) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(engine->QueryInterface(iid, &out), static_cast<Status>(0x80004002u));
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(engine->AddRef(), 1);  // no lookup counted
    DestroyEngine(engine);
}

// The count starts at 0. Reaching 0 again frees the object (the sanitizer
// build's leak check sees if it does not) and nothing else: the heap and its
// blocks are as they were.
TEST(EngineObject, ReleaseToZeroFreesOnlyTheObject) {
    IEngine* engine = CreateEngine();
    EXPECT_EQ(engine->AddRef(), 1);
    EXPECT_EQ(engine->AddRef(), 2);
    EXPECT_EQ(engine->Release(), 1);
    engine->MemInit(1024);
    auto* block = static_cast<uint8_t*>(engine->MemAlloc(16));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x42, 16);
    const uint32_t top = heap::TopRef();

    EXPECT_EQ(engine->Release(), 0);

    EXPECT_EQ(heap::Size(), 1032u);
    EXPECT_EQ(heap::TopRef(), top);
    EXPECT_FALSE(heap::Released());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0x42);
    // Every object shares the module state: a new one sees the same heap.
    IEngine* second = CreateEngine();
    second->MemFree(block, 16);
    EXPECT_EQ(heap::TopRef(), 0u);
    second->MemDone();
    DestroyEngine(second);
}

TEST(EngineObject, CountingIsAtomicAcrossThreads) {
    IEngine* engine = CreateEngine();
    engine->AddRef();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([engine] {
            for (int i = 0; i < 20000; ++i) {
                engine->AddRef();
                engine->Release();
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(engine->AddRef(), 2);
    EXPECT_EQ(engine->Release(), 1);
    EXPECT_EQ(engine->Release(), 0);
}

}  // namespace
