// Opening: the panel's flight on ticks, the rests timed by the sync table,
// the five texts, the end and Escape.
#include <algorithm>
#include <cstdio>

#include "demo/Panel.h"
#include "demo/SceneTicks.h"
#include "tests/scenes/Harness.h"

namespace {

using namespace scenetest;
namespace op = demo::opening;

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", v);
    return text;
}

class OpeningTest : public SceneTest {
protected:
    // The music position as call k of MusicPosition reads it: one row per
    // read, 128 rows per order; each read is logged among the engine calls.
    void MusicOneRowPerRead() {
        musicSource = [this](int64_t k) {
            const uint32_t p = static_cast<uint32_t>(((k / 128) << 16) | (k % 128));
            fake.calls.push_back("Music " + Hex(p));
            return p;
        };
    }
    // The music value read last before the nth call equal to `call`.
    std::string MusicBefore(const std::string& call, int nth) {
        std::string music;
        int seen = 0;
        for (auto& c : fake.calls) {
            if (c.rfind("Music ", 0) == 0) music = c;
            if (c == call && ++seen == nth) return music;
        }
        return "(no " + call + ")";
    }
};

TEST_F(OpeningTest, TicksFlyThePanelOutToAThousandAndBackToEight) {
    // From the initial depth 58, receding.
    for (int tick = 1; tick <= 19; ++tick) {
        op::Tick();
        EXPECT_EQ(op::panelDepth.load(), std::min(58 + 50 * tick, 1000)) << "tick " << tick;
        EXPECT_EQ(op::swap.load(), tick == 19 ? 1u : 0u) << "tick " << tick;
    }
    op::Tick();  // held at the far end until the next text
    EXPECT_EQ(op::panelDepth.load(), 1000);
    EXPECT_EQ(op::swap.load(), 1u);
    EXPECT_EQ(op::arrived.load(), 0u);

    // What the next text does: back towards the viewer.
    op::swap = 0;
    op::receding = 0;
    for (int tick = 1; tick <= 20; ++tick) {
        op::Tick();
        EXPECT_EQ(op::panelDepth.load(), tick < 20 ? 1000 - 50 * tick : 8) << "tick " << tick;
        EXPECT_EQ(op::arrived.load(), tick == 20 ? 1u : 0u) << "tick " << tick;
        EXPECT_EQ(op::receding.load(), tick == 20 ? 1u : 0u) << "tick " << tick;
    }
    // Resting at 8, the panel recedes again: 1000 after 20 ticks.
    for (int tick = 1; tick <= 20; ++tick) {
        op::Tick();
        EXPECT_EQ(op::panelDepth.load(), std::min(8 + 50 * tick, 1000)) << "tick " << tick;
        EXPECT_EQ(op::swap.load(), tick == 20 ? 1u : 0u) << "tick " << tick;
    }
    EXPECT_EQ(op::arrived.load(), 1u) << "only the frame loop clears the arrived flag";
    EXPECT_TRUE(fake.calls.empty()) << "the callback calls no engine operation";
}

TEST_F(OpeningTest, LoadPutsTheFirstTextOnThePanel) {
    demo::kOpening.load();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"LoadObject panel", "LoadTexture textos1.jpg",
                                                    "SetMaterialTexture panel 0 textos1.jpg 0"}));
    EXPECT_EQ(op::textIndex, 1u);
}

TEST_F(OpeningTest, FullRunShowsFiveTextsEachRestingUntilItsSyncEntry) {
    MusicOneRowPerRead();
    fake.beforeMessages = [this] { fake.Tick(); };
    demo::kOpening.load();
    demo::kOpening.run();

    EXPECT_EQ(demo::syncCounter, 5u);
    EXPECT_EQ(demo::sceneEnd, 1u);
    EXPECT_LT(demo::lastMusicPosition, demo::kOpeningEnd) << "ended by the texts, not the music";
    EXPECT_EQ(fake.calls.back(), "StopTicker");

    // Texts in order, each release right before the next load.
    const auto textures = fake.CallsStartingWith({"LoadTexture", "ReleaseTexture"});
    EXPECT_EQ(textures, (std::vector<std::string>{
                            "LoadTexture textos1.jpg", "ReleaseTexture textos1.jpg",
                            "LoadTexture textos2.jpg", "ReleaseTexture textos2.jpg",
                            "LoadTexture textos3.jpg", "ReleaseTexture textos3.jpg",
                            "LoadTexture textos4.jpg", "ReleaseTexture textos4.jpg",
                            "LoadTexture textos5.jpg"}));

    // Each rest ends on the first read at its entry (one row per read).
    EXPECT_EQ(MusicBefore("StartTicker", 1), "Music 26");
    const char* resumes[] = {"Music 4C", "Music 1000E", "Music 10034", "Music 1005A"};
    for (int rest = 0; rest < 4; ++rest)
        EXPECT_EQ(MusicBefore("ToggleTicker", 2 * rest + 2), resumes[rest]) << "rest " << rest + 1;

    // Per text: the panel comes in from 1000 to 8 and flies back out to 1000.
    for (TextureHandle t = 1; t <= 5; ++t) {
        std::vector<int32_t> z;
        for (auto& d : fake.draws)
            if (d.texture == t) z.push_back(d.z);
        ASSERT_FALSE(z.empty());
        const auto rest = std::find(z.begin(), z.end(), 8);
        ASSERT_NE(rest, z.end()) << "text " << t << " never rests";
        EXPECT_TRUE(std::is_sorted(z.begin(), rest, std::greater<>())) << "text " << t;
        EXPECT_TRUE(std::is_sorted(rest, z.end())) << "text " << t;
        // Two ticks a frame (one per ProcessMessages): a new text is first drawn at 900.
        EXPECT_EQ(z.front(), t == 1 ? 8 : 900) << "text " << t;
        EXPECT_EQ(z.back(), 1000) << "text " << t;
        // Coming in: 1000 - 50k; going out: 8 + 50k (58 + 50k for the first).
        for (auto d = z.begin(); d != z.end(); ++d) {
            if (*d == 1000) continue;
            EXPECT_EQ(*d % 50, d < rest ? 0 : 8) << "text " << t << " depth " << *d;
        }
    }
    for (auto& d : fake.draws) {
        EXPECT_EQ(d.x, 0);
        EXPECT_EQ(d.y, 0);
        EXPECT_EQ((std::array{d.a, d.b, d.c}), (std::array{0, 384, 0}));
    }
    // No sixth text: the panel keeps the fifth and the request stays set.
    EXPECT_EQ(op::swap.load(), 1u);
    EXPECT_EQ(fake.Of(demo::panelObject)->texture, 5u);

    demo::kOpening.free();
    EXPECT_EQ(fake.calls.back(), "ReleaseTexture textos5.jpg");
    EXPECT_EQ(fake.calls[fake.calls.size() - 2], "FreeObject panel");
    ExpectAllFreed();
}

