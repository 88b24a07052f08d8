// Drawing and cloning a 5000-face object: a 51 x 51 grid of vertices, two
// triangles per cell. Drawing runs the real transform; the queued triangles go
// to a sink that keeps the last one (the batcher's own cost is measured with
// the batcher).
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/IEngine.h"
#include "engine/memory/HeapRef.h"
#include "engine/render3d/ObjectOps.h"
#include "tests/objects/ForwardingEngine.h"
#include "tools/mkdata/threedo/ThreedoWriter.h"

namespace {

class TriangleSink : public ForwardingEngine {
public:
    using ForwardingEngine::ForwardingEngine;
    Triangle last{};
    uint64_t count = 0;
    void AddTriangle(const Triangle* t) override {
        std::memcpy(&last, t, sizeof last);
        ++count;
    }
};

struct Setup {
    IEngine* engine = CreateEngine();
    Object3D* grid = nullptr;

    Setup() {
        engine->MemInit(4 * 1024 * 1024);
        engine->BuildSinCosTable();
        engine->BuildAngleTables();
        constexpr int kSide = 51;
        mkdata::ObjectData data;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                data.vertices.push_back({float(x * 4 - 100), float(y * 4 - 100), float((x * y) % 7)});
        for (int y = 0; y + 1 < kSide; ++y)
            for (int x = 0; x + 1 < kSide; ++x) {
                const int32_t i = (y * kSide + x) * 12, right = i + 12, down = i + kSide * 12;
                data.faces.push_back({i, right, down + 12, 0, 0, 1, 0, 1, 1, 0});
                data.faces.push_back({i, down + 12, down, 0, 0, 1, 1, 0, 1, 0});
            }
        data.materials.push_back({0, 0, 1, 5, 0, 0, 0, 0});
        data.position[2] = 300;
        data.angles[0] = 40, data.angles[1] = 60, data.angles[2] = 70;
        const std::vector<uint8_t> image = mkdata::Write3do(data);
        // Placed as LoadObject places a file: one block, offsets made references.
        grid = static_cast<Object3D*>(engine->MemAlloc(uint32_t(image.size())));
        std::memcpy(grid, image.data(), image.size());
        const uint32_t base = heap::ToRef(grid);
        grid->vertices += base;
        grid->faces += base;
        grid->materials += base;
    }
};

Setup& World() {
    static Setup setup;
    return setup;
}

void BM_DrawObject5000Faces(benchmark::State& state) {
    Setup& s = World();
    TriangleSink sink(s.engine);
    for (auto _ : state) {
        render3d::DrawObject(&sink, s.grid);
        benchmark::DoNotOptimize(sink.last);
    }
    state.counters["faces"] = double(s.grid->faceCount);
    state.SetItemsProcessed(int64_t(sink.count));
}
BENCHMARK(BM_DrawObject5000Faces)->Unit(benchmark::kMicrosecond);

void BM_CloneAndFree5000Faces(benchmark::State& state) {
    Setup& s = World();
    for (auto _ : state) {
        Object3D* clone = s.engine->CloneObject(s.grid);
        benchmark::DoNotOptimize(clone);
        s.engine->FreeObject(clone);
    }
    state.counters["bytes"] = double(s.grid->totalSize);
}
BENCHMARK(BM_CloneAndFree5000Faces)->Unit(benchmark::kMicrosecond);

}  // namespace
