// Deformed mesh: the tick formulas, the wave and the pulse on the copies, the
// glowing copy, and the angles carried on from the landscape.
#include <cmath>

#include "demo/SceneTicks.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;
namespace ms = demo::mesh;

class MeshTest : public SceneTest {
protected:
    float Sine(int32_t angle) { return fake.GetSine(angle); }
};

TEST_F(MeshTest, MeshPhaseRunsOneToFiveHundredThirteenThenOneAgain) {
    for (uint32_t tick = 1; tick <= 513; ++tick) {
        ms::Tick();
        ASSERT_EQ(ms::meshPhase.load(), tick);
    }
    ms::Tick();
    EXPECT_EQ(ms::meshPhase.load(), 1u);
    ms::Tick();
    EXPECT_EQ(ms::meshPhase.load(), 2u);
}

TEST_F(MeshTest, SphereStepRisesEveryHundredAndThreeTicks) {
    std::vector<int> rises;
    int32_t step = 0;
    for (int tick = 1; tick <= 400; ++tick) {
        ms::Tick();
        if (ms::sphereStep.load() != step) {
            step = ms::sphereStep.load();
            rises.push_back(tick);
            EXPECT_EQ(ms::spherePhase.load(), 5u) << "tick " << tick;
        }
        ASSERT_LE(ms::spherePhase.load(), 515u);
        if (tick == 103) {
            EXPECT_EQ(ms::spherePhase.load(), 515u);
        }
    }
    EXPECT_EQ(rises, (std::vector<int>{104, 207, 310}));
}

TEST_F(MeshTest, DriftIsTruncatedTowardZero) {
    // After tick t: x = trunc(55 sin 2(t-1)), y = trunc(35 sin 3(t-1)).
    struct Case {
        int tick;
        int32_t x, y;
    };
    const Case cases[] = {
        {1, 0, 0},       // phases 0, 0
        {2, 1, 1},       // 1.35, 1.29
        {65, 55, 24},    // the x peak; 35 sin 192 = 24.7
        {87, 47, 0},     // 47.2; 35 sin 258 = -0.86 -> 0 (rounding would give -1)
        {88, 46, -2},    // 46.5 -> 46 (rounding: 47); 35 sin 261 = -2.15 -> -2 (floor: -3)
        {130, -1, -34},  // 55 sin 258 = -1.35 -> -1 (floor: -2); 35 sin 387 = -34.98 -> -34
        {193, -55, 24},  // x trough; y phase 576 wraps to 64
    };
    int tick = 0;
    for (const Case& c : cases) {
        while (tick < c.tick) {
            ms::Tick();
            ++tick;
        }
        EXPECT_EQ(ms::driftX.load(), c.x) << "tick " << c.tick;
        EXPECT_EQ(ms::driftY.load(), c.y) << "tick " << c.tick;
    }
    EXPECT_EQ(ms::driftPhaseX.load(), 2 * 193);
    EXPECT_EQ(ms::driftPhaseY.load(), 3 * 193);
}

class MeshFrames : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        std::vector<Vertex> sheet;
        for (int i = 0; i < 70; ++i) sheet.push_back({i == 64 ? 1.0f : 0.25f * i, 1.0f, -2.0f});
        fake.vertexData["malla"] = sheet;
        fake.vertexData["sphere03"] = {{1, 2, 3}, {-2, 0.5f, 1}, {0, -1, 4}};
        demo::angleA = 10;
        demo::angleB = 20;
        demo::angleC = 30;
    }
};

TEST_F(MeshFrames, FirstFrameBeforeAnyTick) {
    EscapeAt(3);
    demo::kMesh.load();
    fake.calls.clear();
    demo::kMesh.run();
    const std::vector<std::string> frame = {
        "StartTicker",
        "ProcessMessages",
        "CopyVertices malla clone(malla)",
        "GetVertices clone(malla)",
        "GetVertexCount malla",
        "GetVertexCount sphere03",
        "CopyVertices sphere03 clone(sphere03)",
        "GetVertices clone(sphere03)",
        "SetObjectPosition clone(sphere03) 0 0 110",
        "SetObjectAngles clone(sphere03) 10 20 30",
        "CloneObject clone(sphere03)",
        "SetMaterialTexture clone(clone(sphere03)) 0 deforme2.jpg 1",
        "SetObjectPosition clone(clone(sphere03)) 0 0 90",
        "SetObjectAngles clone(clone(sphere03)) 10 20 30",
        "DrawObject clone(sphere03)",
        "DrawObject clone(clone(sphere03))",
        "FreeObject clone(clone(sphere03))",
        "SetObjectPosition clone(malla) 0 0 135",
        "SetObjectAngles clone(malla) 0 251 0",
        "DrawObject clone(malla)",
        "ProcessMessages",
        "ShowFrame",
        "CountFrame",
        "DebugFlush",
        "ProcessMessages",
        "StopTicker",
    };
    EXPECT_EQ(fake.calls, frame);

    const auto& drawn = fake.shown.at(0);
    ASSERT_EQ(drawn.size(), 3u);
    // Phase 0, step 2: vertex 64 sits on the crest (angle 128), x = (1 + 15) * 4.
    const auto& sheet = drawn[2].vertices;
    EXPECT_EQ(sheet[64].x, 64.0f);
    for (size_t i = 0; i < sheet.size(); ++i) {
        const Vertex& v0 = fake.vertexData["malla"][i];
        EXPECT_EQ(sheet[i].x, (v0.x + Sine(2 * int32_t(i)) * 15.0f) * 4.0f) << "vertex " << i;
        EXPECT_EQ(sheet[i].y, 4.0f);
        EXPECT_EQ(sheet[i].z, -8.0f);
    }
    // Sphere phase 0, step 0: factor 1 + sin 0, the loaded shape; the glow carries it.
    for (int i : {0, 1}) {
        EXPECT_EQ(drawn[i].vertices[0].x, 1.0f);
        EXPECT_EQ(drawn[i].vertices[1].y, 0.5f);
        EXPECT_EQ(drawn[i].vertices[2].z, 4.0f);
    }
    EXPECT_EQ(drawn[0].additive, 0);
    EXPECT_EQ(drawn[1].additive, 1);
    EXPECT_EQ(drawn[1].texture, drawn[0].texture);
    EXPECT_EQ(demo::angleA.load(), 11);
    EXPECT_EQ(demo::angleB.load(), 22);
    EXPECT_EQ(demo::angleC.load(), 30);
}

