// Deformed mesh: a sheet swept by a travelling sine wave and a sphere that
// pulses, then ripples, with an additive glowing copy in front of it. The
// wave, the pulse and the drift advance on ticks; the turn once per frame.
#include "demo/Demo.h"
#include "demo/SceneTicks.h"

namespace demo {
namespace mesh {

std::atomic<uint32_t> meshPhase{0};
std::atomic<int32_t> meshStep{0};
std::atomic<uint32_t> spherePhase{0};
std::atomic<int32_t> sphereStep{0};
std::atomic<int32_t> driftX{0};
std::atomic<int32_t> driftY{0};
std::atomic<int32_t> driftPhaseX{0};
std::atomic<int32_t> driftPhaseY{0};

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

struct {
    Object3D* mesh = nullptr;  // loaded shape, never drawn
    Object3D* meshCopy = nullptr;
    TextureHandle meshTexture = kNoTexture;
    Object3D* sphere = nullptr;  // loaded shape, never drawn
    Object3D* sphereCopy = nullptr;
    TextureHandle sphereTexture = kNoTexture;
} scene;

void Load() {
    scene.mesh = engine->LoadObject("data\\malla.3do");
    scene.meshTexture = engine->LoadTexture("data\\deforme.jpg");
    engine->SetMaterialTexture(scene.mesh, 0, scene.meshTexture, 0);
    scene.meshCopy = engine->CloneObject(scene.mesh);
    scene.sphere = engine->LoadObject("data\\sphere03.3do");
    scene.sphereTexture = engine->LoadTexture("data\\deforme2.jpg");
    engine->SetMaterialTexture(scene.sphere, 0, scene.sphereTexture, 0);
    scene.sphereCopy = engine->CloneObject(scene.sphere);
}

// The copy back to the loaded shape, then x = 4 (x + 15 sin p), y and z
// times 4, the phase advancing by the step from vertex to vertex.
void WaveMesh() {
    engine->CopyVertices(scene.mesh, scene.meshCopy);
    Vertex* v = engine->GetVertices(scene.meshCopy);
    const int32_t count = engine->GetVertexCount(scene.mesh);
    uint32_t p = meshPhase.load(kRelaxed);
    const uint32_t step = static_cast<uint32_t>(meshStep.load(kRelaxed));
    for (int32_t i = 0; i < count; ++i) {
        const float s = engine->GetSine(static_cast<int32_t>(p)) * 15.0f;
        v[i].x = (v[i].x + s) * 4.0f;
        v[i].y = v[i].y * 4.0f;
        v[i].z = v[i].z * 4.0f;
        p += step;
    }
}

// Every vertex scaled by 1 + sin q, q lagging by the step along the array.
void PulseSphere() {
    const int32_t count = engine->GetVertexCount(scene.sphere);
    engine->CopyVertices(scene.sphere, scene.sphereCopy);
    Vertex* v = engine->GetVertices(scene.sphereCopy);
    uint32_t q = spherePhase.load(kRelaxed);
    const uint32_t step = static_cast<uint32_t>(sphereStep.load(kRelaxed));
    for (int32_t i = 0; i < count; ++i) {
        const float s = engine->GetSine(static_cast<int32_t>(q)) + 1.0f;
        v[i].x *= s;
        v[i].y *= s;
        v[i].z *= s;
        q += step;
    }
}

void Run() {
    sphereStep.store(0, kRelaxed);
    spherePhase.store(0, kRelaxed);
    meshStep.store(2, kRelaxed);
    meshPhase.store(0, kRelaxed);
    sceneEnd = 0;
    engine->StartTicker(Tick);
    for (;;) {
        if (engine->ProcessMessages() == 2 || sceneEnd == 1) break;
        WaveMesh();
        PulseSphere();

        const int32_t x = driftX.load(kRelaxed);
        const int32_t y = driftY.load(kRelaxed);
        const int32_t a = angleA.load(kRelaxed);
        const int32_t b = angleB.load(kRelaxed);
        const int32_t c = angleC.load(kRelaxed);
        engine->SetObjectPosition(scene.sphereCopy, x, y, 110);
        engine->SetObjectAngles(scene.sphereCopy, a, b, c);
        Object3D* glow = engine->CloneObject(scene.sphereCopy);
        engine->SetMaterialTexture(glow, 0, scene.sphereTexture, 1);
        engine->SetObjectPosition(glow, x, y, 90);
        engine->SetObjectAngles(glow, a, b, c);
        engine->DrawObject(scene.sphereCopy);
        engine->DrawObject(glow);
        engine->FreeObject(glow);

        engine->SetObjectPosition(scene.meshCopy, 0, 0, 135);
        engine->SetObjectAngles(scene.meshCopy, 0, 251, 0);
        engine->DrawObject(scene.meshCopy);

        if (engine->ProcessMessages() == 1) engine->ShowFrame();
        angleA.store(a + 1, kRelaxed);
        angleB.store(b + 2, kRelaxed);
        engine->CountFrame();
        engine->DebugFlush();
        lastMusicPosition = MusicPosition();
        if (lastMusicPosition > kMeshEnd) sceneEnd = 1;
    }
    engine->StopTicker();
}

void Free() {
    engine->FreeObject(scene.mesh);
    engine->ReleaseTexture(scene.meshTexture);
    engine->ReleaseTexture(scene.sphereTexture);
    engine->FreeObject(scene.sphere);
    engine->FreeObject(scene.sphereCopy);
    engine->FreeObject(scene.meshCopy);
}

}  // namespace

void Tick() {
    if (meshPhase.load(kRelaxed) > 512) meshPhase.store(0, kRelaxed);
    meshPhase.store(meshPhase.load(kRelaxed) + 1, kRelaxed);

    if (spherePhase.load(kRelaxed) > 512) {
        sphereStep.store(sphereStep.load(kRelaxed) + 1, kRelaxed);
        spherePhase.store(0, kRelaxed);
    }
    spherePhase.store(spherePhase.load(kRelaxed) + 5, kRelaxed);

    // Truncated toward zero, not rounded.
    const int32_t px = driftPhaseX.load(kRelaxed);
    const int32_t py = driftPhaseY.load(kRelaxed);
    driftX.store(static_cast<int32_t>(static_cast<double>(engine->GetSine(px)) * 55.0), kRelaxed);
    driftY.store(static_cast<int32_t>(static_cast<double>(engine->GetSine(py)) * 35.0), kRelaxed);
    driftPhaseX.store(px + 2, kRelaxed);
    driftPhaseY.store(py + 3, kRelaxed);
}

}  // namespace mesh

const Scene kMesh = {"mesh", mesh::Load, mesh::Run, mesh::Free};

}  // namespace demo
