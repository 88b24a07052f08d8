// City: the spin on ticks, the billboard's sixteen pictures, the group's
// placement, depth and rock.
#include <algorithm>

#include "demo/SceneTicks.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;
namespace ct = demo::city;

class CityTest : public SceneTest {};

TEST_F(CityTest, SpinCompletesATurnOnTheHundredTwentyNinthTickThenEveryHundredTwentyEight) {
    std::vector<int> requests;
    for (int tick = 1; tick <= 129 + 3 * 128; ++tick) {
        ct::Tick();
        EXPECT_EQ(demo::angleC.load(), tick);
        if (tick <= 128) {
            EXPECT_EQ(demo::angleB.load(), 4 * tick) << "b reaches 512 unmasked";
        }
        if (ct::swapRequest.exchange(0) != 0) requests.push_back(tick);
        ASSERT_GE(demo::angleB.load(), 4);
        ASSERT_LE(demo::angleB.load(), 512);
    }
    EXPECT_EQ(requests, (std::vector<int>{129, 257, 385, 513}));
    EXPECT_EQ(demo::angleB.load(), 4);
}

TEST_F(CityTest, SpinComparesUnsigned) {
    demo::angleB = -8;  // 0xFFFFFFFC after the step: above 512 as unsigned
    ct::Tick();
    EXPECT_EQ(demo::angleB.load(), (-4) & 511);
    EXPECT_EQ(ct::swapRequest.load(), 1u);
}

TEST_F(CityTest, LoadMakesTheGroupInOrder) {
    demo::kCity.load();
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{
                  "LoadObject bicho", "CreateBox 10 1000 1000", "LoadObject city01",
                  "LoadObject city02", "LoadObject sphere02", "LoadObject cartel",
                  "LoadTexture skin.jpg", "LoadTexture build.jpg", "LoadTexture cielo.jpg",
                  "LoadTexture credit01.jpg", "LoadTexture tierra.jpg",
                  "SetMaterialTexture bicho 0 skin.jpg 0", "SetMaterialTexture box 0 tierra.jpg 0",
                  "SetMaterialTexture city01 0 build.jpg 0",
                  "SetMaterialColor city02 0 7F7F7F 7F7F7F 7F7F7F 1",
                  "SetMaterialTexture sphere02 0 cielo.jpg 0",
                  "SetMaterialTexture cartel 0 credit01.jpg 0"}));
}

TEST_F(CityTest, EachTurnShowsTheNextPictureAndTheLastOneForever) {
    demo::kCity.load();
    fake.calls.clear();
    // A turn completed before every frame's first check; 20 frames.
    fake.beforeMessages = [this] {
        if (fake.messageCalls % 2 == 1 && fake.messageCalls < 41) ct::swapRequest = 1;
    };
    EscapeAt(41);
    demo::kCity.run();
    const char* pictures[] = {"credit01", "credit02", "credit03", "credit04", "credit05",
                              "credit06", "greet1",   "greet2",   "greet3",   "greet4",
                              "greet5",   "greet6",   "greet7",   "greet8",   "greet9",
                              "greet10"};
    std::vector<std::string> expected;
    for (int change = 1; change <= 20; ++change) {
        const int from = std::min(change - 1, 15), to = std::min(change, 15);
        expected.push_back("ToggleTicker");
        expected.push_back(std::string("ReleaseTexture ") + pictures[from] + ".jpg");
        expected.push_back(std::string("LoadTexture ") + pictures[to] + ".jpg");
        expected.push_back(std::string("SetMaterialTexture cartel 0 ") + pictures[to] + ".jpg 0");
        expected.push_back("ToggleTicker");
    }
    EXPECT_EQ(fake.CallsStartingWith({"ToggleTicker", "ReleaseTexture", "LoadTexture",
                                      "SetMaterialTexture cartel"}),
              expected);
    EXPECT_EQ(ct::pictureIndex, 14u);
    EXPECT_EQ(ct::swapRequest.load(), 0u);
    // Each frame draws the billboard with the picture it just loaded.
    const auto billboard = fake.DrawsOf("cartel");
    ASSERT_EQ(billboard.size(), 20u);
    for (int f = 0; f < 20; ++f)
        EXPECT_EQ(fake.textureNames[billboard[f].texture],
                  std::string(pictures[std::min(f + 1, 15)]) + ".jpg");
    demo::kCity.free();
    ExpectAllFreed();
    EXPECT_EQ(fake.CallsStartingWith({"ReleaseTexture"}).back(), "ReleaseTexture tierra.jpg");
}

TEST_F(CityTest, GroupDepthAndRockFollowTheSineOfC) {
    demo::kCity.load();
    // 128 ticks before frame 1 (c = 128, b = 512: no turn yet), 256 more before frame 3.
    fake.beforeMessages = [this] {
        if (fake.messageCalls == 1) fake.Tick(128);
        if (fake.messageCalls == 5) fake.Tick(256);
    };
    EscapeAt(9);
    demo::angleA = 77;  // reset by the run
    demo::kCity.run();
    ASSERT_EQ(fake.draws.size(), 24u);
    struct Frame {
        int32_t z, a, b;
    };
    // After 384 ticks: c = 384; b turned at ticks 129 and 257, and is 4 + 4 * 127 again.
    const Frame frames[] = {{60, 0, 512}, {60, 20, 512}, {40, 20, 512}, {40, -20, 512}};
    const char* order[] = {"bicho", "box", "city01", "city02", "sphere02", "cartel"};
    for (int f = 0; f < 4; ++f) {
        for (int i = 0; i < 6; ++i) {
            const Draw& d = fake.draws[6 * f + i];
            EXPECT_EQ(d.name, order[i]);
            EXPECT_EQ((std::array{d.x, d.y, d.z}),
                      (std::array{0, i == 1 ? -30 : -20, frames[f].z}))
                << d.name << " frame " << f;
            EXPECT_EQ((std::array{d.a, d.b, d.c}), (std::array{frames[f].a, frames[f].b, 0}))
                << d.name << " frame " << f;
        }
    }
    // Placed in this order (the billboard second), drawn in the order above.
    const auto placed = fake.CallsStartingWith({"SetObjectPosition"});
    EXPECT_EQ(std::vector<std::string>(placed.begin(), placed.begin() + 6),
              (std::vector<std::string>{
                  "SetObjectPosition bicho 0 -20 60", "SetObjectPosition cartel 0 -20 60",
                  "SetObjectPosition box 0 -30 60", "SetObjectPosition city01 0 -20 60",
                  "SetObjectPosition city02 0 -20 60", "SetObjectPosition sphere02 0 -20 60"}));
    demo::kCity.free();
    ExpectAllFreed();
}

}  // namespace
