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
#include "tools/capture/Image.h"

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

#define REQUIRE_DATA()                                                               \
    do {                                                                            \
        const std::string missing = MissingData();                                  \
        if (!missing.empty()) GTEST_SKIP() << "data not generated yet: " << missing; \
    } while (0)

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

// One frame per scene at fixed moments, compared with stored images. Refresh
// them (after a deliberate change of a scene, the renderer or the data) with
//   TESSARY_REFRESH_REFERENCES=1 build/bin/e2e_test --gtest_filter='E2eFullRun.*'
// and look at them before committing.
struct Reference {
    const char* scene;
    const char* moment;
};
const Reference kReferences[] = {{"opening", "opening+6"},     {"logo", "logo+3"},
                                 {"landscape", "landscape+4"}, {"mesh", "mesh+4"},
                                 {"city", "city+6"},           {"cake", "cake+2"}};

void CompareWithReferences(const fs::path& dir) {
    std::vector<fs::path> frames;
    for (const auto& e : fs::directory_iterator(dir)) frames.push_back(e.path());
    std::sort(frames.begin(), frames.end());
    ASSERT_EQ(frames.size(), std::size(kReferences));
    const bool refresh = std::getenv("TESSARY_REFRESH_REFERENCES") != nullptr;
    for (size_t i = 0; i < frames.size(); ++i) {
        const fs::path stored =
            fs::path(TESSARY_REFERENCE_DIR) / (std::string(kReferences[i].scene) + ".png");
        if (refresh) {
            fs::create_directories(stored.parent_path());
            fs::copy_file(frames[i], stored, fs::copy_options::overwrite_existing);
            continue;
        }
        capture::Rgb24Image got, want;
        std::string error;
        ASSERT_TRUE(capture::ReadPng(frames[i].string(), got, error)) << error;
        ASSERT_TRUE(capture::ReadPng(stored.string(), want, error))
            << error << " (refresh with TESSARY_REFRESH_REFERENCES=1)";
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        // Frames are exact from run to run; the tolerance only forgives a few
        // values rounded differently by another compiler or build type.
        size_t far = 0;
        uint64_t total = 0;
        for (size_t k = 0; k < got.pixels.size(); ++k) {
            const int d = std::abs(int{got.pixels[k]} - int{want.pixels[k]});
            total += static_cast<uint64_t>(d);
            if (d > 24) ++far;
        }
        const double mean = static_cast<double>(total) / static_cast<double>(got.pixels.size());
        EXPECT_LT(far, got.pixels.size() / 500)
            << kReferences[i].scene << ": " << far << " channel values far off";
        EXPECT_LT(mean, 1.0) << kReferences[i].scene << ": mean difference " << mean;
    }
}

TEST(E2eFullRun, ScenesInOrderEachEndingAtTheFirstPositionPastItsEnd) {
    REQUIRE_DATA();
    const fs::path dir = fs::temp_directory_path() / "tessary-e2e-reference";
    fs::remove_all(dir);
    RunOptions o;
    o.escape = "cake+3";
    for (const auto& r : kReferences) o.frames.push_back({std::nullopt, At(r.moment)});
    o.framesDir = dir.string();
    const DemoRun run = RunDemo(o);
    CompareWithReferences(dir);
    fs::remove_all(dir);
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
    EXPECT_LT(r.endNanos, escape + 100'000'000u) << Story(run);
}

// Escape at a moment, for moments all over the run.
struct EscapeCase {
    const char* name;
    const char* moment;        // empty: see beforeLoadOf
    int beforeLoadOf;          // Escape posted as this scene's load begins
    bool inSanitizedBuild;
};

}  // namespace
void PrintTo(const DataFile& f, std::ostream* os) { *os << f.name; }
namespace {

void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.name << " (" << (c.moment[0] ? c.moment : "before a load") << ")";
}

class E2eEscape : public testing::TestWithParam<EscapeCase> {};

