#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "demo/Demo.h"
#include "platform/os/Clock.h"
#include "platform/sound/Sound.h"
#include "tests/support/RecordingEngine.h"

namespace {

RecordingEngine* gEngine = nullptr;
uint64_t gLoadedNanos = 0;
uint64_t gPlayNanos = 0;
uint32_t gSyncAtPlay = 99;
std::vector<std::string> gNameMismatches;
// Which scene's run step presses Escape (-1: none).
int gEscapeIn = -1;

IEngine* MakeEngine() {
    gEngine->Note("CreateEngine");
    return gEngine;
}

void Observe(const char* call, void*) {
    const std::string name(call);
    if (name == "ChannelGetPosition") return;
    if (name == "MusicPlay") {
        gPlayNanos = os::clock::NowNanos();
        gSyncAtPlay = demo::syncCounter;
    }
    gEngine->Note("sound:" + name);
}

const char* const kNames[6] = {"opening", "logo", "landscape", "mesh", "city", "cake"};

template <int I>
void Step(const char* what) {
    gEngine->Note(std::string(what) + ":" + kNames[I]);
    if (std::string(demo::CurrentSceneName()) != kNames[I])
        gNameMismatches.push_back(std::string(what) + " " + kNames[I] + " ran as '" + demo::CurrentSceneName() + "'");
    if (demo::engine != gEngine) gNameMismatches.push_back("scene saw another engine");
}
template <int I>
void Load() {
    Step<I>("load");
    if (I == 0) {
        gLoadedNanos = os::clock::NowNanos();
        demo::syncCounter = 7;  // the driver must clear it after this
    }
}
template <int I>
void Run() {
    Step<I>("run");
    // A frame loop: its first check of the messages.
    if (I == gEscapeIn) gEngine->processResults = {2};
    demo::engine->ProcessMessages();
}
template <int I>
void Free() {
    Step<I>("free");
}

const demo::Scene kFakes[6] = {
    {"opening", Load<0>, Run<0>, Free<0>}, {"logo", Load<1>, Run<1>, Free<1>},
    {"landscape", Load<2>, Run<2>, Free<2>}, {"mesh", Load<3>, Run<3>, Free<3>},
    {"city", Load<4>, Run<4>, Free<4>}, {"cake", Load<5>, Run<5>, Free<5>},
};
const demo::Scene* const kFakeList[6] = {&kFakes[0], &kFakes[1], &kFakes[2], &kFakes[3], &kFakes[4], &kFakes[5]};

struct DriverRun : testing::Test {
    RecordingEngine engine;
    void SetUp() override {
        os::clock::UseVirtual();  // the five-second wait costs no time where the clock allows
        setenv("TESSARY_NO_AUDIO", "1", 1);
        const char* data = std::getenv("TESSARY_DATA");
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(chdir((std::string(data) + "/..").c_str()), 0);  // "data\..." from here
        gEngine = &engine;
        demo::SetEngineFactory(MakeEngine);
        demo::SetScenes(kFakeList);
        sound::SetCallObserver(Observe, nullptr);
    }
    int Go() {
        const int result = demo::Run(nullptr, 1);
        EXPECT_TRUE(gNameMismatches.empty()) << gNameMismatches.front();
        EXPECT_STREQ(demo::CurrentSceneName(), "");
        return result;
    }
};

// Start-up in its fixed order, one wait, the six scenes, the shut-down.
const std::vector<std::string> kStartUp = {
    "CreateEngine",
    "MemInit(4194304)",
    "AllocLoadBuffer(262144)",
    "Initialize(null, 1)",
    "BuildSinCosTable()",
    "BuildAngleTables()",
    "OpenDisplay(640, 480, ptr, 0, 0)",
    "Init3D(1, 1, 500)",
    "sound:Init",
    "sound:Start",
    "sound:MusicLoad",
    "sound:SetGlobalVolumes",
    "sound:SetVolume",
    "load:opening",
    "sound:MusicPlay",
    "run:opening",
};

std::vector<std::string> Expected(int escapeIn) {
    std::vector<std::string> calls = kStartUp;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            calls.push_back(std::string("load:") + kNames[i]);
            calls.push_back(std::string("run:") + kNames[i]);
        }
        calls.push_back("ProcessMessages()");  // the scene's own check
        calls.push_back("ProcessMessages()");  // the driver's, after the run step
        if (i == escapeIn) break;              // nothing more touches the device's objects
        calls.push_back(std::string("free:") + kNames[i]);
    }
    for (const char* c : {"Done3D()", "CloseDisplay()", "sound:Stop", "sound:Free"}) calls.push_back(c);
    return calls;
}

TEST_F(DriverRun, StartsRunsEveryStepAndShutsDownInOrder) {
    gEscapeIn = -1;
    EXPECT_EQ(Go(), 0);
    EXPECT_EQ(engine.calls, Expected(-1));
    EXPECT_EQ(gSyncAtPlay, 0u);
    // The plain wait between the opening's load and the music.
    EXPECT_GE(gPlayNanos - gLoadedNanos, 5000000000u);
    EXPECT_LT(gPlayNanos - gLoadedNanos, 6000000000u);
    EXPECT_NE(demo::musicHandle, 0u);  // the generated module was found
}

struct EscapeIn : DriverRun, testing::WithParamInterface<int> {};

TEST_P(EscapeIn, SkipsTheRemainingLoadAndFreeSteps) {
    gEscapeIn = GetParam();
    EXPECT_EQ(Go(), 0);
    EXPECT_EQ(engine.calls, Expected(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Scenes, EscapeIn, testing::Values(0, 2, 5));

TEST(MusicPosition, ExchangesTheHalves) {
    // Order 3, row 16 starts 336 rows (5292 frames each) into the song.
    static uint64_t now = 0;
    sound::testing::SetNanosSource([] { return now; });
    setenv("TESSARY_NO_AUDIO", "1", 1);
    ASSERT_TRUE(sound::Init(-1, 44100, 16, nullptr));
    const std::string path = std::string(std::getenv("TESSARY_DATA")) + "/Pavonel2.xm";
    demo::musicHandle = sound::MusicLoad(0, path.c_str(), 0, 0, 1);
    ASSERT_TRUE(sound::MusicPlay(demo::musicHandle));
    now = (336 * 5292 + 2000) * 1000000000ull / 44100;
    EXPECT_EQ(sound::ChannelGetPosition(demo::musicHandle), 0x100003u);
    EXPECT_EQ(demo::MusicPosition(), 0x30010u);
    sound::Free();
}

TEST(MusicPosition, WithoutAModuleEveryWaitIsOverAtOnce) {
    // A module that could not be read gives handle 0, whose position is all
    // ones: past every sync entry and every scene's end, so each scene ends
    // after its first frame and the cake, which never asks, runs until Escape.
    ASSERT_TRUE(sound::Init(0, 44100, 16, nullptr));
    demo::musicHandle = 0;
    const uint32_t p = demo::MusicPosition();
    EXPECT_EQ(p, 0xFFFFFFFFu);
    for (uint32_t sync : demo::kSyncTable) EXPECT_GE(p, sync);
    for (uint32_t end : {demo::kOpeningEnd, demo::kLogoEnd, demo::kLandscapeEnd, demo::kMeshEnd, demo::kCityEnd})
        EXPECT_GT(p, end);
    sound::Free();
}

}  // namespace
