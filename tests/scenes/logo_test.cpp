// Logo: two random draws a frame make the panel tremble by 0 or 1 on x and y.
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;

class LogoTest : public SceneTest {};

TEST_F(LogoTest, EachFrameDrawsTwoRandomsAndPlacesThePanelByTheirLowBits) {
    demo::kLogo.load();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"LoadObject panel", "LoadTexture zornalogo.jpg",
                                                    "SetMaterialTexture panel 0 zornalogo.jpg 0"}));
    fake.calls.clear();
    // Six frames; the window is inactive in frames 2 and 5.
    fake.messages = [](int64_t call) -> int32_t {
        if (call == 13) return 2;
        return call == 4 || call == 10 ? 0 : 1;
    };
    demo::kLogo.run();

    uint32_t seed = 9273;
    auto random = [&seed] {
        const uint32_t product = 75u * seed;
        const uint32_t v = (product & 0xFFFF) + 75 - (product >> 16);
        seed = v >= 65536 ? v - 65536 : v;
        return seed;
    };
    std::vector<std::string> expected;
    for (int frame = 1; frame <= 6; ++frame) {
        const uint32_t r1 = random(), r2 = random();
        expected.push_back("ProcessMessages");
        expected.push_back("Random " + std::to_string(r1));
        expected.push_back("Random " + std::to_string(r2));
        expected.push_back("SetObjectPosition panel " + std::to_string(r1 & 1) + " " +
                           std::to_string(r2 & 1) + " 5");
        expected.push_back("SetObjectAngles panel 0 384 0");
        expected.push_back("DrawObject panel");
        expected.push_back("ProcessMessages");
        if (frame != 2 && frame != 5) expected.push_back("ShowFrame");
    }
    expected.push_back("ProcessMessages");
    EXPECT_EQ(fake.calls, expected);
    // The engine's sequence from its first seed: 40180, 64410, 46624, 23414, 52163...
    EXPECT_EQ(fake.draws[0].x, 0);
    EXPECT_EQ(fake.draws[2].x, 1);
    EXPECT_EQ(fake.randomCalls, 12);
    EXPECT_EQ(fake.countFrames, 0) << "the logo counts no frames";

    demo::kLogo.free();
    EXPECT_EQ(fake.CallsStartingWith({"FreeObject", "ReleaseTexture"}),
              (std::vector<std::string>{"FreeObject panel", "ReleaseTexture zornalogo.jpg"}));
}

}  // namespace
