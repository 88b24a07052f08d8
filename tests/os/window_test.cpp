// Windows and message queues (offscreen windows), and the translation of SDL
// input into messages (SDL's own offscreen video driver: no display needed).
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/os/Clock.h"
#include "platform/os/Present.h"
#include "platform/os/Window.h"
#include "platform/os/WindowImpl.h"

namespace {

struct Seen {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};
std::vector<Seen> seen;
bool passToDefault = true;

intptr_t Record(os::Window* w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    seen.push_back({message, wParam, lParam});
    return passToDefault ? os::DefWindowProc(w, message, wParam, lParam) : 0;
}

os::Window* MakeWindow(const char* className = "T") {
    os::WindowClass wc{};
    wc.proc = &Record;
    wc.className = className;
    os::RegisterClass(&wc);
    return os::CreateWindowEx(0, className, "title", os::WS_CAPTION, 130, 100, 640, 480, nullptr,
                              nullptr, nullptr, nullptr);
}

std::vector<uint32_t> Messages() {
    std::vector<uint32_t> out;
    for (const Seen& s : seen) out.push_back(s.message);
    return out;
}

class Offscreen : public ::testing::Test {
protected:
    void SetUp() override {
        os::UseOffscreenWindows(nullptr);
        seen.clear();
        passToDefault = true;
    }
};

TEST_F(Offscreen, ClassesRegisterOnceAndUnknownClassesMakeNoWindow) {
    os::WindowClass wc{};
    wc.proc = &Record;
    wc.className = "Once";
    EXPECT_NE(os::RegisterClass(&wc), 0);
    EXPECT_EQ(os::RegisterClass(&wc), 0);
    EXPECT_EQ(os::CreateWindowEx(0, "Missing", "t", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    os::FailWindowCreation(true);
    EXPECT_EQ(MakeWindow("Once"), nullptr);
    os::FailWindowCreation(false);
    os::Window* w = MakeWindow("Once");
    ASSERT_NE(w, nullptr);
    os::WindowInfo info{};
    ASSERT_TRUE(os::GetWindowInfo(w, &info));
    EXPECT_STREQ(info.className, "Once");
    EXPECT_EQ(info.style, os::WS_CAPTION);
    EXPECT_EQ(info.x, 130);
    EXPECT_EQ(info.y, 100);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_FALSE(info.visible);
    EXPECT_TRUE(os::IsOffscreen(w));
}

TEST_F(Offscreen, PeekWithoutRemovingThenGetInOrder) {
    os::Window* w = MakeWindow();
    ASSERT_NE(w, nullptr);
    os::Message m{};
    EXPECT_FALSE(os::PeekMessage(&m, nullptr, 0, 0, os::PM_NOREMOVE));
    os::PostMessage(w, os::WM_KEYDOWN, 65, 0);
    os::PostMessage(w, os::WM_MOUSEMOVE, 0, 0x00050007);
    ASSERT_TRUE(os::PeekMessage(&m, nullptr, 0, 0, os::PM_NOREMOVE));
    EXPECT_EQ(m.message, os::WM_KEYDOWN);
    EXPECT_EQ(os::PendingMessages(), 2);
    ASSERT_TRUE(os::PeekMessage(&m, nullptr, os::WM_MOUSEMOVE, os::WM_MOUSEMOVE, os::PM_NOREMOVE));
    EXPECT_EQ(m.lParam, 0x00050007);
    EXPECT_EQ(os::GetMessage(&m, nullptr, 0, 0), 1);
    EXPECT_EQ(m.message, os::WM_KEYDOWN);
    EXPECT_EQ(m.window, w);
    EXPECT_EQ(os::GetMessage(&m, nullptr, 0, 0), 1);
    EXPECT_EQ(m.message, os::WM_MOUSEMOVE);
    os::PostQuitMessage(3);
    EXPECT_EQ(os::GetMessage(&m, nullptr, 0, 0), 0);
    EXPECT_EQ(m.message, os::WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(m.window, nullptr);
    EXPECT_EQ(os::DispatchMessage(&m), 0);  // a thread message reaches no procedure
}

TEST_F(Offscreen, TranslateFollowsAKeyWithItsCharacter) {
    os::Window* w = MakeWindow();
    os::PostMessage(w, os::WM_KEYDOWN, os::VK_SPACE, 1);
    os::PostMessage(w, os::WM_KEYDOWN, os::VK_F1, 1);
    os::Message m{};
    os::GetMessage(&m, nullptr, 0, 0);
    EXPECT_TRUE(os::TranslateMessage(&m));
    os::GetMessage(&m, nullptr, 0, 0);
    EXPECT_EQ(m.message, os::WM_CHAR);
    EXPECT_EQ(m.wParam, 32u);
    os::GetMessage(&m, nullptr, 0, 0);
    EXPECT_FALSE(os::TranslateMessage(&m));  // F1 has no character
    EXPECT_EQ(os::PendingMessages(), 0);
}

TEST_F(Offscreen, ShowingActivatesOnceAndMinimisedStateIsInTheHighWord) {
    os::Window* w = MakeWindow();
    os::ShowWindow(w, os::SW_SHOWNORMAL);
    os::SetFocus(w);
    os::SetActiveWindow(w);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, os::WM_ACTIVATE);
    EXPECT_EQ(seen[0].wParam, uintptr_t{os::WA_ACTIVE});

    os::Window* minimised = MakeWindow("T2");
    seen.clear();
    os::ShowWindow(minimised, os::SW_SHOWMINIMIZED);
    // The other window loses the activation, the new one gains it minimised.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].wParam, uintptr_t{os::WA_INACTIVE});
    EXPECT_EQ(seen[1].wParam, uintptr_t{os::WA_ACTIVE} | (uintptr_t{1} << 16));
}

TEST_F(Offscreen, CloseDestroysThroughDefaultProcessingAndDropsItsMessages) {
    os::Window* w = MakeWindow();
    os::PostMessage(w, os::WM_CLOSE, 0, 0);
    os::PostMessage(w, os::WM_KEYDOWN, 65, 0);
    os::PostQuitMessage(0);
    os::Message m{};
    os::GetMessage(&m, nullptr, 0, 0);
    os::DispatchMessage(&m);
    EXPECT_EQ(Messages(), (std::vector<uint32_t>{os::WM_CLOSE, os::WM_DESTROY}));
    EXPECT_FALSE(os::IsWindow(w));
    EXPECT_EQ(os::PendingMessages(), 1);  // only the thread's quit message is left
    EXPECT_FALSE(os::PostMessage(w, os::WM_KEYDOWN, 65, 0));
    EXPECT_EQ(os::SendMessage(w, os::WM_KEYDOWN, 65, 0), 0);
    EXPECT_FALSE(os::DestroyWindow(w));
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(Offscreen, AltEnterAndF11SwitchFullScreenOnFirstPressOnly) {
    os::Window* w = MakeWindow();
    ASSERT_FALSE(os::IsFullscreen(w));
    os::DefWindowProc(w, os::WM_SYSKEYDOWN, os::VK_RETURN, os::kKeyAltDown | 1);
    EXPECT_TRUE(os::IsFullscreen(w));
    os::DefWindowProc(w, os::WM_SYSKEYDOWN, os::VK_RETURN, os::kKeyAltDown | os::kKeyWasDown | 1);
    EXPECT_TRUE(os::IsFullscreen(w));  // held key: no flapping
    os::DefWindowProc(w, os::WM_KEYDOWN, os::VK_F11, 1);
    EXPECT_FALSE(os::IsFullscreen(w));
    os::DefWindowProc(w, os::WM_KEYDOWN, os::VK_RETURN, 1);  // Enter without Alt
    EXPECT_FALSE(os::IsFullscreen(w));
}

TEST_F(Offscreen, CursorHidesOnlyWhileTheCountIsNegativeAndAWindowIsFullScreen) {
    os::Window* w = MakeWindow();
    EXPECT_EQ(os::ShowCursor(false), -1);
    EXPECT_TRUE(os::CursorVisible());  // windowed
    os::SetFullscreen(w, true);
    EXPECT_FALSE(os::CursorVisible());
    EXPECT_EQ(os::ShowCursor(true), 0);
    EXPECT_TRUE(os::CursorVisible());
}

TEST(OffscreenFrames, PresentedFramesReachTheSinkAndMoveVirtualTime) {
    os::clock::UseVirtual(60, 1);
    std::vector<uint16_t> got;
    int32_t frames = 0;
    os::UseOffscreenWindows([&](const uint16_t* pixels, int32_t width, int32_t height, int32_t pitch) {
        ++frames;
        got.clear();
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) got.push_back(pixels[y * (pitch / 2) + x]);
    });
    os::Window* w = MakeWindow();
    ASSERT_NE(w, nullptr);
    const uint16_t picture[2 * 4] = {1, 2, 0xEEEE, 0xEEEE, 3, 4, 0xEEEE, 0xEEEE};  // pitch 8 bytes
    os::PresentToWindow(w, picture, 2, 2, 8);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(got, (std::vector<uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(os::clock::FrameIndex(), 1u);
    os::DestroyWindow(w);
    os::PresentToWindow(w, picture, 2, 2, 8);  // gone: nothing shown, time still moves
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(os::clock::FrameIndex(), 2u);
}

// ---- SDL input, through SDL's offscreen video driver ----

class SdlInput : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (!os::DisplayAvailable()) GTEST_SKIP() << "SDL offscreen video driver unavailable";
        seen.clear();
        passToDefault = false;
        window = MakeWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->sdl, nullptr);
        id = SDL_GetWindowID(window->sdl);
        os::ShowWindow(window, os::SW_SHOWNORMAL);
        Drain();
        seen.clear();
    }
    void Drain() {
        os::Message m{};
        while (os::PeekMessage(&m, nullptr, 0, 0, os::PM_REMOVE)) os::DispatchMessage(&m);
    }
    void Key(SDL_Keycode key, bool down, bool repeat = false, uint16_t mod = KMOD_NONE) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = id;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = key;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    void WindowEvent(uint8_t event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = id;
        e.window.event = event;
        SDL_PushEvent(&e);
    }
    os::Window* window = nullptr;
    uint32_t id = 0;
};

TEST_F(SdlInput, KeysBecomeKeyDownsWithRepeatsIncluded) {
    Key(SDLK_ESCAPE, true);
    Key(SDLK_SPACE, true);
    Key(SDLK_SPACE, true, true);
    Key(SDLK_SPACE, false);
    Key(SDLK_RETURN, true, false, KMOD_LALT);
    Drain();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].message, os::WM_KEYDOWN);
    EXPECT_EQ(seen[0].wParam, 27u);
    EXPECT_EQ(seen[1].message, os::WM_KEYDOWN);
    EXPECT_EQ(seen[1].wParam, 32u);
    EXPECT_EQ(seen[1].lParam & os::kKeyWasDown, 0);
    EXPECT_EQ(seen[2].message, os::WM_KEYDOWN);
    EXPECT_EQ(seen[2].wParam, 32u);
    EXPECT_NE(seen[2].lParam & os::kKeyWasDown, 0);
    EXPECT_EQ(seen[3].message, os::WM_KEYUP);
    EXPECT_EQ(seen[4].message, os::WM_SYSKEYDOWN);
    EXPECT_EQ(seen[4].wParam, uintptr_t{os::VK_RETURN});
    EXPECT_NE(seen[4].lParam & os::kKeyAltDown, 0);
}

