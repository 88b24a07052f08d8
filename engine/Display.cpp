// The engine window, its messages, the Direct3D device and frame presentation,
// and the table of software screens.
#include <cstdlib>
#include <cstring>

#include "engine/DisplayState.h"
#include "engine/Engine.h"
#include "engine/memory/HeapRef.h"
#include "platform/d3d8/d3d8.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Window.h"

namespace {

constexpr const char* kClassName = "KVR";
constexpr const char* kTitle = "*ZORNA* WinTessary V2.5+ - KVR Kavreli V2.2(Windowed)";
constexpr const char* kErrorCaption = "KVR Kavreli V2.2 - ERROR";
constexpr const char* kNoWindowText =
    "Can't Open Window. Strange Error!. Do you have more windows opened?        ";
constexpr const char* kNoDirect3DText = "DirectDrawCreateEx FAILED. DirectX 8.0 required";
constexpr const char* kNoDisplayModeText = "GetAdapterDisplayMode FAILED. DirectX 8.0 required";
constexpr const char* kNoDeviceText = "CreateDevice FAILED. DirectX 8.0 required";

constexpr int32_t kWindowX = 130, kWindowY = 100;
constexpr int kScreenSlots = 8;
constexpr int32_t kFreeKey = -1;
constexpr uint32_t kScreenShown = 31;

struct ScreenEntry {
    int32_t key;
    uint16_t* pixels;
    uint32_t flags;
};

struct {
    // Window.
    os::Window* window = nullptr;
    int32_t active = 0;
    int32_t quitRequested = 0;
    int32_t pauseToggle = 0;
    uint32_t mousePosition = 0;

    // Display.
    InstanceHandle instance = nullptr;
    int32_t showCommand = 0;
    int32_t windowed = 0;
    int32_t doubleSize = 0;
    int32_t width = 0, height = 0;
    uint32_t screenBytes = 0;
    d3d8::Direct3D* direct3d = nullptr;
    d3d8::Device* device = nullptr;
    bool ownsDevice = false;  // false for a device lent through display::UseDevice
    d3d8::D3DFORMAT backBufferFormat = d3d8::D3DFMT_R5G6B5;

    // Screens.
    bool copyChosen = false;
    bool screensChanged = false;
    int32_t screenCount = 0;
    ScreenEntry screens[kScreenSlots] = {{kFreeKey, nullptr, 0}, {kFreeKey, nullptr, 0},
                                         {kFreeKey, nullptr, 0}, {kFreeKey, nullptr, 0},
                                         {kFreeKey, nullptr, 0}, {kFreeKey, nullptr, 0},
                                         {kFreeKey, nullptr, 0}, {kFreeKey, nullptr, 0}};
} state;

// Device, then Direct3D object; each is forgotten once released, so whichever
// caller comes second releases nothing.
void ReleaseDisplay() {
    if (state.device) {
        if (state.ownsDevice) state.device->Release();
        state.device = nullptr;
        state.ownsDevice = false;
    }
    if (state.direct3d) {
        state.direct3d->Release();
        state.direct3d = nullptr;
    }
}

intptr_t WindowProcedure(os::Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case os::WM_DESTROY:
            ReleaseDisplay();
            // However the window went (Escape, close button, window manager),
            // the run ends: without the window nothing can be shown again.
            state.quitRequested = 1;
            state.active = 0;
            os::PostQuitMessage(0);
            return 0;
        case os::WM_ACTIVATE:
            state.active = ((wParam >> 16) & 0xFFFF) == 0 ? 1 : 0;
            return 0;
        case os::WM_KEYDOWN:
            if (wParam == os::VK_ESCAPE) {
                state.quitRequested = 1;
                state.active = 0;
                os::PostMessage(window, os::WM_CLOSE, 0, 0);
                return 0;
            }
            if (wParam == os::VK_SPACE) {
                state.pauseToggle = state.pauseToggle == 0 ? 1 : 0;
                return 0;
            }
            break;
        case os::WM_MOUSEMOVE:
            state.mousePosition = static_cast<uint32_t>(lParam);
            break;
        case os::WM_QUERYNEWPALETTE:
            return 0;
        case os::WM_PALETTECHANGED:
            if (reinterpret_cast<os::Window*>(wParam) == window) break;
            return 0;
        default:
            break;
    }
    return os::DefWindowProc(window, message, wParam, lParam);
}

