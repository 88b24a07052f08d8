// Scenes with the engine's own tick thread: in virtual time, where the tick
// count is exact, and in real time, where the callbacks race the frame loop
// as they do in the demo (run under ThreadSanitizer too).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "demo/SceneTicks.h"
#include "platform/os/Clock.h"
#include "platform/os/Thread.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;

class SceneRealTicker : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        engine_ = CreateEngine();
        ASSERT_NE(engine_, nullptr);
        fake.realTicker = engine_;
    }
    void TearDown() override {
        engine_->StopTicker();
        // The tick thread closes its event handles after signalling StopTicker;
        // let it finish before the process's statics go away.
        for (int i = 0; i < 2000 && os::RunningThreads() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(os::RunningThreads(), 0);
        DestroyEngine(engine_);
        SceneTest::TearDown();
    }
    // Escape once `done` holds or after `limit` of real time; a 1 ms pause per call.
    void EscapeWhen(std::function<bool()> done, std::chrono::milliseconds limit) {
        const auto start = std::chrono::steady_clock::now();
        fake.messages = [=, escaped = false](int64_t) mutable {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            escaped = escaped || done() || std::chrono::steady_clock::now() - start > limit;
            return escaped ? 2 : 1;
        };
    }
    IEngine* engine_ = nullptr;
};

class SceneVirtualTicker : public SceneRealTicker {
protected:
    void SetUp() override {
        os::clock::UseVirtual();
        SceneRealTicker::SetUp();
    }
};

TEST_F(SceneVirtualTicker, CitySpinsOneTickPerTenMillisecondsAndTurnsThePictureOnTheHundredTwentyNinth) {
    // 10 ms of virtual time before each frame: ticks at 5, 15, 25... ms, one per frame.
    fake.beforeMessages = [this] {
        if (fake.messageCalls % 2 == 1) os::clock::Advance(10);
    };
    EscapeAt(2 * 140 + 1);
    demo::kCity.load();
    demo::kCity.run();
    const auto billboard = fake.DrawsOf("cartel");
    ASSERT_EQ(billboard.size(), 140u);
    for (int f = 1; f <= 140; ++f) {
        const Draw& d = billboard[f - 1];
        const int32_t c = f;  // ticks so far
        EXPECT_EQ(d.b, c <= 128 ? 4 * c : 4 * (c - 128)) << "frame " << f;
        EXPECT_EQ(d.z, static_cast<int32_t>(std::lrintf(fake.GetSine(c) * 10.0f)) + 50)
            << "frame " << f;
        EXPECT_EQ(fake.textureNames[d.texture], f < 129 ? "credit01.jpg" : "credit02.jpg")
            << "frame " << f;
    }
    demo::kCity.free();
    ExpectAllFreed();
}

TEST_F(SceneRealTicker, OpeningShowsItsFiveTexts) {
    // A row every 20 ms, 128 rows an order: a flight of 40 ticks takes about 20 rows.
    const auto start = std::chrono::steady_clock::now();
    musicSource = [start](int64_t) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        const auto row = static_cast<uint32_t>(ms.count() / 20);
        return ((row / 128) << 16) | (row % 128);
    };
    EscapeWhen([] { return false; }, std::chrono::seconds(30));
    demo::kOpening.load();
    demo::kOpening.run();
    EXPECT_EQ(demo::syncCounter, 5u);
    EXPECT_EQ(demo::sceneEnd, 1u);
    EXPECT_EQ(fake.CallsStartingWith({"LoadTexture"}).back(), "LoadTexture textos5.jpg");
    for (const Draw& d : fake.draws) {
        ASSERT_GE(d.z, 8);
        ASSERT_LE(d.z, 1000);
    }
    demo::kOpening.free();
    ExpectAllFreed();
}

TEST_F(SceneRealTicker, MeshPhasesAdvanceWhileFramesDeform) {
    fake.vertexData["malla"] = {{1, 1, 1}, {2, 2, 2}};
    EscapeWhen([] { return demo::mesh::meshPhase.load() > 30; }, std::chrono::seconds(20));
    demo::kMesh.load();
    demo::kMesh.run();
    EXPECT_GT(demo::mesh::meshPhase.load(), 30u);
    for (const Draw& d : fake.draws) {
        ASSERT_LE(std::abs(d.x), 55);
        ASSERT_LE(std::abs(d.y), 35);
    }
    demo::kMesh.free();
    ExpectAllFreed();
}

TEST_F(SceneRealTicker, CakeSwaysWithinItsBounds) {
    bool top = false;
    EscapeWhen(
        [&top] {
            const int32_t b = demo::angleB.load();
            top = top || b == 400;
            return top && b < 390;
        },
        std::chrono::seconds(20));
    demo::kCake.load();
    demo::kCake.run();
    EXPECT_TRUE(top) << "the sway never reached 400";
    ASSERT_FALSE(fake.draws.empty());
    for (const Draw& d : fake.draws) {
        if (d.name != "tarta") continue;
        ASSERT_GE(d.b, 368);
        ASSERT_LE(d.b, 400);
    }
    demo::kCake.free();
    ExpectAllFreed();
}

}  // namespace