TEST_F(SdlInput, MouseMotionPacksXLowAndYHigh) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = id;
    e.motion.x = -3;  // outside the window to the left
    e.motion.y = 40000;
    SDL_PushEvent(&e);
    Drain();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, os::WM_MOUSEMOVE);
    EXPECT_EQ(static_cast<uint32_t>(seen[0].lParam), (40000u << 16) | 0xFFFDu);
}

TEST_F(SdlInput, FocusMinimiseRestoreAndCloseBecomeActivationAndClose) {
    WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);  // already active: nothing new
    WindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    WindowEvent(SDL_WINDOWEVENT_RESTORED);
    WindowEvent(SDL_WINDOWEVENT_CLOSE);
    Drain();
    ASSERT_EQ(seen.size(), 5u);
    const uintptr_t minimised = uintptr_t{1} << 16;
    EXPECT_EQ(seen[0].wParam, uintptr_t{os::WA_INACTIVE});
    EXPECT_EQ(seen[1].wParam, uintptr_t{os::WA_ACTIVE});
    EXPECT_EQ(seen[2].wParam, uintptr_t{os::WA_INACTIVE} | minimised);
    EXPECT_EQ(seen[3].wParam, uintptr_t{os::WA_ACTIVE});
    for (int i = 0; i < 4; ++i) EXPECT_EQ(seen[i].message, os::WM_ACTIVATE) << i;
    EXPECT_EQ(seen[4].message, os::WM_CLOSE);
}

}  // namespace
