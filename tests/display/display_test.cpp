// The engine window, its pump, the device's fatal errors, ShowFrame and the
// screen table, on offscreen windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/DisplayState.h"
#include "engine/IEngine.h"
#include "engine/memory/HeapRef.h"
#include "platform/d3d8/Testing.h"
#include "platform/d3d8/d3d8.h"
#include "platform/os/Clock.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Window.h"

namespace {

int32_t framesShown = 0;

class Display : public ::testing::Test {
protected:
    void SetUp() override {
        framesShown = 0;
        os::UseOffscreenWindows([](const uint16_t*, int32_t, int32_t, int32_t) { ++framesShown; });
        e = CreateEngine();
        ASSERT_NE(e, nullptr);
        e->MemInit(4 * 1024 * 1024);
        e->Initialize(nullptr, os::SW_SHOWNORMAL);
    }
    void TearDown() override {
        if (e) DestroyEngine(e);
    }
    void Open(int32_t windowed = 0, int32_t doubleSize = 0, int32_t width = 640,
              int32_t height = 480) {
        e->OpenDisplay(width, height, &window, windowed, doubleSize);
        ASSERT_NE(window, nullptr);
    }
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam = 0) {
        ASSERT_TRUE(os::PostMessage(window, message, wParam, lParam));
    }
    // Pumps until the queue is empty; returns the last ProcessMessages result.
    int32_t Drain() {
        int32_t result = e->ProcessMessages();
        while (os::PendingMessages() > 0) result = e->ProcessMessages();
        return result;
    }
    IEngine* e = nullptr;
    os::Window* window = nullptr;
};

TEST_F(Display, OpensTheWindowAndDeviceAsConfigured) {
    struct Case {
        int32_t windowed, doubleSize, width, height;
        bool fullscreen;
    };
    // One process per case would be cleaner; a second OpenDisplay is enough
    // here, as the window and the class stay valid.
    for (Case c : {Case{0, 0, 640, 480, true}, Case{1, 1, 1280, 960, false}}) {
        SCOPED_TRACE(c.windowed);
        Open(c.windowed, c.doubleSize);
        os::WindowInfo info{};
        ASSERT_TRUE(os::GetWindowInfo(window, &info));
        EXPECT_STREQ(info.className, "KVR");
        EXPECT_STREQ(info.title, "*ZORNA* WinTessary V2.5+ - KVR Kavreli V2.2(Windowed)");
        EXPECT_EQ(info.style, os::WS_CAPTION);
        EXPECT_EQ(info.exStyle, 0u);
        EXPECT_EQ(info.x, 130);
        EXPECT_EQ(info.y, 100);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        EXPECT_TRUE(info.visible);
        EXPECT_TRUE(info.active);
        EXPECT_EQ(os::IsFullscreen(window), c.fullscreen);
        EXPECT_NE(display::CurrentDevice(), nullptr);
        EXPECT_EQ(display::Width(), 640);  // the back buffer is never doubled
        EXPECT_EQ(display::Height(), 480);
        // Creation and showing activate the window.
        EXPECT_EQ(e->ProcessMessages(), 1);
        e->CloseDisplay();
        EXPECT_EQ(display::CurrentDevice(), nullptr);
        EXPECT_TRUE(os::IsWindow(window));  // closing the display keeps the window
    }
    EXPECT_FALSE(os::CursorVisible());  // hidden once by the full-screen open
}

TEST_F(Display, PumpDispatchesAtMostOneMessageAndNeverWaits) {
    Open();
    EXPECT_EQ(e->ProcessMessages(), 1);  // nothing pending: at once
    for (int i = 1; i <= 3; ++i) Post(os::WM_MOUSEMOVE, 0, i);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(e->ProcessMessages(), 1);
        EXPECT_EQ(e->GetMouseX(), i);
        EXPECT_EQ(os::PendingMessages(), 3 - i);
    }
    Post(os::WM_MOUSEMOVE, 0, 7);
    Post(os::WM_MOUSEMOVE, 0, 8);
    EXPECT_EQ(e->GetPauseToggle(), 0);  // pumps one too
    EXPECT_EQ(e->GetMouseX(), 7);
    e->ShowFrame();  // and one more
    EXPECT_EQ(e->GetMouseX(), 8);
}

