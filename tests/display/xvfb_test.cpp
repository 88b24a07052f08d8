// A real window on an X server of our own (Xvfb): open the display, present a
// known picture, and read the screen back with xwd. Skips when Xvfb cannot
// start (TESSARY_KEEP_XWD=1 keeps the screenshots in /tmp for a look).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/DisplayState.h"
#include "engine/IEngine.h"
#include "platform/d3d8/d3d8.h"
#include "platform/os/Window.h"
#include "platform/os/WindowImpl.h"

extern char** environ;

// The desktop libraries SDL brings in keep a few blocks for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\nleak:libX11.so\n"; }

namespace {

// An Xvfb of the given screen size on a display number it picks itself.
class XServer {
public:
    bool Start(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", screen,
                                         "-nolisten", "tcp", "-noreset"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            close(fds[0]);
            pid_ = -1;
            return false;
        }
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        setenv("DISPLAY", display_.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", "x11", 1);
        return true;
    }
    ~XServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// The root window as 0xRRGGBB pixels, read with xwd.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

bool Screenshot(const std::string& display, Shot* out) {
    const std::string path = "/tmp/tessary_xwd_" + std::to_string(getpid()) + ".xwd";
    const std::string command = "xwd -root -silent -display " + display + " > " + path;
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!std::getenv("TESSARY_KEEP_XWD")) std::remove(path.c_str());
    if (b.size() < 100) return false;
    const uint32_t headerSize = Be32(b, 0), bitsPerPixel = Be32(b, 4 * 11);
    const uint32_t width = Be32(b, 4 * 4), height = Be32(b, 4 * 5), byteOrder = Be32(b, 4 * 7);
    const uint32_t bytesPerLine = Be32(b, 4 * 12), colours = Be32(b, 4 * 19);
    const uint32_t redMask = Be32(b, 4 * 14), greenMask = Be32(b, 4 * 15), blueMask = Be32(b, 4 * 16);
    const size_t data = headerSize + size_t{colours} * 12;
    const uint32_t bytesPerPixel = bitsPerPixel / 8;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || bytesPerLine < width * bytesPerPixel || b.size() < data + size_t{bytesPerLine} * height) {
        std::fprintf(stderr, "unexpected xwd image: %u bits, %zu bytes\n", bitsPerPixel, b.size());
        return false;
    }
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->pixels.resize(size_t{width} * height);
    auto shift = [](uint32_t mask) { return __builtin_ctz(mask); };
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = data + size_t{y} * bytesPerLine + size_t{x} * bytesPerPixel;
            uint32_t v = 0;
            for (uint32_t i = 0; i < bytesPerPixel; ++i) {
                const uint32_t byte = b[at + i];
                v |= byteOrder == 0 ? byte << (8 * i) : byte << (8 * (bytesPerPixel - 1 - i));
            }
            const uint32_t r = (v & redMask) >> shift(redMask), g = (v & greenMask) >> shift(greenMask),
                           bl = (v & blueMask) >> shift(blueMask);
            out->pixels[size_t{y} * width + x] = r << 16 | g << 8 | bl;
        }
    return true;
}

// Quadrants: red, green / blue, white.
uint16_t Known(int x, int y, int w, int h) {
    const bool right = x >= w / 2, bottom = y >= h / 2;
    if (!bottom) return right ? 0x07E0 : 0xF800;
    return right ? 0xFFFF : 0x001F;
}

void PresentKnownPicture(IEngine* e) {
    d3d8::Device* device = display::CurrentDevice();
    ASSERT_NE(device, nullptr);
    d3d8::Surface* back = nullptr;
    ASSERT_GE(device->GetBackBuffer(0, d3d8::D3DBACKBUFFER_TYPE_MONO, &back), 0);
    d3d8::D3DLOCKED_RECT locked{};
    ASSERT_GE(back->LockRect(&locked, nullptr, 0), 0);
    const int w = display::Width(), h = display::Height();
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < w; ++x) row[x] = Known(x, y, w, h);
    }
    back->UnlockRect();
    back->Release();
    // Let the window appear and settle, presenting all the while.
    for (int i = 0; i < 30; ++i) {
        e->ProcessMessages();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool Near(uint32_t got, uint32_t want) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = (got >> shift) & 0xFF, b = (want >> shift) & 0xFF;
        if (std::abs(a - b) > 8) return false;
    }
    return true;
}

