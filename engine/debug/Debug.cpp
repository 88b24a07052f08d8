// Diagnostics: the optional debug text viewer ("visordll.dll"), a buffer of
// labelled numbers sent at each flush, and a frames-per-second counter that
// follows the seconds of the UTC system time. Everything is off until
// DebugOpen; nothing is ever called through an entry point that did not load.
#include "engine/debug/Debug.h"

#include <cstring>

#include "engine/Engine.h"
#include "platform/os/Library.h"
#include "platform/os/SystemTime.h"
#include "platform/viewer/Viewer.h"

namespace debug {
namespace {

struct DebugState {
    int32_t enabled = 0;
    os::LibraryHandle library = nullptr;
    CrearManagerFn crearManager = nullptr;
    CrearVisorFn crearVisor = nullptr;
    BorrarVisorFn borrarVisor = nullptr;
    InsertarTextoFn insertarTexto = nullptr;
    BorrarTextoFn borrarTexto = nullptr;
    TriedToCloseFn triedToClose = nullptr;
    CerrarManagerFn cerrarManager = nullptr;
    ViewerHandle viewer = 0;
    char lines[kMaxPendingLines][kLineBytes] = {};
    int32_t pendingCount = 0;
    uint16_t lastSecond = 0;
    int32_t framesThisSecond = 0;
    int32_t framesPerSecond = 0;
};
DebugState state;

constexpr const char* kTitle = "Tessary-DBG";
constexpr ViewerPlacement kPlacement = {0, 0, 120, 200};

template <typename Fn>
Fn Resolve(const char* name) {
    return reinterpret_cast<Fn>(os::GetProcAddress(state.library, name));
}

// The C library's integer-to-text rules: lower-case digits, a minus sign only
// in radix 10, other radices show the 32-bit unsigned form. A radix outside
// 2..36 gives no digits.
void FormatValue(int32_t value, int radix, char* out) {
    out[0] = '\0';
    if (radix < 2 || radix > 36) return;
    char digits[40];
    int n = 0;
    const bool negative = radix == 10 && value < 0;
    uint32_t v = negative ? 0u - uint32_t(value) : uint32_t(value);
    do {
        const uint32_t d = v % uint32_t(radix);
        digits[n++] = char(d < 10 ? '0' + d : 'a' + (d - 10));
        v /= uint32_t(radix);
    } while (v);
    int at = 0;
    if (negative) out[at++] = '-';
    while (n) out[at++] = digits[--n];
    out[at] = '\0';
}

}  // namespace

void CountFrameAt(uint16_t second) {
    if (!state.enabled) return;
    if (second == state.lastSecond) {
        ++state.framesThisSecond;
    } else {
        state.lastSecond = second;
        state.framesPerSecond = state.framesThisSecond;
        state.framesThisSecond = 0;
    }
}

int PendingCount() { return state.pendingCount; }
const char* PendingLine(int index) { return state.lines[index]; }

}  // namespace debug

using debug::state;

void Engine::DebugOpen() {
    state.enabled = 1;
    if (state.library) return;  // already open
    state.library = os::LoadLibrary("visordll.dll");
    if (!state.library) return;
    state.crearManager = debug::Resolve<CrearManagerFn>("_CrearManager");
    state.crearVisor = debug::Resolve<CrearVisorFn>("_CrearVisor");
    state.borrarVisor = debug::Resolve<BorrarVisorFn>("_BorrarVisor");
    state.insertarTexto = debug::Resolve<InsertarTextoFn>("_InsertarTexto");
    state.borrarTexto = debug::Resolve<BorrarTextoFn>("_BorrarTexto");
    state.triedToClose = debug::Resolve<TriedToCloseFn>("_TriedToClose");
    state.cerrarManager = debug::Resolve<CerrarManagerFn>("_CerrarManager");
    if (state.crearManager) state.crearManager();
    if (state.crearVisor) state.viewer = state.crearVisor(debug::kTitle, debug::kPlacement);
}

void Engine::DebugClose() {
    if (!state.enabled || !state.library) return;
    if (state.cerrarManager) state.cerrarManager();
    os::FreeLibrary(state.library);
    // Later calls go on as without a viewer: nothing points into the library.
    state.library = nullptr;
    state.crearManager = nullptr;
    state.crearVisor = nullptr;
    state.borrarVisor = nullptr;
    state.insertarTexto = nullptr;
    state.borrarTexto = nullptr;
    state.triedToClose = nullptr;
    state.cerrarManager = nullptr;
    state.viewer = 0;
}

void Engine::DebugPrint(const char* text, int32_t value, int32_t radix) {
    if (!state.enabled) return;
    // Lines past the 128th of a frame are dropped; long lines are cut at 127.
    if (state.pendingCount >= debug::kMaxPendingLines) return;
    char digits[40];
    debug::FormatValue(value, radix & 0xFF, digits);
    char* line = state.lines[state.pendingCount];
    size_t at = 0;
    for (const char* p = text ? text : ""; *p && at < debug::kLineBytes - 1; ++p) line[at++] = *p;
    for (const char* p = digits; *p && at < debug::kLineBytes - 1; ++p) line[at++] = *p;
    line[at] = '\0';
    ++state.pendingCount;
}

void Engine::DebugFlush() {
    if (!state.enabled) return;
    if (state.borrarTexto) state.borrarTexto(state.viewer);
    if (state.insertarTexto) state.insertarTexto(state.viewer, "Status Window");
    if (state.framesThisSecond != 0) DebugPrint("Frames/sec:", state.framesPerSecond, 10);
    if (state.insertarTexto)
        for (int i = 0; i < state.pendingCount; ++i)
            state.insertarTexto(state.viewer, state.lines[i]);
    state.pendingCount = 0;
}

void Engine::CountFrame() {
    if (!state.enabled) return;
    os::SystemTime now;
    os::GetSystemTime(&now);
    debug::CountFrameAt(now.second);
}
