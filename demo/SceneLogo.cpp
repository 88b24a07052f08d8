// Logo: the maker's logo on the panel, close to the viewer, trembling by zero
// or one unit on x and y every frame.
#include "demo/Demo.h"
#include "demo/Panel.h"

namespace demo {
namespace {

void Load() {
    panelObject = engine->LoadObject("data\\panel.3do");
    panelTexture = engine->LoadTexture("data\\zornalogo.jpg");
    engine->SetMaterialTexture(panelObject, 0, panelTexture, 0);
}

void Run() {
    sceneEnd = 0;
    for (;;) {
        if (engine->ProcessMessages() == 2 || sceneEnd == 1) break;
        const uint32_t r1 = engine->Random();
        const uint32_t r2 = engine->Random();
        engine->SetObjectPosition(panelObject, static_cast<int32_t>(r1 & 1),
                                  static_cast<int32_t>(r2 & 1), 5);
        engine->SetObjectAngles(panelObject, 0, 384, 0);
        engine->DrawObject(panelObject);
        if (engine->ProcessMessages() == 1) engine->ShowFrame();
        lastMusicPosition = MusicPosition();
        if (lastMusicPosition > kLogoEnd) sceneEnd = 1;
    }
}

void Free() {
    engine->FreeObject(panelObject);
    engine->ReleaseTexture(panelTexture);
}

}  // namespace

const Scene kLogo = {"logo", Load, Run, Free};

}  // namespace demo
