// Window classes, windows, message queues and the translation of SDL input
// into window messages.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>
#include <vector>

#include "platform/os/WindowImpl.h"

namespace os {
namespace {

struct RegisteredClass {
    WindowClass info;
    std::string name;
};

struct {
    std::mutex lock;  // registry and settings; windows themselves are used on their thread
    std::vector<std::unique_ptr<Window>> windows;
    std::map<std::string, RegisteredClass> classes;
    uint16_t nextAtom = 0xC000;
    bool offscreen = false;
    FrameSink sink;
    bool failCreation = false;
    int32_t cursorCount = 0;
    int32_t videoState = 0;  // 0 not tried, 1 up, -1 failed
    std::thread::id videoThread;
    Window* activeWindow = nullptr;
} state;

thread_local std::shared_ptr<detail::MessageQueue> tQueue;

std::shared_ptr<detail::MessageQueue>& ThisQueue() {
    if (!tQueue) tQueue = std::make_shared<detail::MessageQueue>();
    return tQueue;
}

bool EnsureVideo() {
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.videoState == 0) {
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            state.videoState = 1;
            state.videoThread = std::this_thread::get_id();
        } else {
            state.videoState = -1;
        }
    }
    return state.videoState == 1;
}

void Post(const std::shared_ptr<detail::MessageQueue>& queue, const Message& m, bool front = false) {
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        if (front)
            queue->messages.push_front(m);
        else
            queue->messages.push_back(m);
    }
    queue->posted.notify_all();
}

Window* FromSdl(uint32_t windowId) {
    SDL_Window* sdl = SDL_GetWindowFromID(windowId);
    if (!sdl) return nullptr;
    auto* w = static_cast<Window*>(SDL_GetWindowData(sdl, "os"));
    return w && w->alive ? w : nullptr;
}

void PostTo(Window* w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Post(w->queue, Message{w, message, wParam, lParam});
}

uint32_t VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<uint32_t>(key - SDLK_F1);
    switch (key) {
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_UP: return VK_UP;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT: return VK_MENU;
        default: return 0;
    }
}

// The activation rules of the platform: a window that gains or loses the
// activation, or is minimised or restored, hears WM_ACTIVATE with its
// minimised state in the high word.
uintptr_t ActivateParam(uint32_t how, const Window* w) {
    return how | (static_cast<uintptr_t>(w->minimised ? 1 : 0) << 16);
}

void TranslateSdl(const SDL_Event& e) {
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            Window* w = FromSdl(e.key.windowID);
            const uint32_t vk = VirtualKey(e.key.keysym.sym);
            if (!w || vk == 0) return;
            const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
            intptr_t lParam = 1 | (static_cast<intptr_t>(e.key.keysym.scancode & 0xFF) << 16);
            if (alt) lParam |= kKeyAltDown;
            uint32_t message;
            if (e.type == SDL_KEYDOWN) {
                if (e.key.repeat) lParam |= kKeyWasDown;
                message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
            } else {
                lParam |= kKeyWasDown | (intptr_t{1} << 31);
                message = alt ? WM_SYSKEYUP : WM_KEYUP;
            }
            PostTo(w, message, vk, lParam);
            return;
        }
        case SDL_MOUSEMOTION: {
            Window* w = FromSdl(e.motion.windowID);
            if (!w) return;
            int32_t x = e.motion.x, y = e.motion.y;
            if (w->fullscreen && w->picture.w > 0 && w->picture.h > 0) {
                // Full screen shows the picture scaled: report picture pixels.
                x = static_cast<int32_t>(
                    std::floor(static_cast<double>(x - w->picture.x) * w->textureWidth / w->picture.w));
                y = static_cast<int32_t>(
                    std::floor(static_cast<double>(y - w->picture.y) * w->textureHeight / w->picture.h));
            }
            uintptr_t buttons = 0;
            if (e.motion.state & SDL_BUTTON_LMASK) buttons |= 0x1;
            if (e.motion.state & SDL_BUTTON_RMASK) buttons |= 0x2;
            if (e.motion.state & SDL_BUTTON_MMASK) buttons |= 0x10;
            const uint32_t word = (static_cast<uint32_t>(x) & 0xFFFFu) |
                                  ((static_cast<uint32_t>(y) & 0xFFFFu) << 16);
            PostTo(w, WM_MOUSEMOVE, buttons, static_cast<intptr_t>(word));
            return;
        }
        case SDL_WINDOWEVENT: {
            Window* w = FromSdl(e.window.windowID);
            if (!w) return;
            switch (e.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    if (!w->active) {
                        if (state.activeWindow && state.activeWindow != w)
                            state.activeWindow->active = false;
                        state.activeWindow = w;
                        w->active = true;
                        PostTo(w, WM_ACTIVATE, ActivateParam(WA_ACTIVE, w), 0);
                    }
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    if (w->active) {
                        w->active = false;
                        if (state.activeWindow == w) state.activeWindow = nullptr;
                        PostTo(w, WM_ACTIVATE, ActivateParam(WA_INACTIVE, w), 0);
                    }
                    break;
                case SDL_WINDOWEVENT_MINIMIZED:
                    if (!w->minimised) {
                        w->minimised = true;
                        PostTo(w, WM_ACTIVATE, ActivateParam(WA_INACTIVE, w), 0);
                    }
                    break;
                case SDL_WINDOWEVENT_RESTORED:
                    if (w->minimised) {
                        w->minimised = false;
                        w->active = true;
                        state.activeWindow = w;
                        PostTo(w, WM_ACTIVATE, ActivateParam(WA_ACTIVE, w), 0);
                    }
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    PostTo(w, WM_CLOSE, 0, 0);
                    break;
                default:
                    break;
            }
            return;
        }
        case SDL_QUIT:
            // The last window was closed, or the process was interrupted.
        {
            std::vector<Window*> open;
            {
                std::lock_guard<std::mutex> guard(state.lock);
                for (auto& w : state.windows)
                    if (w->alive && w->sdl) open.push_back(w.get());
            }
            for (Window* w : open) PostTo(w, WM_CLOSE, 0, 0);
            return;
        }
        default:
            return;
    }
}

