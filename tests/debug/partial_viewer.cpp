// A viewer library that has only two of the seven entry points; the engine
// must not call through the five it lacks. It logs to TESSARY_VIEWER_LOG.
#include <cstdio>
#include <cstdlib>

#include "platform/viewer/Viewer.h"

namespace {
void Log(const char* text) {
    const char* path = std::getenv("TESSARY_VIEWER_LOG");
    if (FILE* f = path ? std::fopen(path, "a") : nullptr) {
        std::fprintf(f, "%s\n", text);
        std::fclose(f);
    }
}
}  // namespace

extern "C" __attribute__((visibility("default"))) void _CrearManager() { Log("manager"); }
extern "C" __attribute__((visibility("default"))) void _InsertarTexto(ViewerHandle viewer,
                                                                      const char* text) {
    char line[200];
    std::snprintf(line, sizeof line, "%d %s", viewer, text);
    Log(line);
}