TEST_F(Display, EscapeLeavesProcessMessagesAtTwoForEver) {
    Open();
    Post(os::WM_KEYDOWN, os::VK_ESCAPE);
    EXPECT_EQ(e->ProcessMessages(), 2);
    EXPECT_TRUE(os::IsWindow(window));  // the posted close has not come yet
    for (int i = 0; i < 6; ++i) EXPECT_EQ(e->ProcessMessages(), 2) << i;
    EXPECT_FALSE(os::IsWindow(window));
    EXPECT_EQ(display::CurrentDevice(), nullptr);  // released by the destroy handling
    EXPECT_EQ(os::PendingMessages(), 0);           // the quit message was taken too
    e->CloseDisplay();                             // releases nothing twice
    e->ShowFrame();
    EXPECT_EQ(framesShown, 0);
    EXPECT_EQ(e->ProcessMessages(), 2);
}

TEST_F(Display, ClosingTheWindowOtherwiseAlsoEndsTheRun) {
    Open();
    Post(os::WM_CLOSE, 0);
    EXPECT_EQ(e->ProcessMessages(), 2);
    EXPECT_FALSE(os::IsWindow(window));
    EXPECT_EQ(display::CurrentDevice(), nullptr);
    e->ShowFrame();
    EXPECT_EQ(framesShown, 0);
}

TEST_F(Display, SpaceFlipsTheToggleOnEveryKeyDownRepeatsIncluded) {
    Open();
    Post(os::WM_KEYDOWN, os::VK_SPACE, 1);
    Drain();
    EXPECT_EQ(e->GetPauseToggle(), 1);
    Post(os::WM_KEYDOWN, os::VK_SPACE, 1 | os::kKeyWasDown);  // auto-repeat
    Drain();
    EXPECT_EQ(e->GetPauseToggle(), 0);
    Post(os::WM_KEYUP, os::VK_SPACE, 0);
    Post(os::WM_KEYDOWN, 'A', 1);
    Drain();
    EXPECT_EQ(e->GetPauseToggle(), 0);
    EXPECT_EQ(e->ProcessMessages(), 1);
}

TEST_F(Display, ActivationFollowsTheMinimisedWord) {
    Open();
    struct Case {
        uintptr_t wParam;
        int32_t expected;
    };
    const uintptr_t minimised = uintptr_t{1} << 16;
    const Case cases[] = {
        {os::WA_INACTIVE, 1},              // deactivated, not minimised: still drawing
        {os::WA_INACTIVE | minimised, 0},  // minimised
        {os::WA_ACTIVE, 1},                // restored
        {os::WA_ACTIVE | minimised, 0},    // the low word is not looked at
        {2, 1},                            // activated by a click
    };
    for (const Case& c : cases) {
        Post(os::WM_ACTIVATE, c.wParam);
        EXPECT_EQ(e->ProcessMessages(), c.expected) << std::hex << c.wParam;
    }
    Post(os::WM_ACTIVATE, os::WA_INACTIVE | minimised);
    e->ProcessMessages();
    e->ShowFrame();  // inactive: nothing presented
    EXPECT_EQ(framesShown, 0);
    Post(os::WM_ACTIVATE, os::WA_ACTIVE);
    e->ShowFrame();  // the restore is dispatched first, then the frame drawn
    EXPECT_EQ(framesShown, 1);
}

TEST_F(Display, MouseWordsSplitIntoSignedXAndUnsignedY) {
    Open();
    struct Case {
        uint32_t word;
        int32_t x, y;
    };
    const Case cases[] = {
        {0x00000000u, 0, 0},        {0x01E0027Fu, 639, 480},     {0x00058000u, -32768, 5},
        {0x12347FFFu, 32767, 4660}, {0xFFFFFFFFu, -1, 65535},    {0x8000FFFDu, -3, 32768},
    };
    for (const Case& c : cases) {
        Post(os::WM_MOUSEMOVE, 0, static_cast<intptr_t>(c.word));
        e->ProcessMessages();
        EXPECT_EQ(e->GetMouseX(), c.x) << std::hex << c.word;
        EXPECT_EQ(e->GetMouseY(), c.y) << std::hex << c.word;
    }
}

TEST_F(Display, PresentedFramesMoveVirtualTimeFrameByFrame) {
    os::clock::UseVirtual(60, 1);
    Open();
    for (int i = 0; i < 3; ++i) e->ShowFrame();
    EXPECT_EQ(framesShown, 3);
    EXPECT_EQ(os::clock::FrameIndex(), 3u);
    EXPECT_EQ(os::clock::NowSamples(), 3u * 735);
}

// ---- screens ----