// Moves real input into the queues; only on the thread that runs the video.
void PumpInput() {
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.videoState != 1 || state.videoThread != std::this_thread::get_id()) return;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) TranslateSdl(e);
}

bool Matches(const Message& m, Window* window, uint32_t filterMin, uint32_t filterMax) {
    if (window && m.window != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return m.message >= filterMin && m.message <= filterMax;
}

void Activate(Window* w) {
    if (state.activeWindow == w) return;
    Window* old = state.activeWindow;
    if (old && old->alive) {
        old->active = false;
        SendMessage(old, WM_ACTIVATE, ActivateParam(WA_INACTIVE, old), 0);
    }
    state.activeWindow = w;
    w->active = true;
    if (w->sdl) SDL_RaiseWindow(w->sdl);
    SendMessage(w, WM_ACTIVATE, ActivateParam(WA_ACTIVE, w), 0);
}

bool Usable(Window* w) { return w && w->alive; }

}  // namespace

uint16_t RegisterClass(const WindowClass* windowClass) {
    if (!windowClass || !windowClass->className || !windowClass->proc) return 0;
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.classes.count(windowClass->className)) return 0;
    RegisteredClass& c = state.classes[windowClass->className];
    c.info = *windowClass;
    c.name = windowClass->className;
    c.info.className = c.name.c_str();
    c.info.menuName = nullptr;
    return state.nextAtom++;
}

Window* CreateWindowEx(uint32_t exStyle, const char* className, const char* title,
                       uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                       Window*, void*, void*, void*) {
    WindowProc proc;
    bool offscreen;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.failCreation || !className) return nullptr;
        auto found = state.classes.find(className);
        if (found == state.classes.end()) return nullptr;
        proc = found->second.info.proc;
        offscreen = state.offscreen;
    }
    auto w = std::make_unique<Window>();
    w->className = className;
    w->title = title ? title : "";
    w->proc = proc;
    w->style = style;
    w->exStyle = exStyle;
    w->x = x, w->y = y, w->width = width, w->height = height;
    w->offscreen = offscreen;
    w->queue = ThisQueue();
    if (!offscreen) {
        if (!EnsureVideo()) return nullptr;
        w->sdl = SDL_CreateWindow(w->title.c_str(), x, y, std::max(width, 1), std::max(height, 1),
                                  SDL_WINDOW_HIDDEN);
        if (!w->sdl) return nullptr;
        SDL_SetWindowData(w->sdl, "os", w.get());
        // The renderer now: making it later may remake the window, which
        // would lose a full-screen placement made meanwhile.
        detail::EnsureRenderer(w.get());
    }
    std::lock_guard<std::mutex> guard(state.lock);
    state.windows.push_back(std::move(w));
    return state.windows.back().get();
}

