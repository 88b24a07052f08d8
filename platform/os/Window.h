// Windows and their messages, after the platform calls the engine makes:
// a window class with a window procedure, a window, and a per-thread message
// queue with post, peek (with or without removing), get, translate and
// dispatch.
//
//   os::WindowClass wc{};  wc.proc = &Proc;  wc.className = "KVR";
//   os::RegisterClass(&wc);
//   os::Window* w = os::CreateWindowEx(0, "KVR", "title", os::WS_CAPTION,
//                                      130, 100, 640, 480, nullptr, nullptr, nullptr, nullptr);
//   os::ShowWindow(w, os::SW_SHOWNORMAL);
//   os::Message m;
//   if (os::PeekMessage(&m, nullptr, 0, 0, os::PM_NOREMOVE)) {
//       os::GetMessage(&m, nullptr, 0, 0);
//       os::TranslateMessage(&m);
//       os::DispatchMessage(&m);
//   }
//
// Two kinds of window stand behind the same calls:
//   - a real window (SDL) where a display exists: its input arrives as
//     WM_KEYDOWN/WM_SYSKEYDOWN (auto-repeat included), WM_KEYUP, WM_MOUSEMOVE,
//     WM_ACTIVATE (focus, minimise, restore; minimised state in the high word
//     of wParam) and WM_CLOSE (close button, window manager, interrupt);
//   - an offscreen window (after UseOffscreenWindows): no display; input is
//     whatever the program posts; presented frames go to the frame sink.
// Window objects stay allocated for the whole process, so a handle stays safe
// to pass after DestroyWindow (IsWindow then says false and calls do nothing).
#pragma once

#include <cstdint>
#include <functional>

namespace os {

struct Window;
using WindowProc = intptr_t (*)(Window* window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

// Messages.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_QUERYNEWPALETTE = 0x030F;
constexpr uint32_t WM_PALETTECHANGED = 0x0311;

constexpr uint32_t WA_INACTIVE = 0, WA_ACTIVE = 1;

// Virtual keys (letters and digits are their upper-case ASCII codes).
constexpr uint32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                   VK_CONTROL = 0x11, VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
                   VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_F1 = 0x70,
                   VK_F11 = 0x7A, VK_F12 = 0x7B;

// Key message lParam bits.
constexpr intptr_t kKeyAltDown = intptr_t{1} << 29;
constexpr intptr_t kKeyWasDown = intptr_t{1} << 30;  // auto-repeat

// Class and window values.
constexpr uint32_t CS_VREDRAW = 0x1, CS_HREDRAW = 0x2;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t IDI_HAND = 32513, IDC_ARROW = 32512;
constexpr uintptr_t COLOR_WINDOW = 5;

// Show commands.
constexpr int32_t SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
                  SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7,
                  SW_SHOWNA = 8, SW_RESTORE = 9, SW_SHOWDEFAULT = 10;

constexpr uint32_t PM_NOREMOVE = 0, PM_REMOVE = 1;

struct WindowClass {
    uint32_t style;
    WindowProc proc;
    int32_t classExtraBytes;
    int32_t windowExtraBytes;
    void* instance;
    uint32_t icon;
    uint32_t cursor;
    uintptr_t background;
    const char* menuName;
    const char* className;
};

struct Message {
    Window* window;  // null: a message for the thread (WM_QUIT)
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// Returns a nonzero class atom, or 0 when the name is already registered (the
// first registration stays) or the class is incomplete.
uint16_t RegisterClass(const WindowClass* windowClass);

// Null when the class is unknown or no window can be made (no display and no
// offscreen windows). Width and height are the window's size as given.
Window* CreateWindowEx(uint32_t exStyle, const char* className, const char* title,
                       uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                       Window* parent, void* menu, void* instance, void* parameter);
// Sends WM_DESTROY to the window procedure, then removes the window.
bool DestroyWindow(Window* window);
bool IsWindow(Window* window);
// The first live window with this class name and title (null: any); null
// when there is none. Lets a tool post input to a window it did not create.
Window* FindWindow(const char* className, const char* title);

// The first activating show (and SetActiveWindow) sends WM_ACTIVATE.
bool ShowWindow(Window* window, int32_t showCommand);
bool UpdateWindow(Window* window);
Window* SetFocus(Window* window);
Window* SetActiveWindow(Window* window);

// Display counter: the cursor shows while it is >= 0 (and always in a window
// that is not full screen). Returns the new count.
int32_t ShowCursor(bool show);
bool CursorVisible();

// Calls the window procedure directly.
intptr_t SendMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Default processing: WM_CLOSE destroys the window; Alt+Enter (WM_SYSKEYDOWN)
// and F11 (WM_KEYDOWN) switch full screen on and off; everything else: 0.
intptr_t DefWindowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Message queue of the window's thread (null window: the calling thread's).
bool PostMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuitMessage(int32_t exitCode);
// filterMin = filterMax = 0: every message. window null: every window of the
// thread and thread messages. Never waits.
bool PeekMessage(Message* out, Window* window, uint32_t filterMin, uint32_t filterMax,
                 uint32_t removeFlags);
// Waits for a message; 0 when it is WM_QUIT, else 1.
int32_t GetMessage(Message* out, Window* window, uint32_t filterMin, uint32_t filterMax);
// Key-downs with a character post WM_CHAR (it comes next).
bool TranslateMessage(const Message* message);
// Calls the procedure of the message's window; 0 for thread messages and
// windows that are gone.
intptr_t DispatchMessage(const Message* message);
// Messages waiting in the calling thread's queue (real input not yet fetched
// is not counted).
int32_t PendingMessages();

// ---- beyond the platform calls: window kinds, full screen, inspection ----

// Frames presented to an offscreen window: R5G6B5 rows of pitchBytes bytes.
using FrameSink = std::function<void(const uint16_t* pixels, int32_t width, int32_t height,
                                     int32_t pitchBytes)>;
// From now on windows are offscreen; their frames go to sink (may be empty).
void UseOffscreenWindows(FrameSink sink);
// True when real windows can be made (a display answers).
bool DisplayAvailable();

void SetFullscreen(Window* window, bool fullscreen);
bool IsFullscreen(Window* window);
bool IsOffscreen(Window* window);

struct WindowInfo {
    const char* className;
    const char* title;
    uint32_t style, exStyle;
    int32_t x, y, width, height;
    bool visible, minimised, active;
};
bool GetWindowInfo(Window* window, WindowInfo* out);

// Tests: the next CreateWindowEx calls return null.
void FailWindowCreation(bool fail);

}  // namespace os
