// Each scene with the real engine on the virtual clock, in an offscreen
// window, with the music position scripted: it draws, ends when the music
// passes its end, and its free step gives the heap back all its load took.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "demo/SceneTicks.h"
#include "engine/memory/Heap.h"
#include "platform/os/Clock.h"
#include "platform/os/Window.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;

struct Frames {
    int64_t count = 0;
    int64_t mostLit = 0;  // pixels not black in the brightest frame
};
Frames frames;
os::Window* window = nullptr;
int64_t escapeAfterFrames = -1;
int32_t lowestB = 1000, highestB = -1000;  // the cake's sway at presents

uint32_t HeapSpace() { return heap::FreeBytes() + (heap::Size() - heap::TopRef()); }

class SceneWithEngine : public ::testing::TestWithParam<const demo::Scene*> {
protected:
    void SetUp() override {
        const char* data = std::getenv("TESSARY_DATA");
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(chdir((std::string(data) + "/..").c_str()), 0);
        os::clock::UseVirtual();
        os::UseOffscreenWindows([](const uint16_t* pixels, int32_t width, int32_t height,
                                   int32_t pitchBytes) {
            ++frames.count;
            int64_t lit = 0;
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    lit += pixels[y * (pitchBytes / 2) + x] != 0;
            frames.mostLit = std::max(frames.mostLit, lit);
            if (frames.count == escapeAfterFrames)
                os::PostMessage(window, os::WM_KEYDOWN, os::VK_ESCAPE, 0);
        });
        demo::engine = engine_ = CreateEngine();
        engine_->MemInit(4194304);
        engine_->AllocLoadBuffer(262144);
        engine_->Initialize(nullptr, 1);
        engine_->BuildSinCosTable();
        engine_->BuildAngleTables();
        engine_->OpenDisplay(640, 480, &window, 0, 0);
        engine_->Init3D(1, 1, 500);
        musicSource = nullptr;
    }
    IEngine* engine_ = nullptr;
};

std::string Name(const ::testing::TestParamInfo<const demo::Scene*>& info) {
    return info.param->name;
}

INSTANTIATE_TEST_SUITE_P(Scenes, SceneWithEngine,
                         ::testing::Values(&demo::kOpening, &demo::kLogo, &demo::kLandscape,
                                           &demo::kMesh, &demo::kCity),
                         Name);

TEST_P(SceneWithEngine, DrawsEndsOnTheMusicAndGivesTheHeapBack) {
    const demo::Scene* scene = GetParam();
    const uint32_t ends[] = {demo::kOpeningEnd, demo::kLogoEnd, demo::kLandscapeEnd,
                             demo::kMeshEnd, demo::kCityEnd};
    const demo::Scene* order[] = {&demo::kOpening, &demo::kLogo, &demo::kLandscape, &demo::kMesh,
                                  &demo::kCity};
    uint32_t end = 0;
    for (int i = 0; i < 5; ++i)
        if (order[i] == scene) end = ends[i];
    if (scene == &demo::kOpening) {
        // One row per read, 128 an order: the opening ends by its texts.
        musicSource = [](int64_t k) {
            return static_cast<uint32_t>(((k / 128) << 16) | (k % 128));
        };
    } else {
        // 120 frames, 2 s (the city turns its billboard once), then past the end.
        musicSource = [end](int64_t k) { return k <= 120 ? end : end + 1; };
    }
    const uint32_t before = HeapSpace();
    scene->load();
    EXPECT_LT(HeapSpace(), before);
    scene->run();
    EXPECT_EQ(demo::sceneEnd, 1u);
    EXPECT_GT(frames.count, scene == &demo::kOpening ? 100 : 120);
    EXPECT_GT(frames.mostLit, 640 * 480 / 10) << "the scene shows something";
    scene->free();
    EXPECT_EQ(HeapSpace(), before);
    EXPECT_EQ(heap::Check(), "");
    if (scene == &demo::kOpening) {
        EXPECT_EQ(demo::syncCounter, 5u);
    }
    if (scene == &demo::kCity) {
        EXPECT_GE(demo::city::pictureIndex, 1u);
    }
}

TEST(CakeWithEngine, SwaysUntilEscape) {
    const char* data = std::getenv("TESSARY_DATA");
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(chdir((std::string(data) + "/..").c_str()), 0);
    os::clock::UseVirtual();
    escapeAfterFrames = 120;
    os::UseOffscreenWindows([](const uint16_t*, int32_t, int32_t, int32_t) {
        lowestB = std::min(lowestB, demo::angleB.load());
        highestB = std::max(highestB, demo::angleB.load());
        if (++frames.count == escapeAfterFrames)
            os::PostMessage(window, os::WM_KEYDOWN, os::VK_ESCAPE, 0);
    });
    IEngine* engine = demo::engine = CreateEngine();
    engine->MemInit(4194304);
    engine->AllocLoadBuffer(262144);
    engine->Initialize(nullptr, 1);
    engine->BuildSinCosTable();
    engine->BuildAngleTables();
    engine->OpenDisplay(640, 480, &window, 0, 0);
    engine->Init3D(1, 1, 500);
    demo::kCake.load();
    demo::kCake.run();
    EXPECT_EQ(frames.count, 120) << "no frame after Escape";
    EXPECT_EQ(musicCalls, 0);
    // 2 s, about 200 ticks: the sway has covered its range, never beyond it.
    EXPECT_GE(lowestB, 368);
    EXPECT_LE(lowestB, 370);
    EXPECT_LE(highestB, 400);
    EXPECT_GE(highestB, 398);
}

}  // namespace
