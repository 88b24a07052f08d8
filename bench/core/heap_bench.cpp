// The heap in the demo's per-frame pattern: a 4 MB heap holding the load
// buffer and the scene's objects; every frame clones an object and takes and
// returns the triangle batch buffers.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/IEngine.h"
#include "engine/memory/Heap.h"

namespace {

constexpr uint32_t kBatchBytes = 300000;
constexpr uint32_t kCloneBytes = 48000;

struct Scene {
    IEngine* engine;
    std::vector<std::pair<void*, uint32_t>> kept;
};

// The heap as a scene leaves it after its load step; `holes` small free
// blocks below the live data make the first-fit walk longer.
Scene Load(int holes) {
    static IEngine* engine = [] {
        IEngine* e = CreateEngine();
        e->MemInit(4 * 1024 * 1024);
        e->AllocLoadBuffer(262144);
        return e;
    }();
    Scene scene{engine, {}};
    engine->MemRelease(heap::Base() + 262144);  // keep the load buffer
    for (uint32_t size : {52000u, 9000u, 31000u, 4400u, 120000u, 76u})
        scene.kept.emplace_back(engine->MemAlloc(size), size);
    std::vector<void*> small;
    for (int i = 0; i < 2 * holes; ++i) small.push_back(engine->MemAlloc(40 + 4 * (i % 7)));
    for (int i = 0; i < 2 * holes; i += 2) engine->MemFree(small[i], 40 + 4 * (i % 7));
    return scene;
}

void BM_HeapFrame(benchmark::State& state) {
    const int batches = static_cast<int>(state.range(0));
    const int holes = static_cast<int>(state.range(1));
    Scene scene = Load(holes);
    IEngine* e = scene.engine;
    void* buffers[8];
    for (auto _ : state) {
        void* clone = e->MemAlloc(kCloneBytes);
        for (int i = 0; i < batches; ++i) buffers[i] = e->MemAlloc(kBatchBytes);
        benchmark::DoNotOptimize(buffers);
        for (int i = 0; i < batches; ++i) e->MemFree(buffers[i], kBatchBytes);
        e->MemFree(clone, kCloneBytes);
    }
    if (!heap::Check().empty() || buffers[batches - 1] == nullptr)
        state.SkipWithError("heap broken");
    state.SetItemsProcessed(state.iterations() * (batches + 1) * 2);  // allocations + frees
}
BENCHMARK(BM_HeapFrame)->Args({4, 0})->Args({4, 100})->Args({8, 100});

void BM_MemCopy(benchmark::State& state) {
    static IEngine* e = CreateEngine();
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> a(n, 1), b(n);
    for (auto _ : state) {
        e->MemCopy(a.data(), b.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{n});
}
BENCHMARK(BM_MemCopy)->Arg(640 * 480 * 2);

void BM_MemFill(benchmark::State& state) {
    static IEngine* e = CreateEngine();
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> a(n);
    for (auto _ : state) {
        e->MemFill(a.data(), 0, n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{n});
}
BENCHMARK(BM_MemFill)->Arg(640 * 480 * 2);

}  // namespace
