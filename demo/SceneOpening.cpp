// Opening: five text panels. The first text rests until the first sync entry;
// then the panel flies away on ticks, comes back with the next text and rests
// until the next entry, five texts in all.
#include <iterator>

#include "demo/Demo.h"
#include "demo/Panel.h"
#include "demo/SceneTicks.h"

namespace demo {

Object3D* panelObject = nullptr;
TextureHandle panelTexture = kNoTexture;

namespace opening {

uint32_t textIndex = 0;
std::atomic<int32_t> panelDepth{58};
std::atomic<uint32_t> receding{1};
std::atomic<uint32_t> arrived{0};
std::atomic<uint32_t> swap{0};

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr uint32_t kTextCount = 5;
constexpr const char* kTexts[kTextCount] = {
    "data\\textos1.jpg", "data\\textos2.jpg", "data\\textos3.jpg",
    "data\\textos4.jpg", "data\\textos5.jpg",
};
constexpr int32_t kRestDepth = 8;
constexpr int32_t kFarDepth = 1000;
constexpr int32_t kDepthStep = 50;

void DrawPanel(int32_t depth) {
    engine->SetObjectPosition(panelObject, 0, 0, depth);
    engine->SetObjectAngles(panelObject, 0, 384, 0);
    engine->DrawObject(panelObject);
}

// Reached when the music is at or past the entry. There are as many rests as
// entries; past the table's end there is nothing left to wait for.
bool SyncReached() {
    if (syncCounter >= std::size(kSyncTable)) return true;
    return lastMusicPosition >= kSyncTable[syncCounter];
}

// Waits, drawing nothing, until the music reaches the next sync entry or
// Escape. Either way the entry counts as used.
void WaitForSync() {
    lastMusicPosition = 0;
    while (!SyncReached()) {
        if (engine->ProcessMessages() == 2) break;
        lastMusicPosition = MusicPosition();
    }
    ++syncCounter;
}

void NextText() {
    if (textIndex + 1 > kTextCount) {
        sceneEnd = 1;
        return;
    }
    engine->ReleaseTexture(panelTexture);
    panelTexture = engine->LoadTexture(kTexts[textIndex]);
    ++textIndex;
    swap.store(0, kRelaxed);
    receding.store(0, kRelaxed);
    engine->SetMaterialTexture(panelObject, 0, panelTexture, 0);
}

void Load() {
    panelObject = engine->LoadObject("data\\panel.3do");
    panelTexture = engine->LoadTexture(kTexts[textIndex]);
    textIndex = 1;
    engine->SetMaterialTexture(panelObject, 0, panelTexture, 0);
}

void Run() {
    // The first rest, before any tick.
    lastMusicPosition = 0;
    while (!SyncReached()) {
        if (engine->ProcessMessages() == 2) break;
        DrawPanel(kRestDepth);
        if (engine->ProcessMessages() == 1) engine->ShowFrame();
        lastMusicPosition = MusicPosition();
    }
    ++syncCounter;

    sceneEnd = 0;
    engine->StartTicker(Tick);
    for (;;) {
        if (engine->ProcessMessages() == 2 || sceneEnd == 1) break;
        DrawPanel(panelDepth.load(kRelaxed));
        if (swap.load(kRelaxed) == 1) NextText();
        if (engine->ProcessMessages() == 1) engine->ShowFrame();
        if (arrived.load(kRelaxed) != 0) {
            engine->ToggleTicker();
            DrawPanel(kRestDepth);
            if (engine->ProcessMessages() == 1) engine->ShowFrame();
            WaitForSync();
            engine->ToggleTicker();
            arrived.store(0, kRelaxed);
        }
        engine->CountFrame();
        engine->DebugFlush();
        lastMusicPosition = MusicPosition();
        if (lastMusicPosition > kOpeningEnd) sceneEnd = 1;
    }
    engine->StopTicker();
}

void Free() {
    engine->FreeObject(panelObject);
    engine->ReleaseTexture(panelTexture);
}

}  // namespace

void Tick() {
    int32_t depth = panelDepth.load(kRelaxed);
    depth += receding.load(kRelaxed) == 0 ? -kDepthStep : kDepthStep;
    if (depth <= kRestDepth) {
        arrived.store(1, kRelaxed);
        depth = kRestDepth;
        receding.store(1, kRelaxed);
    } else if (depth >= kFarDepth && receding.load(kRelaxed) == 1) {
        swap.store(1, kRelaxed);
        depth = kFarDepth;
    }
    panelDepth.store(depth, kRelaxed);
}

}  // namespace opening

const Scene kOpening = {"opening", opening::Load, opening::Run, opening::Free};

}  // namespace demo