TEST_P(E2eEscape, EndsTheRunCleanly) {
    const EscapeCase& c = GetParam();
    if (kSanitized && !c.inSanitizedBuild) GTEST_SKIP() << "long run: normal build only";
    REQUIRE_DATA();
    RunOptions o;
    o.rate = {20, 1};  // fewer frames to draw; the moments are the same
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
        for (const auto& p : run.presents) EXPECT_LE(p.atNanos, posted + 50'000'000u);
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
    REQUIRE_DATA();
    RunOptions o;
    o.rate = {30, 1};
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
        if (p.atNanos > off + 40'000'000u && p.atNanos < on) ++during;
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

// Every file the demo reads, each missing in turn: an object file's open fails
// with a message box (a texture's loader reports nothing), and the demo gets
// past the scene that wanted it: Escape half a second into the next scene (for
// the cake's files, into the cake). One run with every file of the scenes
// missing at once goes all the way to the cake.
fs::path DataWithout(const std::vector<std::string>& missing, const std::string& tag) {
    const fs::path source = DataDir();
    const fs::path root = fs::temp_directory_path() / ("tessary-e2e-missing-" + tag);
    fs::remove_all(root);
    fs::create_directories(root / "data");
    for (const auto& e : fs::directory_iterator(source)) {
        const std::string name = e.path().filename().string();
        if (std::find(missing.begin(), missing.end(), name) == missing.end())
            fs::create_symlink(fs::absolute(e.path()), root / "data" / name);
    }
    return root / "data";
}

class E2eMissingFile : public testing::TestWithParam<DataFile> {};

TEST_P(E2eMissingFile, IsReportedAndTheDemoGetsPastItsScene) {
    const std::string missing = GetParam().name;
    const std::string scene = GetParam().scene;
    const bool keepInSanitized = missing == "panel.3do" || missing == "zornalogo.jpg";
    if (kSanitized && !keepInSanitized) GTEST_SKIP() << "long run: normal build only";
    REQUIRE_DATA();
    const fs::path data = DataWithout({missing}, missing);
    RunOptions o;
    o.rate = {12, 1};
    const auto at = std::find(std::begin(kSceneOrder), std::end(kSceneOrder), scene);
    const bool last = at == std::end(kSceneOrder) || at + 1 == std::end(kSceneOrder);
    o.escape = (last ? std::string("cake") : std::string(*(at + 1))) + "+0.5";
    o.dataDir = data.string();
    const DemoRun run = RunDemo(o);
    fs::remove_all(data.parent_path());
    const auto& r = run.result;
    EXPECT_EQ(r.exitCode, 0);
    ExpectHeapBalanced(run);
    ASSERT_FALSE(r.scenes.empty());
    const std::string reached = last ? "cake" : *(at + 1);
    EXPECT_EQ(r.scenes.back().name, reached) << Story(run);
    EXPECT_FALSE(r.inputTimes.empty()) << "Escape was never posted; " << Story(run);
    if (missing.ends_with(".3do")) {
        ASSERT_FALSE(run.boxes.empty()) << "no message box for the missing " << missing;
        for (const auto& b : run.boxes) {
            EXPECT_EQ(b.caption, "TFS TESSARY") << BoxList(run);
            // (panel.3do serves the logo too.)
            EXPECT_TRUE(b.scene == scene || b.scene == reached) << BoxList(run);
        }
    } else {
        // The music is the sound layer's (it says so on standard error) and
        // the texture loader's result is not tested: no message box.
        EXPECT_TRUE(run.boxes.empty()) << BoxList(run);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, E2eMissingFile, testing::ValuesIn(kDataFiles),
                         [](const testing::TestParamInfo<DataFile>& i) {
                             std::string n = i.param.name;
                             std::replace(n.begin(), n.end(), '.', '_');
                             return n;
                         });

TEST(E2eMissingFiles, EverySceneFileMissingTheDemoStillReachesTheCakeAndEndsOnEscape) {
    if (kSanitized) GTEST_SKIP() << "long run: normal build only";
    REQUIRE_DATA();
    std::vector<std::string> missing;
    size_t objects = 0;
    for (const DataFile& f : kDataFiles) {
        if (!f.scene[0]) continue;
        missing.push_back(f.name);
        objects += std::string(f.name).ends_with(".3do");
    }
    const fs::path data = DataWithout(missing, "all");
    RunOptions o;
    o.rate = {12, 1};
    o.escape = "cake+1";
    o.dataDir = data.string();
    const DemoRun run = RunDemo(o);
    fs::remove_all(data.parent_path());
    EXPECT_EQ(run.result.exitCode, 0);
    EXPECT_EQ(SceneSequence(run),
              std::vector<std::string>(std::begin(kSceneOrder), std::end(kSceneOrder)))
        << Story(run);
    EXPECT_GE(run.boxes.size(), objects) << BoxList(run);
    for (const auto& b : run.boxes) EXPECT_EQ(b.caption, "TFS TESSARY");
    ExpectHeapBalanced(run);
    ASSERT_FALSE(run.result.inputTimes.empty());
    EXPECT_LT(run.result.endNanos, run.result.inputTimes.back() + 250'000'000u);
}

}  // namespace
}  // namespace e2e
