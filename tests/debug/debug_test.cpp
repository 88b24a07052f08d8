// Diagnostics against the real viewer library, whose output goes to a log
// file named by TESSARY_VIEWER_LOG. Each test runs in its own process, so the
// module starts closed every time.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "engine/IEngine.h"
#include "engine/debug/Debug.h"
#include "platform/os/Clock.h"
#include "platform/os/Library.h"
#include "platform/os/SystemTime.h"

namespace {

class DebugTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessary_viewer_XXXXXX";
        const int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        logPath = pattern;
        setenv("TESSARY_VIEWER_LOG", logPath.c_str(), 1);
        engine = CreateEngine();
        ASSERT_NE(engine, nullptr);
    }
    void TearDown() override {
        DestroyEngine(engine);
        unlink(logPath.c_str());
    }

    // What the viewer wrote so far, one entry per line, without the title.
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        std::ifstream in(logPath);
        const std::string prefix = "[Tessary-DBG] ";
        for (std::string line; std::getline(in, line);) {
            EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
            out.push_back(line.substr(prefix.size()));
        }
        return out;
    }

    IEngine* engine = nullptr;
    std::string logPath;
};

using Lines = std::vector<std::string>;

TEST_F(DebugTest, EverythingIsOffBeforeOpen) {
    engine->DebugPrint("x=", 1, 10);
    debug::CountFrameAt(3);
    debug::CountFrameAt(3);
    engine->CountFrame();
    engine->DebugFlush();
    EXPECT_EQ(debug::PendingCount(), 0);
    EXPECT_TRUE(Sent().empty());

    // Nothing was counted while closed: the first flush has no rate line.
    engine->DebugOpen();
    engine->DebugFlush();
    EXPECT_EQ(Sent(), (Lines{"open 0 0 120 200", "clear", "Status Window"}));
}

