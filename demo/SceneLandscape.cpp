// Landscape: two copies of one textured mesh, 300 units apart, sharing a
// scrolling texture, turning and swinging by fixed steps per frame.
#include "demo/Demo.h"
#include "demo/SceneTicks.h"

namespace demo {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

struct {
    Object3D* upper = nullptr;
    Object3D* lower = nullptr;
    TextureHandle texture = kNoTexture;
} land;

void Load() {
    land.upper = engine->LoadObject("data\\land01.3do");
    land.lower = engine->LoadObject("data\\land01.3do");
    land.texture = engine->LoadTexture("data\\landtext.jpg");
    engine->SetMaterialTexture(land.upper, 0, land.texture, 0);
    engine->SetMaterialTexture(land.lower, 0, land.texture, 0);
}

// Continues from the shared angles as it finds them.
void Run() {
    sceneEnd = 0;
    for (;;) {
        if (engine->ProcessMessages() == 2 || sceneEnd == 1) break;
        const int32_t a = angleA.load(kRelaxed);
        const int32_t b = angleB.load(kRelaxed);
        engine->SetObjectPosition(land.upper, 0, 150, 50);
        engine->SetObjectAngles(land.upper, a, b, 0);
        engine->SetObjectPosition(land.lower, 0, -150, 50);
        engine->SetObjectAngles(land.lower, a, b, 0);
        engine->ScrollTexture(land.upper, 0.1f, 0.1f);
        engine->ScrollTexture(land.lower, 0.1f, 0.1f);
        engine->DrawObject(land.upper);
        engine->DrawObject(land.lower);
        if (engine->ProcessMessages() == 1) engine->ShowFrame();
        const float swing = engine->GetSine(angleC.load(kRelaxed)) * 50.0f;
        angleA.store(RoundToInt(swing), kRelaxed);
        angleC.store(angleC.load(kRelaxed) + 2, kRelaxed);
        angleB.store(b + 2, kRelaxed);
        engine->CountFrame();
        engine->DebugFlush();
        lastMusicPosition = MusicPosition();
        if (lastMusicPosition > kLandscapeEnd) sceneEnd = 1;
    }
}

void Free() {
    engine->FreeObject(land.upper);
    engine->FreeObject(land.lower);
    engine->ReleaseTexture(land.texture);
}

}  // namespace

const Scene kLandscape = {"landscape", Load, Run, Free};

}  // namespace demo
