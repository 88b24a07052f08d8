// The diagnostics with a viewer that lacks entry points, and with none at
// all. The same tests run from two directories: one holds a partial
// libvisordll.so beside the test binary, the other holds none.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/IEngine.h"
#include "engine/debug/Debug.h"

namespace {

std::vector<std::string> RunAndRead(IEngine* engine, const std::string& log) {
    engine->DebugOpen();
    debug::CountFrameAt(5);
    debug::CountFrameAt(5);
    engine->DebugPrint("v=", 9, 10);
    engine->DebugFlush();
    engine->DebugClose();
    engine->DebugPrint("w=", 1, 10);
    engine->DebugFlush();
    std::vector<std::string> lines;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ViewerVariantsTest, MissingEntryPointsAreNotCalled) {
    char pattern[] = "/tmp/tessary_viewer_XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    setenv("TESSARY_VIEWER_LOG", pattern, 1);
    IEngine* engine = CreateEngine();
    const std::vector<std::string> lines = RunAndRead(engine, pattern);
    DestroyEngine(engine);
    unlink(pattern);
#ifdef TESSARY_PARTIAL_VIEWER
    // No _CrearVisor: the viewer handle stays 0; no _BorrarTexto, no _CerrarManager.
    EXPECT_EQ(lines, (std::vector<std::string>{"manager", "0 Status Window", "0 v=9",
                                               "0 Frames/sec:0"}));
#else
    // No library at all: lines are collected and dropped, nothing is sent.
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(debug::PendingCount(), 0);
#endif
}

}  // namespace