TEST_F(Display, ScreensAreZeroedHeapBlocksKeyedByTheirReference) {
    Open(0, 0, 160, 120);  // eight full-size screens would not fit the 4 MB heap
    std::vector<int32_t> keys;
    for (int i = 0; i < 8; ++i) {
        const int32_t key = e->CreateScreen();
        ASSERT_NE(key, -1) << i;
        uint16_t* pixels = e->GetScreen(key);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(static_cast<uint32_t>(key), heap::ToRef(pixels));
        for (int32_t p = 0; p < 160 * 120; ++p) ASSERT_EQ(pixels[p], 0) << p;
        std::memset(pixels, 0xAB, 160 * 120 * 2);  // must stay inside its own block
        for (int32_t k : keys) EXPECT_NE(k, key);
        keys.push_back(key);
    }
    const uint16_t* const before = e->GetScreen(keys[0]);
    EXPECT_EQ(e->CreateScreen(), -1);  // a ninth: no entry, nothing taken
    EXPECT_EQ(e->GetScreen(keys[0]), before);
    e->DestroyScreen(keys[3]);
    EXPECT_EQ(e->GetScreen(keys[3]), nullptr);
    const int32_t again = e->CreateScreen();  // the freed entry and block
    EXPECT_EQ(again, keys[3]);
}

TEST_F(Display, UnknownKeysFindNothingAndChangeNothing) {
    Open();
    const int32_t key = e->CreateScreen();
    e->ShowFrame();
    ASSERT_TRUE(display::ScreenCopyChosen());
    EXPECT_EQ(e->GetScreen(key + 8), nullptr);
    EXPECT_EQ(e->GetScreen(-1), nullptr);
    e->DestroyScreen(key + 8);
    e->DestroyScreen(-1);
    EXPECT_NE(e->GetScreen(key), nullptr);
}

TEST_F(Display, AScreenTheHeapCannotGiveIsNotRegistered) {
    Open();
    os::SetMessageBoxHook([](const char*, const char*) {});  // the heap reports it
    std::vector<void*> hog;
    while (void* block = e->MemAlloc(640 * 480 * 2)) hog.push_back(block);
    EXPECT_EQ(e->CreateScreen(), -1);
    e->ShowFrame();
    EXPECT_FALSE(display::ScreenCopyChosen());
    e->MemFree(hog.back(), 640 * 480 * 2);
    const int32_t key = e->CreateScreen();
    EXPECT_NE(key, -1);
    EXPECT_EQ(e->GetScreen(key), hog.back());
    os::SetMessageBoxHook(nullptr);
}

TEST_F(Display, TheCopyChoiceIsRemadeOnlyWithExactlyOneScreen) {
    Open();
    EXPECT_FALSE(display::ScreenCopyChosen());
    const int32_t a = e->CreateScreen();
    const int32_t b = e->CreateScreen();
    e->ShowFrame();  // two screens: the choice stays none
    EXPECT_FALSE(display::ScreenCopyChosen());
    e->DestroyScreen(a);
    EXPECT_FALSE(display::ScreenCopyChosen());  // remade only in ShowFrame
    e->ShowFrame();
    EXPECT_TRUE(display::ScreenCopyChosen());
    e->DestroyScreen(b);
    e->ShowFrame();  // no screen left: the choice persists and copies nothing
    EXPECT_TRUE(display::ScreenCopyChosen());
    EXPECT_EQ(framesShown, 3);
}

TEST_F(Display, FlagsOtherThan31KeepThePreviousChoice) {
    Open();
    const int32_t a = e->CreateScreen();
    e->SetScreenFlag(0, 0x105);  // low 8 bits: 5
    e->ShowFrame();
    EXPECT_FALSE(display::ScreenCopyChosen());
    const int32_t b = e->CreateScreen();
    e->DestroyScreen(b);  // a table change, flags still 5
    e->ShowFrame();
    EXPECT_FALSE(display::ScreenCopyChosen());
    e->SetScreenFlag(0, 31);
    e->ShowFrame();  // the flag alone changes nothing
    EXPECT_FALSE(display::ScreenCopyChosen());
    e->DestroyScreen(a);
    e->CreateScreen();  // new screen: flags 31
    e->ShowFrame();
    EXPECT_TRUE(display::ScreenCopyChosen());
    e->SetScreenFlag(8, 31);  // outside the table: ignored
    e->SetScreenFlag(-1, 31);
}

TEST_F(Display, AnInactiveShowFrameRemakesTheChoiceButDrawsNothing) {
    Open();
    e->CreateScreen();
    Post(os::WM_ACTIVATE, os::WA_INACTIVE | (uintptr_t{1} << 16));
    e->ShowFrame();
    EXPECT_TRUE(display::ScreenCopyChosen());
    EXPECT_EQ(framesShown, 0);
}