TEST_F(MeshFrames, LaterFramesFollowTheTicksWithoutAccumulating) {
    // Ticks from the second ProcessMessages on; frame 2 is not shown.
    fake.beforeMessages = [this] {
        if (fake.messageCalls >= 2) fake.Tick();
    };
    fake.messages = [](int64_t call) -> int32_t {
        if (call == 7) return 2;
        return call == 4 ? 0 : 1;
    };
    demo::kMesh.load();
    demo::kMesh.run();
    ASSERT_EQ(fake.draws.size(), 9u) << "three frames of three objects";
    EXPECT_EQ(fake.shown.size(), 2u);
    // Frame 2 after ticks 1..2 (mesh phase 2, sphere phase 10, drift from phases 2, 3);
    // frame 3 after ticks 1..4 (mesh phase 4, sphere phase 20, drift from phases 6, 9).
    struct Expect {
        uint32_t meshPhase, spherePhase;
        int32_t driftX, driftY;
    };
    const Expect frames[] = {{2, 10, 1, 1}, {4, 20, 4, 3}};
    for (int f = 0; f < 2; ++f) {
        const Draw& sphere = fake.draws[3 * (f + 1)];
        const Draw& glow = fake.draws[3 * (f + 1) + 1];
        const Draw& sheet = fake.draws[3 * (f + 1) + 2];
        const Expect& e = frames[f];
        EXPECT_EQ((std::array{sphere.x, sphere.y, sphere.z}), (std::array{e.driftX, e.driftY, 110}));
        EXPECT_EQ((std::array{glow.x, glow.y, glow.z}), (std::array{e.driftX, e.driftY, 90}));
        EXPECT_EQ((std::array{sphere.a, sphere.b, sphere.c}), (std::array{11 + f, 22 + 2 * f, 30}));
        const float s = Sine(int32_t(e.spherePhase)) + 1.0f;
        EXPECT_EQ(sphere.vertices[1].x, -2.0f * s) << "frame " << f + 2;
        EXPECT_EQ(glow.vertices[1].x, -2.0f * s) << "frame " << f + 2;
        for (size_t i = 0; i < sheet.vertices.size(); ++i) {
            const Vertex& v0 = fake.vertexData["malla"][i];
            const int32_t p = int32_t(e.meshPhase + 2 * i);
            ASSERT_EQ(sheet.vertices[i].x, (v0.x + Sine(p) * 15.0f) * 4.0f)
                << "frame " << f + 2 << " vertex " << i;
        }
    }
    EXPECT_EQ(demo::angleA.load(), 13);
    EXPECT_EQ(demo::angleB.load(), 26);
    demo::kMesh.free();
    EXPECT_EQ(fake.CallsStartingWith({"FreeObject m", "FreeObject s", "FreeObject clone(m",
                                      "FreeObject clone(s", "ReleaseTexture"}),
              (std::vector<std::string>{"FreeObject malla", "ReleaseTexture deforme.jpg",
                                        "ReleaseTexture deforme2.jpg", "FreeObject sphere03",
                                        "FreeObject clone(sphere03)", "FreeObject clone(malla)"}));
}

TEST_F(MeshFrames, RipplesOnceTheSphereStepIsRaised) {
    EscapeAt(3);
    demo::kMesh.load();
    // What the run sets, then 104 ticks by hand: step 1, phase 5.
    fake.beforeMessages = [this] {
        if (fake.messageCalls == 1) fake.Tick(104);
    };
    demo::kMesh.run();
    ASSERT_EQ(ms::sphereStep.load(), 1);
    const Draw& sphere = fake.draws.at(0);
    const auto& loaded = fake.vertexData["sphere03"];
    for (size_t i = 0; i < loaded.size(); ++i) {
        const float s = Sine(int32_t(5 + i)) + 1.0f;
        EXPECT_EQ(sphere.vertices[i].x, loaded[i].x * s) << "vertex " << i;
        EXPECT_EQ(sphere.vertices[i].z, loaded[i].z * s) << "vertex " << i;
    }
}

}  // namespace