bool DestroyWindow(Window* window) {
    if (!Usable(window)) return false;
    SendMessage(window, WM_DESTROY, 0, 0);
    if (!window->alive) return true;  // destroyed again from inside WM_DESTROY
    window->alive = false;
    window->visible = window->active = false;
    if (state.activeWindow == window) state.activeWindow = nullptr;
    if (window->texture) SDL_DestroyTexture(window->texture);
    if (window->renderer) SDL_DestroyRenderer(window->renderer);
    if (window->sdl) SDL_DestroyWindow(window->sdl);
    window->texture = nullptr;
    window->renderer = nullptr;
    window->sdl = nullptr;
    {
        std::lock_guard<std::mutex> guard(window->queue->lock);
        auto& q = window->queue->messages;
        q.erase(std::remove_if(q.begin(), q.end(), [&](const Message& m) { return m.window == window; }),
                q.end());
    }
    detail::UpdateCursor();
    return true;
}

bool IsWindow(Window* window) {
    if (!window) return false;
    std::lock_guard<std::mutex> guard(state.lock);
    for (auto& w : state.windows)
        if (w.get() == window) return w->alive;
    return false;
}

Window* FindWindow(const char* className, const char* title) {
    std::lock_guard<std::mutex> guard(state.lock);
    for (auto& w : state.windows) {
        if (!w->alive) continue;
        if (className && w->className != className) continue;
        if (title && w->title != title) continue;
        return w.get();
    }
    return nullptr;
}

bool ShowWindow(Window* window, int32_t showCommand) {
    if (!Usable(window)) return false;
    const bool wasVisible = window->visible;
    switch (showCommand) {
        case SW_HIDE:
            window->visible = false;
            if (window->sdl) SDL_HideWindow(window->sdl);
            return wasVisible;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            window->visible = true;
            window->minimised = true;
            if (window->sdl) {
                SDL_ShowWindow(window->sdl);
                SDL_MinimizeWindow(window->sdl);
            }
            if (showCommand == SW_SHOWMINIMIZED) Activate(window);
            return wasVisible;
        default:
            window->visible = true;
            if (showCommand == SW_SHOWNORMAL || showCommand == SW_RESTORE) window->minimised = false;
            if (window->sdl) {
                SDL_ShowWindow(window->sdl);
                if (!window->minimised) SDL_RestoreWindow(window->sdl);
            }
            if (showCommand != SW_SHOWNOACTIVATE && showCommand != SW_SHOWNA) Activate(window);
            return wasVisible;
    }
}

bool UpdateWindow(Window* window) { return Usable(window); }

Window* SetFocus(Window* window) {
    Window* previous = state.activeWindow;
    if (Usable(window)) {
        Activate(window);
        if (window->sdl) SDL_SetWindowInputFocus(window->sdl);
    }
    return previous;
}

Window* SetActiveWindow(Window* window) {
    Window* previous = state.activeWindow;
    if (Usable(window)) Activate(window);
    return previous;
}

int32_t ShowCursor(bool show) {
    int32_t count;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        count = state.cursorCount += show ? 1 : -1;
    }
    detail::UpdateCursor();
    return count;
}

bool CursorVisible() {
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.cursorCount >= 0) return true;
    for (auto& w : state.windows)
        if (w->alive && w->fullscreen) return false;
    return true;
}

intptr_t SendMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!Usable(window) || !window->proc) return 0;
    return window->proc(window, message, wParam, lParam);
}

intptr_t DefWindowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!Usable(window)) return 0;
    const bool firstPress = (lParam & kKeyWasDown) == 0;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_RETURN && (lParam & kKeyAltDown) && firstPress)
                SetFullscreen(window, !window->fullscreen);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_F11 && firstPress) SetFullscreen(window, !window->fullscreen);
            return 0;
        default:
            return 0;
    }
}

bool PostMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!window) {
        Post(ThisQueue(), Message{nullptr, message, wParam, lParam});
        return true;
    }
    if (!IsWindow(window)) return false;
    Post(window->queue, Message{window, message, wParam, lParam});
    return true;
}

void PostQuitMessage(int32_t exitCode) {
    Post(ThisQueue(), Message{nullptr, WM_QUIT, static_cast<uintptr_t>(exitCode), 0});
}