TEST(ScreenCopy, AdaptsToPitchAndFormat) {
    const int32_t w = 3, h = 2;
    const uint16_t screen[w * h] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410};
    {
        // Exact 16-bit rows: one run of whole 8-byte units (12 bytes -> 8).
        uint16_t bits[w * h];
        std::fill(std::begin(bits), std::end(bits), 0x1111);
        display::CopyScreen(screen, w, h, w * h * 2, bits, w * 2, d3d8::D3DFMT_R5G6B5);
        EXPECT_EQ(std::vector<uint16_t>(bits, bits + 6),
                  (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F, 0xFFFF, 0x1111, 0x1111}));
    }
    {
        // Wider rows: row by row, the padding untouched.
        uint16_t bits[4 * h];
        std::fill(std::begin(bits), std::end(bits), 0x1111);
        display::CopyScreen(screen, w, h, w * h * 2, bits, 8, d3d8::D3DFMT_R5G6B5);
        EXPECT_EQ(std::vector<uint16_t>(bits, bits + 8),
                  (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F, 0x1111, 0xFFFF, 0x0000, 0x8410,
                                         0x1111}));
    }
    {
        uint32_t bits[w * h] = {};
        display::CopyScreen(screen, w, h, w * h * 2, bits, w * 4, d3d8::D3DFMT_X8R8G8B8);
        EXPECT_EQ(std::vector<uint32_t>(bits, bits + 6),
                  (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu,
                                         0xFF000000u, 0xFF838183u}));
    }
    {
        uint8_t bits[w * 3 * h] = {};
        display::CopyScreen(screen, w, h, w * h * 2, bits, w * 3, d3d8::D3DFMT_R8G8B8);
        EXPECT_EQ(bits[0], 0);  // blue, green, red
        EXPECT_EQ(bits[2], 255);
        EXPECT_EQ(bits[3 + 1], 255);
        EXPECT_EQ(bits[6], 255);
    }
    {
        uint16_t bits[w * h] = {};
        display::CopyScreen(screen, w, h, w * h * 2, bits, w, d3d8::D3DFMT_R5G6B5);  // too narrow
        display::CopyScreen(screen, w, h, w * h * 2, bits, w * 2, d3d8::D3DFMT_D16);
        for (uint16_t b : bits) EXPECT_EQ(b, 0);
    }
}

// ---- fatal errors ----

void AtExitReport() {
    std::fprintf(stderr, "[device %s]\n", display::CurrentDevice() ? "held" : "released");
}

class DisplayDeathTest : public Display {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        Display::SetUp();
    }
};

TEST_F(DisplayDeathTest, FatalErrorsShowTheirTextAndEndWithCodeOne) {
    struct Case {
        uint32_t failure;
        const char* pattern;
    };
    const Case cases[] = {
        {d3d8::testing::kCreate,
         "KVR Kavreli V2\\.2 - ERROR: DirectDrawCreateEx FAILED\\. DirectX 8\\.0 required\n"
         "\\[window gone\\]\n\\[device released\\]"},
        {d3d8::testing::kDisplayMode,
         "KVR Kavreli V2\\.2 - ERROR: GetAdapterDisplayMode FAILED\\. DirectX 8\\.0 required\n"
         "\\[window gone\\]\n\\[device released\\]"},
        {d3d8::testing::kCreateDevice,
         "KVR Kavreli V2\\.2 - ERROR: CreateDevice FAILED\\. DirectX 8\\.0 required\n"
         "\\[window gone\\]\n\\[device released\\]"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                d3d8::testing::ForceFailure(c.failure);
                static os::Window* opened = nullptr;
                os::SetMessageBoxHook([](const char* text, const char* caption) {
                    std::fprintf(stderr, "%s: %s\n", caption, text);
                    // What the window's destroy handling will see next.
                    std::atexit([] {
                        std::fprintf(stderr, "[window %s]\n", os::IsWindow(opened) ? "open" : "gone");
                    });
                });
                std::atexit(&AtExitReport);
                e->OpenDisplay(640, 480, &opened, 0, 0);
                std::fprintf(stderr, "not reached\n");
            },
            ::testing::ExitedWithCode(1), c.pattern);
    }
}

TEST_F(DisplayDeathTest, NoWindowIsFatalWithItsOwnText) {
    EXPECT_EXIT(
        {
            os::FailWindowCreation(true);
            e->OpenDisplay(640, 480, &window, 0, 0);
        },
        ::testing::ExitedWithCode(1),
        "^KVR Kavreli V2\\.2 - ERROR: Can't Open Window\\. Strange Error!\\. Do you have more "
        "windows opened\\?        \n$");
}

}  // namespace
