// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

void Engine::Initialize(InstanceHandle /*instance*/, int32_t /*showCommand*/) {}
void Engine::CloseDisplay() {}
void Engine::OpenDisplay(int32_t /*width*/, int32_t /*height*/, WindowHandle* /*windowOut*/, int32_t /*windowed*/, int32_t /*doubleSize*/) {}
void Engine::Reserved6() {}
int32_t Engine::ProcessMessages() { return 0; }
void Engine::ShowFrame() {}
int32_t Engine::CreateScreen() { return 0; }
uint16_t* Engine::GetScreen(int32_t /*key*/) { return nullptr; }
void Engine::DestroyScreen(int32_t /*key*/) {}
void Engine::SetScreenFlag(int32_t /*index*/, int32_t /*value*/) {}
int32_t Engine::GetPauseToggle() { return 0; }
int32_t Engine::GetMouseX() { return 0; }
int32_t Engine::GetMouseY() { return 0; }

// Placeholder device state.
#include "engine/DisplayState.h"
namespace display {
namespace {
d3d8::Device* device = nullptr;
int32_t width = 0, height = 0;
}  // namespace
d3d8::Device* CurrentDevice() { return device; }
int32_t Width() { return width; }
int32_t Height() { return height; }
void UseDevice(d3d8::Device* d, int32_t w, int32_t h) {
    device = d;
    width = w;
    height = h;
}
}  // namespace display
