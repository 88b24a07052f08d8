// A fixed heavy frame at 640 x 480 through the engine's batcher: five textured
// layers back to front, each a 29 x 28 grid of quads filling the view at its
// depth with its own 256 x 256 texture, then one additive coloured layer:
// 9744 triangles, six full-screen layers of shaded pixels.
//
//   build/bin/raster_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/DisplayState.h"
#include "engine/IEngine.h"
#include "platform/d3d8/Testing.h"
#include "platform/d3d8/d3d8.h"

namespace {

constexpr int kColumns = 29, kRows = 28;
constexpr double kPixelsPerFrame = 640.0 * 480.0 * 6.0;

struct Scene {
    IEngine* engine = nullptr;
    d3d8::Direct3D* d3d = nullptr;
    d3d8::Device* device = nullptr;
    std::vector<Triangle> triangles;
    std::vector<TextureHandle> textures;

    Scene() {
        engine = CreateEngine();
        engine->MemInit(4 * 1024 * 1024);
        d3d = d3d8::Direct3DCreate8(d3d8::D3D_SDK_VERSION);
        d3d8::D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        p.BackBufferFormat = d3d8::D3DFMT_R5G6B5;
        p.BackBufferCount = 1;
        p.SwapEffect = d3d8::D3DSWAPEFFECT_FLIP;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = d3d8::D3DFMT_D16;
        p.Flags = d3d8::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        d3d->CreateDevice(0, d3d8::D3DDEVTYPE_HAL, nullptr, 0x20, &p, &device);
        display::UseDevice(device, 640, 480);
        engine->Init3D(1, 1, 500);

        std::vector<uint16_t> image(256 * 256);
        for (int layer = 0; layer < 5; ++layer) {
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x)
                    image[y * 256 + x] = uint16_t(((x ^ y) * (layer + 3)) ^ (y << 8) ^ (layer << 13));
            textures.push_back(engine->CreateTextureFromImage(image.data()));
        }
        const float depths[5] = {60, 50, 40, 30, 20};
        for (int layer = 0; layer < 5; ++layer) AddLayer(depths[layer], textures[layer], 1, 0, 0);
        AddLayer(15, 0, 0, 1, 0x004D331A);
    }

    ~Scene() {
        for (TextureHandle t : textures) engine->ReleaseTexture(t);
        engine->Done3D();
        display::UseDevice(nullptr, 0, 0);
        device->Release();
        d3d->Release();
        engine->MemDone();
        DestroyEngine(engine);
    }

    // A grid exactly covering the view at depth z, each quad mapped 0..1,
    // counter-clockwise on screen.
    void AddLayer(float z, TextureHandle texture, int32_t textured, int32_t additive, uint32_t colour) {
        const float hw = (z + 10) / 1.5f, hh = (z + 10) / 2.0f;
        for (int j = 0; j < kRows; ++j)
            for (int i = 0; i < kColumns; ++i) {
                float x0 = -hw + 2 * hw * float(i) / kColumns, x1 = -hw + 2 * hw * float(i + 1) / kColumns;
                float y1 = hh - 2 * hh * float(j) / kRows, y0 = hh - 2 * hh * float(j + 1) / kRows;
                TriangleCorner tl{x0, y1, z, 0, 0}, tr{x1, y1, z, 1, 0}, bl{x0, y0, z, 0, 1},
                    br{x1, y0, z, 1, 1};
                for (int k = 0; k < 2; ++k) {
                    Triangle t{};
                    t.a = k == 0 ? bl : br;
                    t.b = k == 0 ? br : tr;
                    t.c = tl;
                    t.colourA = t.colourB = t.colourC = colour;
                    t.texture = texture;
                    t.additive = additive;
                    t.textured = textured;
                    t.coloured = !textured;
                    triangles.push_back(t);
                }
            }
    }

    void Frame() {
        for (const Triangle& t : triangles) engine->AddTriangle(&t);
        device->BeginScene();
        engine->FlushTriangles();
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);  // no window: only finishes the picture
    }
};

// One scene for every run: the heap is made once per process.
Scene& TheScene() {
    static Scene* scene = new Scene();
    return *scene;
}

void BM_HeavyFrame(benchmark::State& state) {
    d3d8::testing::SetRasterThreads(int(state.range(0)));
    Scene& scene = TheScene();
    for (auto _ : state) scene.Frame();
    state.counters["Mpixels/s"] =
        benchmark::Counter(kPixelsPerFrame * double(state.iterations()) / 1e6,
                           benchmark::Counter::kIsRate);
    state.counters["triangles"] = double(scene.triangles.size());
    d3d8::testing::SetRasterThreads(0);
}
BENCHMARK(BM_HeavyFrame)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
