// The program entry. With a display the demo plays; without one (no X11 or
// Wayland display named) the same command hands over to tessary-capture
// beside it, which renders the demo to a video file in the current directory
// and says where. The demo runs from the directory it lies in, where its
// data/ folder is.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/Demo.h"

namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    std::string dir(path, static_cast<size_t>(n));
    return dir.substr(0, dir.rfind('/') + 1);
}

}  // namespace

int main() {
    if (!HasDisplay()) {
        const std::string capture = ExecutableDirectory() + "tessary-capture";
        std::fprintf(stderr, "tessary: no display; rendering the demo to a video file instead\n");
        char* const args[] = {const_cast<char*>(capture.c_str()), nullptr};
        execv(capture.c_str(), args);
        std::perror(("tessary: cannot run " + capture).c_str());
    }
    demo::UseExecutableDirectory();
    return demo::Run(nullptr, 1);
}