// Dispatches at most one pending message; never waits.
void PumpOneMessage() {
    os::Message m{};
    if (!os::PeekMessage(&m, nullptr, 0, 0, os::PM_NOREMOVE)) return;
    os::GetMessage(&m, nullptr, 0, 0);
    os::TranslateMessage(&m);
    os::DispatchMessage(&m);
}

int32_t CreateMainWindow(InstanceHandle instance, WindowHandle* windowOut, int32_t width,
                         int32_t height) {
    os::WindowClass wc{};
    wc.style = os::CS_HREDRAW | os::CS_VREDRAW;
    wc.proc = &WindowProcedure;
    wc.instance = instance;
    wc.icon = os::IDI_HAND;
    wc.cursor = os::IDC_ARROW;
    wc.background = os::COLOR_WINDOW + 1;
    wc.className = kClassName;
    os::RegisterClass(&wc);

    if (state.doubleSize != 0) {
        width *= 2;
        height *= 2;
    }
    os::Window* window = os::CreateWindowEx(0, kClassName, kTitle, os::WS_CAPTION, kWindowX,
                                            kWindowY, width, height, nullptr, nullptr, instance,
                                            nullptr);
    if (!window) return 0;
    state.window = window;
    if (windowOut) *windowOut = window;
    if (state.windowed == 0) os::ShowCursor(false);
    os::ShowWindow(window, state.showCommand);
    os::UpdateWindow(window);
    os::SetFocus(window);
    os::SetActiveWindow(window);
    return 1;
}

[[noreturn]] void FatalDeviceError(const char* text) {
    os::ShowMessageBox(text, kErrorCaption);
    if (state.window) os::DestroyWindow(state.window);
    ReleaseDisplay();
    std::exit(1);
}

const ScreenEntry* FirstUsedScreen() {
    for (const ScreenEntry& e : state.screens)
        if (e.key != kFreeKey) return &e;
    return nullptr;
}

// One screen row into a back-buffer row of another format.
void ConvertRow(const uint16_t* source, uint8_t* destination, int32_t count, d3d8::D3DFORMAT format) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        const uint8_t r = static_cast<uint8_t>(((p >> 11) & 31) * 255 / 31);
        const uint8_t g = static_cast<uint8_t>(((p >> 5) & 63) * 255 / 63);
        const uint8_t b = static_cast<uint8_t>((p & 31) * 255 / 31);
        if (format == d3d8::D3DFMT_R8G8B8) {
            uint8_t* d = destination + i * 3;
            d[0] = b, d[1] = g, d[2] = r;
        } else {
            const uint32_t argb = 0xFF000000u | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
            std::memcpy(destination + i * 4, &argb, 4);
        }
    }
}

int32_t BytesPerPixel(d3d8::D3DFORMAT format) {
    switch (format) {
        case d3d8::D3DFMT_R5G6B5: return 2;
        case d3d8::D3DFMT_R8G8B8: return 3;
        case d3d8::D3DFMT_X8R8G8B8:
        case d3d8::D3DFMT_A8R8G8B8: return 4;
        default: return 0;
    }
}

void CopyScreenToBackBuffer() {
    d3d8::Surface* backBuffer = nullptr;
    if (state.device->GetBackBuffer(0, d3d8::D3DBACKBUFFER_TYPE_MONO, &backBuffer) < 0 ||
        !backBuffer)
        return;
    d3d8::D3DLOCKED_RECT locked{};
    if (backBuffer->LockRect(&locked, nullptr, 0) >= 0) {
        // A choice made for a screen that is gone finds nothing to copy.
        if (const ScreenEntry* screen = FirstUsedScreen())
            display::CopyScreen(screen->pixels, state.width, state.height, state.screenBytes,
                                locked.pBits, locked.Pitch, state.backBufferFormat);
        backBuffer->UnlockRect();
    }
    backBuffer->Release();
}

}  // namespace

