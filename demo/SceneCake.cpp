// Cake: a tilted cake with its candles swaying about the vertical axis on
// ticks, in front of a large background, until Escape.
#include "demo/Demo.h"
#include "demo/SceneTicks.h"

namespace demo {
namespace cake {

std::atomic<int32_t> swayDirection{0};

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

struct {
    Object3D* cake = nullptr;
    TextureHandle cakeTexture = kNoTexture;
    Object3D* candles = nullptr;
    TextureHandle flameTexture = kNoTexture;
    Object3D* background = nullptr;
    TextureHandle backgroundTexture = kNoTexture;
} scene;

void Load() {
    scene.cake = engine->LoadObject("data\\tarta.3do");
    scene.cakeTexture = engine->LoadTexture("data\\tarta.jpg");
    scene.candles = engine->LoadObject("data\\velas.3do");
    scene.flameTexture = engine->LoadTexture("data\\llama.jpg");
    scene.background = engine->LoadObject("data\\fondo.3do");
    scene.backgroundTexture = engine->LoadTexture("data\\pcr.jpg");

    // Four times the stored size, once, in the loaded object itself.
    Vertex* v = engine->GetVertices(scene.background);
    const int32_t count = engine->GetVertexCount(scene.background);
    for (int32_t i = 0; i < count; ++i) {
        v[i].x *= 4.0f;
        v[i].y *= 4.0f;
        v[i].z *= 4.0f;
    }

    engine->SetMaterialTexture(scene.cake, 0, scene.cakeTexture, 0);
    engine->SetMaterialTexture(scene.candles, 0, scene.flameTexture, 0);
    engine->SetMaterialTexture(scene.background, 0, scene.backgroundTexture, 0);
}

// Follows no music: only Escape ends it.
void Run() {
    swayDirection.store(1, kRelaxed);
    angleA.store(64, kRelaxed);
    angleB.store(384, kRelaxed);
    angleC.store(0, kRelaxed);
    engine->StartTicker(Tick);
    for (;;) {
        if (engine->ProcessMessages() == 2) break;
        const int32_t a = angleA.load(kRelaxed);
        const int32_t b = angleB.load(kRelaxed);
        engine->SetObjectPosition(scene.candles, 0, 0, 20);
        engine->SetObjectAngles(scene.candles, a, b, 0);
        engine->SetObjectPosition(scene.cake, 0, 0, 20);
        engine->SetObjectAngles(scene.cake, a, b, 0);
        engine->SetObjectPosition(scene.background, -7, 10, 200);
        engine->SetObjectAngles(scene.background, 256, 384, 0);
        engine->DrawObject(scene.cake);
        engine->DrawObject(scene.candles);
        engine->DrawObject(scene.background);
        if (engine->ProcessMessages() == 1) engine->ShowFrame();
        engine->CountFrame();
        engine->DebugFlush();
    }
    engine->StopTicker();
}

void Free() {
    engine->FreeObject(scene.cake);
    engine->FreeObject(scene.candles);
    engine->ReleaseTexture(scene.cakeTexture);
    engine->ReleaseTexture(scene.flameTexture);
    engine->FreeObject(scene.background);
    engine->ReleaseTexture(scene.backgroundTexture);
}

}  // namespace

void Tick() {
    const int32_t b = angleB.load(kRelaxed) + swayDirection.load(kRelaxed);
    angleB.store(b, kRelaxed);
    if (static_cast<uint32_t>(b) > 399) swayDirection.store(-1, kRelaxed);
    if (static_cast<uint32_t>(b) < 369) swayDirection.store(1, kRelaxed);
}

}  // namespace cake

const Scene kCake = {"cake", cake::Load, cake::Run, cake::Free};

}  // namespace demo