bool PeekMessage(Message* out, Window* window, uint32_t filterMin, uint32_t filterMax,
                 uint32_t removeFlags) {
    PumpInput();
    auto& queue = ThisQueue();
    std::lock_guard<std::mutex> guard(queue->lock);
    auto& q = queue->messages;
    auto found = std::find_if(q.begin(), q.end(),
                              [&](const Message& m) { return Matches(m, window, filterMin, filterMax); });
    if (found == q.end()) return false;
    if (out) *out = *found;
    if (removeFlags & PM_REMOVE) q.erase(found);
    return true;
}

int32_t GetMessage(Message* out, Window* window, uint32_t filterMin, uint32_t filterMax) {
    Message m{};
    while (!PeekMessage(&m, window, filterMin, filterMax, PM_REMOVE)) {
        auto& queue = ThisQueue();
        std::unique_lock<std::mutex> lock(queue->lock);
        // Real input is fetched by polling: look again every few milliseconds.
        queue->posted.wait_for(lock, std::chrono::milliseconds(5));
    }
    if (out) *out = m;
    return m.message == WM_QUIT ? 0 : 1;
}

bool TranslateMessage(const Message* message) {
    if (!message || message->message != WM_KEYDOWN) return false;
    const uint32_t vk = static_cast<uint32_t>(message->wParam);
    uint32_t ch = 0;
    if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_SPACE ||
        (vk >= '0' && vk <= '9'))
        ch = vk;
    else if (vk >= 'A' && vk <= 'Z') {
        bool shift = false;
        {
            std::lock_guard<std::mutex> guard(state.lock);
            shift = state.videoState == 1 && (SDL_GetModState() & KMOD_SHIFT) != 0;
        }
        ch = shift ? vk : vk - 'A' + 'a';
    }
    if (ch == 0) return false;
    Post(ThisQueue(), Message{message->window, WM_CHAR, ch, message->lParam}, true);
    return true;
}

intptr_t DispatchMessage(const Message* message) {
    if (!message || !message->window) return 0;
    return SendMessage(message->window, message->message, message->wParam, message->lParam);
}

int32_t PendingMessages() {
    auto& queue = ThisQueue();
    std::lock_guard<std::mutex> guard(queue->lock);
    return static_cast<int32_t>(queue->messages.size());
}

void UseOffscreenWindows(FrameSink sink) {
    std::lock_guard<std::mutex> guard(state.lock);
    state.offscreen = true;
    state.sink = std::move(sink);
}

bool DisplayAvailable() { return EnsureVideo(); }

void SetFullscreen(Window* window, bool fullscreen) {
    if (!Usable(window) || window->fullscreen == fullscreen) return;
    window->fullscreen = fullscreen;
    if (window->sdl) {
        // Cover the screen ourselves as well: without a window manager the
        // full-screen request alone moves nothing.
        if (fullscreen) {
            SDL_Rect bounds{};
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window->sdl)), &bounds) == 0) {
                SDL_SetWindowSize(window->sdl, bounds.w, bounds.h);
                SDL_SetWindowPosition(window->sdl, bounds.x, bounds.y);
            }
            SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            SDL_SetWindowFullscreen(window->sdl, 0);
            SDL_SetWindowSize(window->sdl, std::max(window->width, 1), std::max(window->height, 1));
            SDL_SetWindowPosition(window->sdl, window->x, window->y);
        }
    }
    detail::UpdateCursor();
}

bool IsFullscreen(Window* window) { return Usable(window) && window->fullscreen; }
bool IsOffscreen(Window* window) { return window && window->offscreen; }

bool GetWindowInfo(Window* window, WindowInfo* out) {
    if (!Usable(window) || !out) return false;
    *out = WindowInfo{window->className.c_str(), window->title.c_str(), window->style,
                      window->exStyle, window->x, window->y, window->width, window->height,
                      window->visible, window->minimised, window->active};
    return true;
}

void FailWindowCreation(bool fail) {
    std::lock_guard<std::mutex> guard(state.lock);
    state.failCreation = fail;
}

namespace detail {

void SendToFrameSink(const uint16_t* pixels, int32_t width, int32_t height, int32_t pitchBytes) {
    FrameSink sink;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        sink = state.sink;
    }
    if (sink) sink(pixels, width, height, pitchBytes);
}

void UpdateCursor() {
    const bool visible = CursorVisible();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.videoState == 1) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace detail
}  // namespace os
