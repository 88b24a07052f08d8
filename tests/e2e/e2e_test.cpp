// The whole demo, start-up to shut-down, on the virtual clock and the real
// generated data: the scenes in order, each ending on the first music
// position past its end; Escape at moments all over the run; the window
// losing and regaining activation; data files missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "demo/Demo.h"
#include "tests/e2e/E2e.h"

namespace e2e {
namespace {
namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

const char* const kSceneOrder[6] = {"opening", "logo", "landscape", "mesh", "city", "cake"};
const std::map<std::string, uint32_t> kEnds = {{"opening", demo::kOpeningEnd},
                                               {"logo", demo::kLogoEnd},
                                               {"landscape", demo::kLandscapeEnd},
                                               {"mesh", demo::kMeshEnd},
                                               {"city", demo::kCityEnd}};

std::string BoxList(const DemoRun& run) {
    std::string s;
    for (const auto& b : run.boxes) s += "[" + b.caption + ": " + b.text + " in " + b.scene + "] ";
    return s;
}

// What the run went through, for failure messages.
std::string Story(const DemoRun& run) {
    std::string s = "scenes:";
    for (const auto& sc : run.result.scenes)
        s += " " + sc.name + "@" + std::to_string(sc.firstSeenNanos / 1000000) + "ms";
    s += "; ended at " + std::to_string(run.result.endNanos / 1000000) + "ms after " +
         std::to_string(run.presents.size()) + " presents; exit " +
         std::to_string(run.result.exitCode);
    return s;
}

// Scenes in the order their presents came, each once.
std::vector<std::string> SceneSequence(const DemoRun& run) {
    std::vector<std::string> seq;
    for (const auto& p : run.presents)
        if (seq.empty() || seq.back() != p.scene) seq.push_back(p.scene);
    return seq;
}

void ExpectHeapBalanced(const DemoRun& run) {
    for (const auto& s : run.steps) {
        if (!s.freed) continue;
        EXPECT_EQ(s.freeAfterFree, s.freeBeforeLoad)
            << s.scene << ": free space before its load step and after its free step";
    }
}

TEST(E2eFullRun, ScenesInOrderEachEndingAtTheFirstPositionPastItsEnd) {
    RunOptions o;
    o.escape = "cake+3";
    const DemoRun run = RunDemo(o);
    const auto& r = run.result;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(run.boxes.empty()) << BoxList(run);

    EXPECT_EQ(SceneSequence(run),
              std::vector<std::string>(std::begin(kSceneOrder), std::end(kSceneOrder)));
    // The 5-second wait: nothing is presented before the music starts.
    ASSERT_FALSE(run.presents.empty());
    EXPECT_GE(run.presents.front().atNanos, 5'000'000'000u);

    // A present shows the position read at the end of the frame before: all
    // of a scene's presents but its first show positions not past its end,
    // and the next scene's first present shows the reading that ended it.
    for (size_t i = 0; i + 1 < run.presents.size(); ++i) {
        const Present& p = run.presents[i];
        const Present& next = run.presents[i + 1];
        if (!kEnds.count(p.scene)) continue;
        const uint32_t end = kEnds.at(p.scene);
        const bool firstOfScene = i == 0 || run.presents[i - 1].scene != p.scene;
        if (next.scene == p.scene) {
            if (!firstOfScene) {
                EXPECT_LE(p.lastMusicPosition, end) << p.scene << " at " << p.atNanos;
            }
        } else if (p.scene == "opening" && p.syncCounter == 5 && next.lastMusicPosition <= end) {
            // The opening may also end on its fifth text.
        } else {
            EXPECT_GT(next.lastMusicPosition, end) << p.scene << " ended at " << next.atNanos;
            if (!firstOfScene) {
                EXPECT_LE(p.lastMusicPosition, end) << p.scene << ": ended late";
            }
        }
    }
    ASSERT_EQ(run.steps.size(), 6u);
    for (const auto& s : run.steps) {
        EXPECT_TRUE(s.loaded && s.ran) << s.scene;
        EXPECT_LT(s.freeAfterLoad, s.freeBeforeLoad) << s.scene << " loaded nothing from the heap";
    }
    // The cake runs until Escape and is not freed.
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(run.steps[i].freed) << run.steps[i].scene;
    EXPECT_FALSE(run.steps[5].freed);
    ExpectHeapBalanced(run);

    // Escape came 3 s into the cake and the run ended with it.
    ASSERT_EQ(r.scenes.back().name, "cake");
    const uint64_t escape = r.scenes.back().firstSeenNanos + 3'000'000'000u;
    EXPECT_GE(r.endNanos, escape);
    EXPECT_LT(r.endNanos, escape + 100'000'000u);
}

// Escape at a moment, for moments all over the run.
struct EscapeCase {
    const char* name;
    const char* moment;        // empty: see beforeLoadOf
    int beforeLoadOf;          // Escape posted as this scene's load begins
    bool inSanitizedBuild;
};

void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.name << " (" << (c.moment[0] ? c.moment : "before a load") << ")";
}

class E2eEscape : public testing::TestWithParam<EscapeCase> {};

TEST_P(E2eEscape, EndsTheRunCleanly) {
    const EscapeCase& c = GetParam();
    if (kSanitized && !c.inSanitizedBuild) GTEST_SKIP() << "long run: normal build only";
    RunOptions o;
    o.escapeBeforeLoadOf = c.beforeLoadOf;
    if (c.moment[0]) o.escape = c.moment;
    if (!c.moment[0]) o.end = "cake+30";  // the load-step Escape must end it long before
    const DemoRun run = RunDemo(o);
    const auto& r = run.result;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(run.boxes.empty()) << BoxList(run);
    // No frame after the one where Escape was seen, and nothing freed twice
    // or left unbalanced in the scenes that did free.
    ExpectHeapBalanced(run);
    if (c.beforeLoadOf > 0) {
        // The scene whose load saw Escape pending runs no frame.
        for (const auto& p : run.presents) EXPECT_NE(p.scene, kSceneOrder[c.beforeLoadOf]);
        ASSERT_FALSE(run.steps.empty());
        EXPECT_EQ(run.steps.back().scene, kSceneOrder[c.beforeLoadOf]);
    } else {
        ASSERT_FALSE(r.inputTimes.empty()) << "Escape was never posted; " << Story(run);
        const uint64_t posted = r.inputTimes.back();
        for (const auto& p : run.presents) EXPECT_LE(p.atNanos, posted + 20'000'000u);
        EXPECT_LT(r.endNanos, posted + 250'000'000u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Moments, E2eEscape,
    testing::Values(EscapeCase{"AtOnce", "0", 0, true},
                    EscapeCase{"InTheStartUpWait", "2.5", 0, true},
                    EscapeCase{"AsTheMusicStarts", "5", 0, true},
                    EscapeCase{"InTheOpeningsFirstFlight", "opening+5.3", 0, true},
                    EscapeCase{"InTheOpeningsFirstRest", "opening+7", 0, false},
                    EscapeCase{"LateInTheOpening", "opening+16", 0, false},
                    EscapeCase{"InTheLogo", "logo+2", 0, false},
                    EscapeCase{"DuringTheLogosLoad", "", 1, true},
                    EscapeCase{"InTheLandscape", "landscape+3", 0, false},
                    EscapeCase{"DuringTheMeshsLoad", "", 3, false},
                    EscapeCase{"InTheMesh", "mesh+1", 0, false},
                    EscapeCase{"InTheCity", "city+4", 0, false},
                    EscapeCase{"DuringTheCakesLoad", "", 5, false},
                    EscapeCase{"AtTheCakesFirstFrame", "cake", 0, false}),
    [](const testing::TestParamInfo<EscapeCase>& i) { return std::string(i.param.name); });

TEST(E2eActivation, DeactivatedForSecondsMidSceneThenRestored) {
    if (kSanitized) GTEST_SKIP() << "long run: normal build only";
    RunOptions o;
    o.escape = "cake+1";
    o.inputs = {{At("landscape+3"), capture::ScriptedInput::Kind::kDeactivate},
                {At("landscape+7"), capture::ScriptedInput::Kind::kActivate}};
    const DemoRun run = RunDemo(o);
    const auto& r = run.result;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(run.boxes.empty()) << BoxList(run);
    ASSERT_GE(r.inputTimes.size(), 3u);
    const uint64_t off = r.inputTimes[0], on = r.inputTimes[1];
    EXPECT_GE(on - off, 3'900'000'000u);
    // Nothing is shown while inactive; showing resumes once active.
    size_t during = 0, after = 0;
    for (const auto& p : run.presents) {
        if (p.atNanos > off + 20'000'000u && p.atNanos < on) ++during;
        if (p.atNanos > on && p.scene == "landscape") ++after;
    }
    EXPECT_EQ(during, 0u);
    EXPECT_GT(after, 10u);
    EXPECT_EQ(SceneSequence(run),
              std::vector<std::string>(std::begin(kSceneOrder), std::end(kSceneOrder)));
    ExpectHeapBalanced(run);
    // Its end still follows the music.
    for (size_t i = 0; i + 1 < run.presents.size(); ++i) {
        if (run.presents[i].scene == "landscape" && run.presents[i + 1].scene == "mesh") {
            EXPECT_GT(run.presents[i + 1].lastMusicPosition, demo::kLandscapeEnd);
        }
    }
}

// Every file the demo reads, each missing in turn.
class E2eMissingFile : public testing::TestWithParam<const char*> {};

TEST_P(E2eMissingFile, IsReportedAndTheDemoGoesOnToTheCake) {
    const std::string missing = GetParam();
    const bool keepInSanitized = missing == "textos2.jpg" || missing == "malla.3do";
    if (kSanitized && !keepInSanitized) GTEST_SKIP() << "long run: normal build only";
    const fs::path source = DataDir();
    if (!fs::exists(source / missing)) GTEST_SKIP() << missing << " is not generated yet";
    const fs::path root = fs::temp_directory_path() / ("tessary-e2e-missing-" + missing);
    fs::remove_all(root);
    fs::create_directories(root / "data");
    for (const auto& e : fs::directory_iterator(source))
        if (e.path().filename() != missing)
            fs::create_symlink(fs::absolute(e.path()), root / "data" / e.path().filename());

    RunOptions o;
    o.escape = "cake+0.5";
    o.dataDir = (root / "data").string();
    const DemoRun run = RunDemo(o);
    fs::remove_all(root);
    const auto& r = run.result;
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_FALSE(r.scenes.empty());
    EXPECT_EQ(r.scenes.back().name, "cake") << "the demo did not reach the cake";
    ExpectHeapBalanced(run);
    if (missing == "Pavonel2.xm") {
        // The music is the sound layer's: it says so on standard error only.
        EXPECT_TRUE(run.boxes.empty()) << BoxList(run);
        return;
    }
    ASSERT_FALSE(run.boxes.empty()) << "no message box for the missing " << missing;
    for (const auto& b : run.boxes) EXPECT_EQ(b.caption, "TFS TESSARY") << BoxList(run);
}

INSTANTIATE_TEST_SUITE_P(
    Files, E2eMissingFile,
    testing::Values("Pavonel2.xm", "panel.3do", "textos1.jpg", "textos2.jpg", "textos3.jpg",
                    "textos4.jpg", "textos5.jpg", "zornalogo.jpg", "land01.3do", "landtext.jpg",
                    "malla.3do", "sphere03.3do", "deforme.jpg", "deforme2.jpg", "bicho.3do",
                    "city01.3do", "city02.3do", "sphere02.3do", "cartel.3do", "skin.jpg",
                    "build.jpg", "cielo.jpg", "tierra.jpg", "credit01.jpg", "credit02.jpg",
                    "credit03.jpg", "credit04.jpg", "credit05.jpg", "credit06.jpg", "greet1.jpg",
                    "greet2.jpg", "greet3.jpg", "greet4.jpg", "greet5.jpg", "greet6.jpg",
                    "greet7.jpg", "greet8.jpg", "greet9.jpg", "greet10.jpg", "fondo.3do",
                    "tarta.3do", "velas.3do", "tarta.jpg", "llama.jpg", "pcr.jpg"),
    [](const testing::TestParamInfo<const char*>& i) {
        std::string n = i.param;
        std::replace(n.begin(), n.end(), '.', '_');
        return n;
    });

}  // namespace
}  // namespace e2e
