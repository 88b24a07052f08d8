// What every scene shares: the end position ends a scene only when passed,
// Escape leaves at the first check, and the free step frees all the load
// step made.
#include <algorithm>
#include <iterator>

#include "demo/SceneTicks.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;

struct SceneCase {
    const demo::Scene* scene;
    uint32_t end;  // 0: follows no music
    bool ticks;
};

const SceneCase kScenes[] = {
    {&demo::kOpening, demo::kOpeningEnd, true}, {&demo::kLogo, demo::kLogoEnd, false},
    {&demo::kLandscape, demo::kLandscapeEnd, false}, {&demo::kMesh, demo::kMeshEnd, true},
    {&demo::kCity, demo::kCityEnd, true},           {&demo::kCake, 0, true},
};
// The opening's two phases, rests and end have tests of their own.
const SceneCase* const kOneLoopScenes = kScenes + 1;

void PrintTo(const SceneCase& c, std::ostream* os) { *os << c.scene->name; }

class EveryScene : public SceneTest, public ::testing::WithParamInterface<SceneCase> {};

std::string Name(const ::testing::TestParamInfo<SceneCase>& info) {
    return info.param.scene->name;
}

class OneLoopScene : public EveryScene {};

INSTANTIATE_TEST_SUITE_P(Scenes, EveryScene, ::testing::ValuesIn(kScenes), Name);
INSTANTIATE_TEST_SUITE_P(Scenes, OneLoopScene,
                         ::testing::ValuesIn(kOneLoopScenes, std::end(kScenes)), Name);

TEST_P(OneLoopScene, EscapeLeavesTheLoopAtItsFirstCheck) {
    const SceneCase& c = GetParam();
    EscapeAt(1);
    c.scene->load();
    fake.calls.clear();
    c.scene->run();
    const std::vector<std::string> expected =
        c.ticks ? std::vector<std::string>{"StartTicker", "ProcessMessages", "StopTicker"}
                : std::vector<std::string>{"ProcessMessages"};
    EXPECT_EQ(fake.calls, expected);
    EXPECT_EQ(musicCalls, 0);
    c.scene->free();
    ExpectAllFreed();
}

TEST_P(EveryScene, FreeReleasesEverythingTheLoadMade) {
    const SceneCase& c = GetParam();
    musicSource = [](int64_t k) { return static_cast<uint32_t>(k); };  // one row per frame
    fake.beforeMessages = [this] { fake.Tick(40); };  // enough for city picture changes
    EscapeAt(601);
    c.scene->load();
    const size_t objects = fake.objects.size();
    const size_t textures = fake.textureLive.size();
    EXPECT_GT(objects, 0u);
    EXPECT_GT(textures, 0u);
    c.scene->run();
    EXPECT_GT(fake.shown.size(), 10u);
    if (c.scene != &demo::kOpening) {
        // Escape came at a frame's first check: nothing after it but the ticker's stop.
        const auto escape = std::find(fake.calls.rbegin(), fake.calls.rend(), "ProcessMessages");
        EXPECT_EQ(escape - fake.calls.rbegin(), c.ticks ? 1 : 0);
    }
    c.scene->free();
    ExpectAllFreed();
    EXPECT_FALSE(fake.tickerRunning);
}

TEST_P(OneLoopScene, EndPositionEndsTheSceneOnlyWhenPassed) {
    const SceneCase& c = GetParam();
    if (c.end == 0) {
        // The cake reads no music and ignores the end flag: only Escape ends it.
        demo::sceneEnd = 1;
        musicSource = [](int64_t) { return 0xFFFFFFFFu; };
        EscapeAt(2 * 50 + 1);
        c.scene->load();
        c.scene->run();
        EXPECT_EQ(fake.shown.size(), 50u);
        EXPECT_EQ(musicCalls, 0);
        EXPECT_EQ(demo::sceneEnd, 1u);
        return;
    }
    // Exactly the end position for three reads, then one past it.
    musicSource = [&c](int64_t k) { return k < 4 ? c.end : c.end + 1; };
    demo::sceneEnd = 1;  // each of these scenes clears it as its loop starts
    c.scene->load();
    c.scene->run();
    EXPECT_EQ(fake.errors.size(), 0u);
    EXPECT_EQ(musicCalls, 4);
    EXPECT_EQ(fake.shown.size(), 4u)
        << "the frame that passes the end is still shown";
    EXPECT_EQ(demo::lastMusicPosition, c.end + 1);
    EXPECT_EQ(demo::sceneEnd, 1u);
    EXPECT_EQ(fake.calls.back(), c.ticks ? "StopTicker" : "ProcessMessages");
    c.scene->free();
    ExpectAllFreed();
}

}  // namespace