TEST_F(OpeningTest, NothingIsDrawnDuringARestAfterItsFirstFrame) {
    MusicOneRowPerRead();
    fake.beforeMessages = [this] { fake.Tick(); };
    demo::kOpening.load();
    demo::kOpening.run();
    // Between the pause and the resume: one panel at 8, shown, then only waiting.
    bool inRest = false;
    std::vector<std::string> rest;
    for (auto& c : fake.calls) {
        if (c == "ToggleTicker") {
            if (inRest) {
                EXPECT_EQ(rest[0], "SetObjectPosition panel 0 0 8");
                EXPECT_EQ(rest[1], "SetObjectAngles panel 0 384 0");
                EXPECT_EQ(rest[2], "DrawObject panel");
                EXPECT_EQ(rest[3], "ProcessMessages");
                EXPECT_EQ(rest[4], "ShowFrame");
                for (size_t i = 5; i < rest.size(); ++i)
                    EXPECT_TRUE(rest[i] == "ProcessMessages" || rest[i].rfind("Music", 0) == 0)
                        << rest[i];
            }
            inRest = !inRest;
            rest.clear();
        } else if (inRest) {
            rest.push_back(c);
        }
    }
    EXPECT_FALSE(inRest);
}

TEST_F(OpeningTest, SyncEntryIsReachedOnEqualityAndTheEndOnlyWhenPassed) {
    // No ticks: the panel never leaves, only the music can end the scene.
    musicSource = [](int64_t k) -> uint32_t {
        if (k == 1) return 0x25;
        if (k == 2) return 0x26;
        return k < 12 ? 0x20000 : 0x20001;
    };
    demo::kOpening.load();
    demo::kOpening.run();
    // Two frames of the first rest (0x25 is short of the entry, 0x26 reaches it).
    const auto& c = fake.calls;
    const auto start = std::find(c.begin(), c.end(), "StartTicker");
    EXPECT_EQ(std::count(c.begin(), start, "ShowFrame"), 2);
    EXPECT_EQ(demo::syncCounter, 1u);
    // Flight frames on reads 3..12: nine at exactly 0x20000, the last one past it.
    EXPECT_EQ(fake.countFrames, 10);
    EXPECT_EQ(std::count(start, c.end(), "ShowFrame"), 10) << "the frame that passes is shown";
    EXPECT_EQ(demo::lastMusicPosition, 0x20001u);
    EXPECT_EQ(demo::sceneEnd, 1u);
}

TEST_F(OpeningTest, EscapeInTheFirstRestStillCountsTheEntryAndStartsTheTicker) {
    EscapeAt(1);
    demo::kOpening.load();
    fake.calls.clear();
    demo::kOpening.run();
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"ProcessMessages", "StartTicker",
                                                    "ProcessMessages", "StopTicker"}));
    EXPECT_EQ(demo::syncCounter, 1u);
    demo::kOpening.free();
    ExpectAllFreed();
}

TEST_F(OpeningTest, EscapeInALaterRestResumesTheTickerAndLeaves) {
    // The first rest ends at once; the second waits for a music that stays put.
    musicSource = [](int64_t k) -> uint32_t { return k == 1 ? 0x26 : 0x30; };
    fake.beforeMessages = [this] { fake.Tick(); };
    int64_t pausedCalls = 0;
    bool escaped = false;
    fake.messages = [&](int64_t) {
        escaped = escaped || (fake.tickerPaused && ++pausedCalls > 5);
        return escaped ? 2 : 1;
    };
    demo::kOpening.load();
    demo::kOpening.run();
    EXPECT_EQ(demo::syncCounter, 2u);
    EXPECT_FALSE(fake.tickerPaused);
    EXPECT_EQ(op::arrived.load(), 0u);
    const std::vector<std::string> tail(fake.calls.end() - 5, fake.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"ToggleTicker", "CountFrame", "DebugFlush",
                                              "ProcessMessages", "StopTicker"}));
    demo::kOpening.free();
    ExpectAllFreed();
}

}  // namespace
