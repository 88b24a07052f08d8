// City: creature, ground, two cities, sky and billboard as one rigid group
// that spins on ticks, rocks and moves in depth. Each full turn of the spin
// puts the next credits or greetings picture on the billboard.
#include "demo/Demo.h"
#include "demo/SceneTicks.h"

namespace demo {
namespace city {

uint32_t pictureIndex = 0;
std::atomic<uint32_t> swapRequest{0};

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr uint32_t kLastPicture = 15;
constexpr const char* kPictures[kLastPicture + 1] = {
    "data\\credit01.jpg", "data\\credit02.jpg", "data\\credit03.jpg", "data\\credit04.jpg",
    "data\\credit05.jpg", "data\\credit06.jpg", "data\\greet1.jpg",   "data\\greet2.jpg",
    "data\\greet3.jpg",   "data\\greet4.jpg",   "data\\greet5.jpg",   "data\\greet6.jpg",
    "data\\greet7.jpg",   "data\\greet8.jpg",   "data\\greet9.jpg",   "data\\greet10.jpg",
};

struct {
    Object3D* creature = nullptr;
    Object3D* ground = nullptr;
    Object3D* city1 = nullptr;
    Object3D* city2 = nullptr;
    Object3D* sky = nullptr;
    Object3D* billboard = nullptr;
    TextureHandle skinTexture = kNoTexture;
    TextureHandle buildingTexture = kNoTexture;
    TextureHandle skyTexture = kNoTexture;
    TextureHandle billboardTexture = kNoTexture;
    TextureHandle groundTexture = kNoTexture;
} scene;

void Load() {
    scene.creature = engine->LoadObject("data\\bicho.3do");
    scene.ground = engine->CreateBox(10.0f, 1000.0f, 1000.0f);
    scene.city1 = engine->LoadObject("data\\city01.3do");
    scene.city2 = engine->LoadObject("data\\city02.3do");
    scene.sky = engine->LoadObject("data\\sphere02.3do");
    scene.billboard = engine->LoadObject("data\\cartel.3do");

    scene.skinTexture = engine->LoadTexture("data\\skin.jpg");
    scene.buildingTexture = engine->LoadTexture("data\\build.jpg");
    scene.skyTexture = engine->LoadTexture("data\\cielo.jpg");
    scene.billboardTexture = engine->LoadTexture(kPictures[0]);
    scene.groundTexture = engine->LoadTexture("data\\tierra.jpg");

    engine->SetMaterialTexture(scene.creature, 0, scene.skinTexture, 0);
    engine->SetMaterialTexture(scene.ground, 0, scene.groundTexture, 0);
    engine->SetMaterialTexture(scene.city1, 0, scene.buildingTexture, 0);
    engine->SetMaterialColor(scene.city2, 0, 0x7F7F7F, 0x7F7F7F, 0x7F7F7F, 1);
    engine->SetMaterialTexture(scene.sky, 0, scene.skyTexture, 0);
    engine->SetMaterialTexture(scene.billboard, 0, scene.billboardTexture, 0);
}

// The ticker is held while the texture loads: the spin stands still.
void ChangePicture() {
    engine->ToggleTicker();
    engine->ReleaseTexture(scene.billboardTexture);
    ++pictureIndex;
    scene.billboardTexture = engine->LoadTexture(kPictures[pictureIndex]);
    engine->SetMaterialTexture(scene.billboard, 0, scene.billboardTexture, 0);
    // From the last picture on, every turn loads the last one again.
    if (pictureIndex == kLastPicture) pictureIndex = kLastPicture - 1;
    swapRequest.store(0, kRelaxed);
    engine->ToggleTicker();
}

void Place(Object3D* object, int32_t y, int32_t z, int32_t a, int32_t b) {
    engine->SetObjectPosition(object, 0, y, z);
    engine->SetObjectAngles(object, a, b, 0);
}

void Run() {
    angleC.store(0, kRelaxed);
    angleB.store(0, kRelaxed);
    angleA.store(0, kRelaxed);
    pictureIndex = 0;
    swapRequest.store(0, kRelaxed);
    engine->StartTicker(Tick);
    sceneEnd = 0;
    for (;;) {
        if (engine->ProcessMessages() == 2 || sceneEnd == 1) break;
        if (swapRequest.load(kRelaxed) != 0) ChangePicture();

        const float depth = engine->GetSine(angleC.load(kRelaxed)) * 10.0f;
        const int32_t z = RoundToInt(depth) + 50;
        const int32_t a = angleA.load(kRelaxed);
        const int32_t b = angleB.load(kRelaxed);
        Place(scene.creature, -20, z, a, b);
        Place(scene.billboard, -20, z, a, b);
        Place(scene.ground, -30, z, a, b);
        Place(scene.city1, -20, z, a, b);
        Place(scene.city2, -20, z, a, b);
        Place(scene.sky, -20, z, a, b);

        engine->DrawObject(scene.creature);
        engine->DrawObject(scene.ground);
        engine->DrawObject(scene.city1);
        engine->DrawObject(scene.city2);
        engine->DrawObject(scene.sky);
        engine->DrawObject(scene.billboard);
        if (engine->ProcessMessages() == 1) engine->ShowFrame();

        const float rock = engine->GetSine(angleC.load(kRelaxed)) * 20.0f;
        angleA.store(RoundToInt(rock), kRelaxed);
        engine->CountFrame();
        engine->DebugFlush();
        lastMusicPosition = MusicPosition();
        if (lastMusicPosition > kCityEnd) sceneEnd = 1;
    }
    engine->StopTicker();
}

void Free() {
    engine->FreeObject(scene.creature);
    engine->FreeObject(scene.ground);
    engine->FreeObject(scene.city1);
    engine->FreeObject(scene.city2);
    engine->FreeObject(scene.sky);
    engine->FreeObject(scene.billboard);
    engine->ReleaseTexture(scene.skinTexture);
    engine->ReleaseTexture(scene.buildingTexture);
    engine->ReleaseTexture(scene.skyTexture);
    engine->ReleaseTexture(scene.billboardTexture);
    engine->ReleaseTexture(scene.groundTexture);
}

}  // namespace

void Tick() {
    angleC.store(angleC.load(kRelaxed) + 1, kRelaxed);
    const int32_t b = angleB.load(kRelaxed) + 4;
    if (static_cast<uint32_t>(b) > 512) {
        angleB.store(b & 511, kRelaxed);
        swapRequest.store(1, kRelaxed);
    } else {
        angleB.store(b, kRelaxed);
    }
}

}  // namespace city

const Scene kCity = {"city", city::Load, city::Run, city::Free};

}  // namespace demo