void Engine::Initialize(InstanceHandle instance, int32_t showCommand) {
    state.instance = instance;
    state.showCommand = showCommand;
    for (ScreenEntry& e : state.screens) e.key = kFreeKey;
}

void Engine::CloseDisplay() { ReleaseDisplay(); }

void Engine::OpenDisplay(int32_t width, int32_t height, WindowHandle* windowOut, int32_t windowed,
                         int32_t doubleSize) {
    state.windowed = windowed;
    state.doubleSize = doubleSize;
    if (CreateMainWindow(state.instance, windowOut, width, height) == 0) {
        os::ShowMessageBox(kNoWindowText, kErrorCaption);
        std::exit(1);
    }
    state.width = width;
    state.height = height;
    state.screenBytes = static_cast<uint32_t>(width) * 2u * static_cast<uint32_t>(height);

    state.direct3d = d3d8::Direct3DCreate8(d3d8::D3D_SDK_VERSION);
    if (!state.direct3d) FatalDeviceError(kNoDirect3DText);
    d3d8::D3DDISPLAYMODE mode{};
    if (state.direct3d->GetAdapterDisplayMode(0, &mode) < 0) FatalDeviceError(kNoDisplayModeText);

    d3d8::D3DPRESENT_PARAMETERS parameters;
    std::memset(&parameters, 0, sizeof parameters);
    parameters.BackBufferWidth = static_cast<uint32_t>(width);
    parameters.BackBufferHeight = static_cast<uint32_t>(height);
    parameters.BackBufferFormat = windowed == 0 ? d3d8::D3DFMT_R5G6B5 : mode.Format;
    parameters.BackBufferCount = 1;
    parameters.MultiSampleType = 0;
    parameters.SwapEffect = windowed == 0 ? d3d8::D3DSWAPEFFECT_FLIP : d3d8::D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = nullptr;
    parameters.Windowed = windowed == 0 ? 0 : 1;
    parameters.EnableAutoDepthStencil = 1;
    parameters.AutoDepthStencilFormat = d3d8::D3DFMT_D16;
    parameters.Flags = d3d8::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    parameters.FullScreen_RefreshRateInHz = 0;
    parameters.FullScreen_PresentationInterval = 0;

    d3d8::Device* device = nullptr;
    if (state.direct3d->CreateDevice(0, d3d8::D3DDEVTYPE_HAL, state.window,
                                       d3d8::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                       &device) < 0) {
        if (device) device->Release();
        FatalDeviceError(kNoDeviceText);
    }
    state.device = device;
    state.ownsDevice = true;
    state.backBufferFormat = parameters.BackBufferFormat;
    // A full-screen device takes the whole screen at the desktop's own mode;
    // the picture is scaled into it when presented.
    if (windowed == 0) os::SetFullscreen(state.window, true);

    state.quitRequested = 0;
    state.screenCount = 0;
}

void Engine::Reserved6() {}

int32_t Engine::ProcessMessages() {
    PumpOneMessage();
    if (state.quitRequested != 0) return 2;
    return state.active == 1 ? 1 : 0;
}

void Engine::ShowFrame() {
    PumpOneMessage();
    if (state.screensChanged) {
        if (state.screenCount == 1) {
            for (const ScreenEntry& e : state.screens)
                if (e.key != kFreeKey && e.flags == kScreenShown) state.copyChosen = true;
        }
        state.screensChanged = false;
    }
    if (state.active != 1 || !state.device) return;
    IEngine* engine = this;
    state.device->BeginScene();
    if (state.copyChosen) CopyScreenToBackBuffer();
    engine->FlushTriangles();
    state.device->EndScene();
    state.device->Present(nullptr, nullptr, nullptr, nullptr);
}

