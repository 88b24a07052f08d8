// TransformPoints over object-sized vertex arrays, in points per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/IEngine.h"

namespace {

void BM_TransformPoints(benchmark::State& state) {
    static IEngine* e = [] {
        IEngine* engine = CreateEngine();
        engine->BuildAngleTables();
        return engine;
    }();
    const int32_t n = static_cast<int32_t>(state.range(0));
    std::vector<Vertex> in(n), out(n);
    for (int32_t i = 0; i < n; ++i) in[i] = {i * 0.5f, 100.0f - i, i * 0.25f - 30.0f};
    e->SetTranslation(10, -20, 600);
    e->SetAngles(37, 200, 401);
    e->BuildRotation();
    for (auto _ : state) {
        e->TransformPoints(in.data(), out.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TransformPoints)->Arg(100)->Arg(2000)->Arg(20000);

}  // namespace