TEST_F(DebugTest, PrintFollowsTheIntegerToTextRules) {
    engine->DebugOpen();
    struct Case {
        const char* label;
        int32_t value;
        int32_t radix;
        const char* line;
    };
    const Case cases[] = {
        {"x=", 255, 16, "x=ff"},
        {"x=", -5, 10, "x=-5"},
        {"x=", -1, 16, "x=ffffffff"},
        {"x=", -1, 2, "x=11111111111111111111111111111111"},
        {"b", 5, 2, "b101"},
        {"z", 35, 36, "zz"},
        {"m", INT32_MIN, 10, "m-2147483648"},
        {"o", -8, 8, "o37777777770"},
        {"", 0, 10, "0"},
        {"low8=", 255, 0x110, "low8=ff"},  // only the low 8 bits of the radix count
        {"bad", 7, 1, "bad"},              // no such radix: no digits
        {"bad", 7, 37, "bad"},
    };
    for (const Case& c : cases) engine->DebugPrint(c.label, c.value, c.radix);
    ASSERT_EQ(debug::PendingCount(), int(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_STREQ(debug::PendingLine(int(i)), cases[i].line) << "case " << i;
}

TEST_F(DebugTest, FlushSendsHeadingLinesAndRateInOrder) {
    engine->DebugOpen();
    debug::CountFrameAt(7);                       // new second: count restarts
    for (int i = 0; i < 5; ++i) debug::CountFrameAt(7);
    debug::CountFrameAt(8);                       // the rate of second 7 is 5
    debug::CountFrameAt(8);
    engine->DebugPrint("a=", 1, 10);
    engine->DebugPrint("b=", 2, 10);
    engine->DebugFlush();
    EXPECT_EQ(debug::PendingCount(), 0);
    EXPECT_EQ(Sent(), (Lines{"open 0 0 120 200", "clear", "Status Window", "a=1", "b=2",
                             "Frames/sec:5"}));

    // The first frame of a new second has counted nothing yet: no rate line.
    debug::CountFrameAt(9);
    engine->DebugPrint("c=", 3, 10);
    engine->DebugFlush();
    const Lines sent = Sent();
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_EQ(Lines(sent.begin() + 6, sent.end()), (Lines{"clear", "Status Window", "c=3"}));
}

TEST_F(DebugTest, RateIsOneLessThanTheFramesOfThePreviousSecond) {
    engine->DebugOpen();
    // 59 to 0 is a change of second like any other.
    for (int i = 0; i < 4; ++i) debug::CountFrameAt(59);  // first call restarts at 0
    debug::CountFrameAt(0);
    debug::CountFrameAt(0);
    engine->DebugFlush();
    EXPECT_EQ(Sent().back(), "Frames/sec:3");
}

TEST_F(DebugTest, PendingLinesAreBoundedAndCut) {
    engine->DebugOpen();
    const std::string longLabel(200, 'L');
    engine->DebugPrint(longLabel.c_str(), 42, 10);
    EXPECT_EQ(std::string(debug::PendingLine(0)), std::string(127, 'L'));
    const std::string label126(126, 'k');
    engine->DebugPrint(label126.c_str(), 42, 10);  // room for one digit only
    EXPECT_EQ(std::string(debug::PendingLine(1)), label126 + "4");

    for (int i = 2; i < 200; ++i) engine->DebugPrint("n=", i, 10);
    EXPECT_EQ(debug::PendingCount(), debug::kMaxPendingLines);
    EXPECT_STREQ(debug::PendingLine(127), "n=127");  // the 129th and later are dropped
    engine->DebugFlush();
    const Lines sent = Sent();
    ASSERT_EQ(sent.size(), 3u + 128u);
    EXPECT_EQ(sent.back(), "n=127");
}

TEST_F(DebugTest, CloseEndsTheViewerAndNothingIsSentAfterwards) {
    engine->DebugOpen();
    engine->DebugPrint("a=", 1, 10);
    engine->DebugFlush();
    engine->DebugClose();
    const Lines before = Sent();
    // Lines are still collected, but nothing calls into the unloaded library.
    engine->DebugPrint("b=", 2, 10);
    EXPECT_EQ(debug::PendingCount(), 1);
    engine->DebugFlush();
    EXPECT_EQ(debug::PendingCount(), 0);
    EXPECT_EQ(Sent(), before);
    engine->DebugClose();
}

TEST_F(DebugTest, CountFrameFollowsTheSystemTimeOnTheVirtualClock) {
    os::clock::UseVirtual(60, 1);  // system time starts at 00:00:00.000
    engine->DebugOpen();
    // 60 frames in second 0, then 60 in second 1, then two in second 2.
    for (int frame = 0; frame < 122; ++frame) {
        engine->CountFrame();
        os::clock::OnFramePresented();
    }
    engine->DebugFlush();
    EXPECT_EQ(Sent().back(), "Frames/sec:59");  // one less than the 60 calls of second 1
}

TEST(CountFrameTest, ReadsTheUtcSecondsOfTheSystemTime) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const time_t before = time(nullptr);
        os::SystemTime t;
        os::GetSystemTime(&t);
        const time_t after = time(nullptr);
        std::tm tm{};
        tm.tm_year = t.year - 1900;
        tm.tm_mon = t.month - 1;
        tm.tm_mday = t.day;
        tm.tm_hour = t.hour;
        tm.tm_min = t.minute;
        tm.tm_sec = t.second;
        const time_t read = timegm(&tm);
        std::tm check{};
        gmtime_r(&read, &check);
        EXPECT_EQ(check.tm_wday, t.dayOfWeek);
        EXPECT_LT(t.milliseconds, 1000);
        if (before != after) continue;  // a second passed in between: try again
        EXPECT_EQ(read, before);
        return;
    }
}

TEST(LibraryTest, NamesMapToSharedLibrariesAndMissingPartsGiveNull) {
    EXPECT_EQ(os::SharedLibraryFileName("visordll.dll"), "libvisordll.so");
    EXPECT_EQ(os::SharedLibraryFileName("VISORDLL.DLL"), "libVISORDLL.so");
    EXPECT_EQ(os::SharedLibraryFileName("sub\\x.dll"), "sub/libx.so");
    EXPECT_EQ(os::SharedLibraryFileName("libm.so.6"), "libm.so.6");

    EXPECT_EQ(os::LoadLibrary("no_such_library.dll"), nullptr);
    EXPECT_EQ(os::GetProcAddress(nullptr, "_CrearManager"), nullptr);
    os::FreeLibrary(nullptr);

    os::LibraryHandle viewer = os::LoadLibrary("visordll.dll");
    ASSERT_NE(viewer, nullptr) << "the viewer library is built beside the tests";
    for (const char* name : {"_CrearManager", "_CrearVisor", "_BorrarVisor", "_InsertarTexto",
                             "_BorrarTexto", "_TriedToClose", "_CerrarManager"})
        EXPECT_NE(os::GetProcAddress(viewer, name), nullptr) << name;
    EXPECT_EQ(os::GetProcAddress(viewer, "_NoSuchEntry"), nullptr);
    os::FreeLibrary(viewer);
}

}  // namespace
