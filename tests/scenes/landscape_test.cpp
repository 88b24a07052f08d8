// Landscape: two copies turning by 2 a frame and swinging by 50 sin c, with
// the texture scrolling on both.
#include "demo/SceneTicks.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;

class LandscapeTest : public SceneTest {
protected:
    void RunFrames(int frames) {
        demo::kLandscape.load();
        fake.messages = [frames](int64_t call) -> int32_t {
            if (call > 2 * frames) return 2;
            return call % 6 == 0 ? 0 : 1;  // every third frame is not shown
        };
        demo::kLandscape.run();
    }
};

TEST_F(LandscapeTest, LoadMakesTwoCopiesSharingOneTexture) {
    demo::kLandscape.load();
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{"LoadObject land01", "LoadObject land01#2",
                                        "LoadTexture landtext.jpg",
                                        "SetMaterialTexture land01 0 landtext.jpg 0",
                                        "SetMaterialTexture land01#2 0 landtext.jpg 0"}));
}

TEST_F(LandscapeTest, AnglesOverTheFirstFramesFromTheInitialZeros) {
    RunFrames(6);
    const auto upper = fake.DrawsOf("land01"), lower = fake.DrawsOf("land01#2");
    ASSERT_EQ(upper.size(), 6u);
    ASSERT_EQ(lower.size(), 6u);
    // a of frame n is round(50 sin c) with c = 2(n - 1): 0, 0, 1.23, 2.45, 3.68, 4.90.
    const int32_t swing[] = {0, 0, 1, 2, 4, 5};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(upper[n].a, swing[n]) << "frame " << n;
        EXPECT_EQ(upper[n].b, 2 * n) << "frame " << n;
        EXPECT_EQ(upper[n].c, 0);
        EXPECT_EQ((std::array{upper[n].x, upper[n].y, upper[n].z}), (std::array{0, 150, 50}));
        EXPECT_EQ((std::array{lower[n].x, lower[n].y, lower[n].z}), (std::array{0, -150, 50}));
        EXPECT_EQ((std::array{lower[n].a, lower[n].b, lower[n].c}),
                  (std::array{upper[n].a, upper[n].b, upper[n].c}));
        EXPECT_FLOAT_EQ(upper[n].scrollU, 0.1f * (n + 1));
        EXPECT_EQ(upper[n].scrollU, lower[n].scrollU);
        EXPECT_EQ(upper[n].scrollV, upper[n].scrollU);
    }
    EXPECT_EQ(fake.shown.size(), 4u) << "two of the six frames were not shown, yet animated";
    EXPECT_EQ(demo::angleB.load(), 12);
    EXPECT_EQ(demo::angleC.load(), 12);
    EXPECT_EQ(demo::angleA.load(), 6) << "round(50 sin 10) = round(6.12)";
    EXPECT_EQ(fake.countFrames, 6);
}

TEST_F(LandscapeTest, ContinuesFromTheSharedAnglesItFinds) {
    demo::angleA = 7;
    demo::angleB = 100;
    demo::angleC = 126;
    RunFrames(4);
    const auto upper = fake.DrawsOf("land01");
    ASSERT_EQ(upper.size(), 4u);
    // The swing at its peaks: c = 128 gives 50.
    const int32_t expectedA[] = {7, 50, 50, 50};  // sin 126, 128, 130 all round to 50
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(upper[n].a, expectedA[n]) << "frame " << n;
        EXPECT_EQ(upper[n].b, 100 + 2 * n) << "frame " << n;
    }
    demo::angleC = 382;
    fake = FakeEngine();
    demo::engine = &fake;
    demo::angleA = 0;
    RunFrames(3);
    const auto again = fake.DrawsOf("land01");
    EXPECT_EQ(again[1].a, -50);  // round(50 sin 382) = round(-49.98)
    EXPECT_EQ(again[2].a, -50);  // sin 384 = -1
}

}  // namespace
