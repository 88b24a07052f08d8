// visordll: the debug text viewer. It keeps up to 16 viewers, each with a
// title, and writes every call it gets as one line of text.
#include "platform/viewer/Viewer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#define VIEWER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kMaxViewers = 16;

struct ViewerState {
    std::mutex lock;
    FILE* out = nullptr;  // stderr or the log file
    bool ownsOut = false;
    std::string titles[kMaxViewers + 1];  // index 0 unused: 0 is no viewer
    bool used[kMaxViewers + 1] = {};
};
ViewerState state;

FILE* Out() {
    if (!state.out) state.out = stderr;
    return state.out;
}

void WriteLine(ViewerHandle viewer, const char* text) {
    const bool known = viewer > 0 && viewer <= kMaxViewers && state.used[viewer];
    std::fprintf(Out(), "[%s] %s\n", known ? state.titles[viewer].c_str() : "?", text);
    std::fflush(Out());
}

}  // namespace

VIEWER_EXPORT void _CrearManager() {
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.out) return;
    const char* path = std::getenv("TESSARY_VIEWER_LOG");
    if (path && *path) {
        if (FILE* f = std::fopen(path, "a")) {
            state.out = f;
            state.ownsOut = true;
            return;
        }
    }
    state.out = stderr;
}

VIEWER_EXPORT ViewerHandle _CrearVisor(const char* title, ViewerPlacement placement) {
    std::lock_guard<std::mutex> hold(state.lock);
    for (int i = 1; i <= kMaxViewers; ++i) {
        if (state.used[i]) continue;
        state.used[i] = true;
        state.titles[i] = title ? title : "";
        char line[96];
        std::snprintf(line, sizeof line, "open %d %d %d %d", placement.x, placement.y,
                      placement.width, placement.height);
        WriteLine(i, line);
        return i;
    }
    return 0;
}

VIEWER_EXPORT void _BorrarVisor(ViewerHandle viewer) {
    std::lock_guard<std::mutex> hold(state.lock);
    if (viewer <= 0 || viewer > kMaxViewers || !state.used[viewer]) return;
    WriteLine(viewer, "close");
    state.used[viewer] = false;
}

VIEWER_EXPORT void _InsertarTexto(ViewerHandle viewer, const char* text) {
    std::lock_guard<std::mutex> hold(state.lock);
    WriteLine(viewer, text ? text : "");
}

VIEWER_EXPORT void _BorrarTexto(ViewerHandle viewer) {
    std::lock_guard<std::mutex> hold(state.lock);
    WriteLine(viewer, "clear");
}

// Nobody can close a viewer that has no window.
VIEWER_EXPORT int32_t _TriedToClose(ViewerHandle /*viewer*/) { return 0; }

VIEWER_EXPORT void _CerrarManager() {
    std::lock_guard<std::mutex> hold(state.lock);
    for (int i = 1; i <= kMaxViewers; ++i) state.used[i] = false;
    if (state.out && state.ownsOut) std::fclose(state.out);
    state.out = nullptr;
    state.ownsOut = false;
}