int32_t Engine::CreateScreen() {
    ScreenEntry* entry = nullptr;
    for (ScreenEntry& e : state.screens) {
        if (e.key == kFreeKey) {
            entry = &e;
            break;
        }
    }
    if (!entry || state.screenBytes == 0) return kFreeKey;
    IEngine* engine = this;
    auto* pixels = static_cast<uint16_t*>(engine->MemAlloc(state.screenBytes));
    if (!pixels) return kFreeKey;
    // The key is the pixels' heap reference: 32 bits, unique while the block
    // lives, and never -1 in a heap below 4 GB.
    entry->key = static_cast<int32_t>(heap::ToRef(pixels));
    entry->pixels = pixels;
    entry->flags = kScreenShown;
    engine->MemFill(pixels, 0, state.screenBytes);
    ++state.screenCount;
    state.screensChanged = true;
    return entry->key;
}

uint16_t* Engine::GetScreen(int32_t key) {
    uint16_t* found = nullptr;
    if (key == kFreeKey) return nullptr;
    for (const ScreenEntry& e : state.screens)
        if (e.key == key) found = e.pixels;
    return found;
}

void Engine::DestroyScreen(int32_t key) {
    if (key == kFreeKey) return;
    IEngine* engine = this;
    for (ScreenEntry& e : state.screens) {
        if (e.key != key) continue;
        engine->MemFree(e.pixels, state.screenBytes);
        e.key = kFreeKey;
        e.pixels = nullptr;
        --state.screenCount;
        state.screensChanged = true;
    }
}

void Engine::SetScreenFlag(int32_t index, int32_t value) {
    if (index < 0 || index >= kScreenSlots) return;
    state.screens[index].flags = static_cast<uint32_t>(value) & 0xFFu;
}

int32_t Engine::GetPauseToggle() {
    PumpOneMessage();
    return state.pauseToggle;
}

int32_t Engine::GetMouseX() { return static_cast<int16_t>(state.mousePosition & 0xFFFFu); }

int32_t Engine::GetMouseY() { return static_cast<int32_t>(state.mousePosition >> 16); }

namespace display {

d3d8::Device* CurrentDevice() { return state.device; }
int32_t Width() { return state.width; }
int32_t Height() { return state.height; }

void UseDevice(d3d8::Device* device, int32_t width, int32_t height) {
    if (state.ownsDevice && state.device) state.device->Release();
    state.device = device;
    state.ownsDevice = false;
    state.width = width;
    state.height = height;
    state.screenBytes = static_cast<uint32_t>(width) * 2u * static_cast<uint32_t>(height);
    state.backBufferFormat = d3d8::D3DFMT_R5G6B5;
}

bool ScreenCopyChosen() { return state.copyChosen; }

void CopyScreen(const uint16_t* screen, int32_t width, int32_t height, uint32_t screenBytes,
                void* bits, int32_t pitch, uint32_t format) {
    const auto f = static_cast<d3d8::D3DFORMAT>(format);
    const int32_t rowBytes = width * BytesPerPixel(f);
    if (!screen || !bits || rowBytes <= 0 || height <= 0) return;
    auto* out = static_cast<uint8_t*>(bits);
    if (f == d3d8::D3DFMT_R5G6B5 && pitch == width * 2) {
        std::memcpy(out, screen, screenBytes / 8 * 8);
        return;
    }
    if (pitch < rowBytes) return;
    for (int32_t y = 0; y < height; ++y) {
        const uint16_t* row = screen + static_cast<size_t>(y) * static_cast<size_t>(width);
        uint8_t* line = out + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        if (f == d3d8::D3DFMT_R5G6B5)
            std::memcpy(line, row, static_cast<size_t>(rowBytes));
        else
            ConvertRow(row, line, width, f);
    }
}

}  // namespace display
