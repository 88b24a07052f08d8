// Cake: the sway between 368 and 400 on ticks, the background enlarged once.
#include <algorithm>

#include "demo/SceneTicks.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;
namespace ck = demo::cake;

class CakeTest : public SceneTest {};

TEST_F(CakeTest, SwaysBetweenThreeSixtyEightAndFourHundredWithAPeriodOfSixtyFour) {
    // As the run starts it.
    ck::swayDirection = 1;
    demo::angleB = 384;
    std::vector<int32_t> b(1, 384);
    for (int tick = 1; tick <= 1000; ++tick) {
        ck::Tick();
        b.push_back(demo::angleB.load());
    }
    EXPECT_EQ(b[16], 400);
    EXPECT_EQ(b[17], 399);
    EXPECT_EQ(b[48], 368);
    EXPECT_EQ(b[49], 369);
    EXPECT_EQ(b[80], 400);
    EXPECT_EQ(*std::min_element(b.begin(), b.end()), 368);
    EXPECT_EQ(*std::max_element(b.begin(), b.end()), 400);
    for (size_t t = 16; t + 64 < b.size(); ++t) ASSERT_EQ(b[t + 64], b[t]) << "tick " << t;
}

TEST_F(CakeTest, SwayComparesUnsigned) {
    ck::swayDirection = -1;
    demo::angleB = 0;
    ck::Tick();  // -1 is above 399 unsigned: turns upward only at the second test, < 369
    EXPECT_EQ(demo::angleB.load(), -1);
    EXPECT_EQ(ck::swayDirection.load(), -1);
}

TEST_F(CakeTest, FramesDrawCakeCandlesAndTheEnlargedBackground) {
    fake.vertexData["fondo"] = {{1, 2, 3}, {-0.5f, 0, 10}};
    demo::kCake.load();
    EXPECT_EQ(fake.CallsStartingWith({"LoadObject", "LoadTexture", "SetMaterial"}),
              (std::vector<std::string>{
                  "LoadObject tarta", "LoadTexture tarta.jpg", "LoadObject velas",
                  "LoadTexture llama.jpg", "LoadObject fondo", "LoadTexture pcr.jpg",
                  "SetMaterialTexture tarta 0 tarta.jpg 0", "SetMaterialTexture velas 0 llama.jpg 0",
                  "SetMaterialTexture fondo 0 pcr.jpg 0"}));
    demo::angleC = 99;
    fake.beforeMessages = [this] { fake.Tick(3); };
    EscapeAt(7);
    demo::kCake.run();
    EXPECT_EQ(demo::angleC.load(), 0);
    ASSERT_EQ(fake.draws.size(), 9u);
    for (int f = 0; f < 3; ++f) {
        const Draw& cake = fake.draws[3 * f];
        const Draw& candles = fake.draws[3 * f + 1];
        const Draw& background = fake.draws[3 * f + 2];
        EXPECT_EQ(cake.name, "tarta");
        EXPECT_EQ(candles.name, "velas");
        EXPECT_EQ(background.name, "fondo");
        // Three ticks before each check: b = 384 + 3 and + 6 in frame 1, ...
        const int32_t b = 384 + 6 * (f + 1) - 3;
        EXPECT_EQ((std::array{cake.x, cake.y, cake.z, cake.a, cake.b, cake.c}),
                  (std::array{0, 0, 20, 64, b, 0}))
            << "frame " << f;
        EXPECT_EQ((std::array{candles.x, candles.y, candles.z, candles.a, candles.b, candles.c}),
                  (std::array{cake.x, cake.y, cake.z, cake.a, cake.b, cake.c}));
        EXPECT_EQ((std::array{background.x, background.y, background.z, background.a,
                              background.b, background.c}),
                  (std::array{-7, 10, 200, 256, 384, 0}));
        EXPECT_EQ(background.vertices[0].x, 4.0f);
        EXPECT_EQ(background.vertices[0].z, 12.0f);
        EXPECT_EQ(background.vertices[1].x, -2.0f);
        EXPECT_EQ(background.vertices[1].z, 40.0f);
    }
    // Candles are placed first, drawn second.
    EXPECT_EQ(fake.CallsStartingWith({"SetObjectPosition"})[0], "SetObjectPosition velas 0 0 20");
    EXPECT_EQ(fake.countFrames, 3);
    demo::kCake.free();
    EXPECT_EQ(fake.CallsStartingWith({"FreeObject", "ReleaseTexture"}),
              (std::vector<std::string>{"FreeObject tarta", "FreeObject velas",
                                        "ReleaseTexture tarta.jpg", "ReleaseTexture llama.jpg",
                                        "FreeObject fondo", "ReleaseTexture pcr.jpg"}));
}

}  // namespace