class RealWindow : public ::testing::Test {
protected:
    void StartServer(int width, int height) {
        if (!server.Start(width, height)) GTEST_SKIP() << "Xvfb could not start";
        e = CreateEngine();
        ASSERT_NE(e, nullptr);
        e->MemInit(4 * 1024 * 1024);
        e->Initialize(nullptr, os::SW_SHOWNORMAL);
    }
    void TearDown() override {
        if (e) DestroyEngine(e);
    }
    XServer server;
    IEngine* e = nullptr;
};

TEST_F(RealWindow, WindowedShowsThePictureOneToOneAtItsPosition) {
    StartServer(1024, 768);
    if (IsSkipped()) return;
    os::Window* window = nullptr;
    e->OpenDisplay(640, 480, &window, 1, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(os::IsOffscreen(window));
    PresentKnownPicture(e);
    Shot shot;
    ASSERT_TRUE(Screenshot(server.Display(), &shot));
    ASSERT_EQ(shot.width, 1024);
    // No window manager: the window's content sits exactly at 130,100.
    struct Probe {
        int x, y;
        uint32_t rgb;
    };
    const Probe probes[] = {{130 + 10, 100 + 10, 0xFF0000}, {130 + 630, 100 + 10, 0x00FF00},
                            {130 + 10, 100 + 470, 0x0000FF}, {130 + 630, 100 + 470, 0xFFFFFF},
                            {130 + 319, 100 + 239, 0xFF0000}, {130 + 320, 100 + 240, 0xFFFFFF}};
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(shot.At(p.x, p.y), p.rgb))
            << p.x << "," << p.y << ": got " << std::hex << shot.At(p.x, p.y) << " want " << p.rgb;
    EXPECT_FALSE(Near(shot.At(120, 90), 0xFF0000));  // outside the window
    e->CloseDisplay();
}

TEST_F(RealWindow, FullScreenScalesTheKeeps4To3CentredOnBlack) {
    StartServer(1024, 600);
    if (IsSkipped()) return;
    os::Window* window = nullptr;
    e->OpenDisplay(640, 480, &window, 0, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(os::IsFullscreen(window));
    PresentKnownPicture(e);
    Shot shot;
    ASSERT_TRUE(Screenshot(server.Display(), &shot));
    // 600 high at 4:3 is 800 wide: black bars of 112 on either side.
    struct Probe {
        int x, y;
        uint32_t rgb;
    };
    const Probe probes[] = {{50, 300, 0x000000},  {1000, 300, 0x000000}, {122, 10, 0xFF0000},
                            {902, 10, 0x00FF00},  {122, 590, 0x0000FF},  {902, 590, 0xFFFFFF},
                            {505, 290, 0xFF0000}, {519, 310, 0xFFFFFF}};
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(shot.At(p.x, p.y), p.rgb))
            << p.x << "," << p.y << ": got " << std::hex << shot.At(p.x, p.y) << " want " << p.rgb;

    // The mouse reads in picture pixels, also over the black bars.
    struct Move {
        int x, y, pictureX, pictureY;
    };
    for (Move m : {Move{112 + 400, 300, 320, 240}, Move{112, 0, 0, 0}, Move{50, 599, -50, 479}}) {
        SDL_Event motion{};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.windowID = SDL_GetWindowID(window->sdl);
        motion.motion.x = m.x;
        motion.motion.y = m.y;
        SDL_PushEvent(&motion);
        while (os::PendingMessages() > 0 || SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) e->ProcessMessages();
        EXPECT_EQ(e->GetMouseX(), m.pictureX) << m.x;
        EXPECT_EQ(e->GetMouseY(), m.pictureY) << m.y;
    }
    e->CloseDisplay();
}

TEST_F(RealWindow, IntegerScalingCentresThePictureAtWholeSteps) {
    setenv("TESSARY_INTEGER_SCALE", "1", 1);
    StartServer(1024, 600);
    if (IsSkipped()) return;
    os::Window* window = nullptr;
    e->OpenDisplay(640, 480, &window, 0, 0);
    PresentKnownPicture(e);
    Shot shot;
    ASSERT_TRUE(Screenshot(server.Display(), &shot));
    // Scale 1: 640 x 480 at 192, 60.
    struct Probe {
        int x, y;
        uint32_t rgb;
    };
    const Probe probes[] = {{191, 300, 0x000000}, {192, 60, 0xFF0000},  {831, 60, 0x00FF00},
                            {832, 300, 0x000000}, {192, 539, 0x0000FF}, {831, 539, 0xFFFFFF},
                            {500, 59, 0x000000},  {500, 540, 0x000000}};
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(shot.At(p.x, p.y), p.rgb))
            << p.x << "," << p.y << ": got " << std::hex << shot.At(p.x, p.y) << " want " << p.rgb;
    e->CloseDisplay();
}

}  // namespace
