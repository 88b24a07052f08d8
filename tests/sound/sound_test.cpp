#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <thread>

#include "platform/os/Clock.h"
#include "platform/sound/Sound.h"

namespace {

constexpr uint64_t kRate = 44100;

std::string DataDir() {
    const char* dir = std::getenv("TESSARY_DATA");
    return dir ? dir : "data";
}
std::string ModulePath() { return DataDir() + "/Pavonel2.xm"; }

std::vector<char> ModuleBytes() {
    std::ifstream in(ModulePath(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// The position (order low, row high) at output frame f of the module, from
// its pattern lengths: speed 6 at 125 BPM is 5292 frames a row, no changes.
uint32_t Reference(int64_t f) {
    static const std::vector<int> rows = [] {
        std::vector<char> bytes = ModuleBytes();
        std::ostringstream log;
        openmpt::module m(bytes, log);
        EXPECT_EQ(m.get_current_speed(), 6);
        EXPECT_EQ(m.get_current_tempo(), 125);
        std::vector<int> r;
        for (int o = 0; o < m.get_num_orders(); ++o) r.push_back(m.get_pattern_num_rows(m.get_order_pattern(o)));
        return r;
    }();
    int64_t row = f < 0 ? 0 : f / 5292;
    for (size_t o = 0; o < rows.size(); ++o) {
        if (row < rows[o]) return static_cast<uint32_t>(o) | static_cast<uint32_t>(row) << 16;
        row -= rows[o];
    }
    ADD_FAILURE() << "past the end";
    return 0;
}

uint32_t Comparable(uint32_t p) { return p << 16 | p >> 16; }

uint64_t gNow = 0;
uint64_t FakeNow() { return gNow; }
uint64_t FramesAt(uint64_t ns) { return ns / 1000000000 * kRate + ns % 1000000000 * kRate / 1000000000; }

// A device that plays only when pulled, on a clock the test moves.
struct ManualDevice : testing::Test {
    static constexpr uint32_t kBuffer = 1024;
    std::vector<int16_t> buffer = std::vector<int16_t>(2 * kBuffer);
    uint32_t music = 0;
    void SetUp() override {
        gNow = 1000000000;
        sound::testing::SetNanosSource(FakeNow);
        sound::testing::UseManualOutput(kBuffer);
    }
    void Open() {
        ASSERT_TRUE(sound::Init(-1, 44100, 16, nullptr));
        music = sound::MusicLoad(0, ModulePath().c_str(), 0, 0, 1);
        ASSERT_NE(music, 0u);
        ASSERT_TRUE(sound::MusicPlay(music));
    }
    void TearDown() override { sound::Free(); }
};

TEST_F(ManualDevice, HeardPositionLagsTheDecoderByTheOutputBuffers) {
    Open();
    EXPECT_EQ(sound::testing::LatencyFrames(), 2 * kBuffer);
    bool lagSeen = false;
    for (int64_t k = 1; k <= 400; ++k) {  // about nine seconds
        sound::testing::Pull(buffer.data(), kBuffer);
        // Asked at the moment of the callback: what it rendered, and the
        // buffer before it, are still ahead of the listener.
        const int64_t heard = (k - 1) * kBuffer - 2 * kBuffer;
        const uint32_t p = sound::ChannelGetPosition(music);
        // Row changes are noted per 64-frame step, so up to 63 frames late.
        EXPECT_TRUE(p == Reference(heard) || p == Reference(heard - 63)) << k;
        lagSeen = lagSeen || p != Reference(k * kBuffer - 1);
        // Between callbacks the estimate runs on with the clock: 10 ms later.
        gNow += 10000000;
        const uint32_t later = sound::ChannelGetPosition(music);
        EXPECT_TRUE(later == Reference(heard + 441) || later == Reference(heard + 441 - 63)) << k;
        gNow += static_cast<uint64_t>(kBuffer) * 1000000000 / kRate - 10000000;
    }
    EXPECT_TRUE(lagSeen);
    EXPECT_GE(Comparable(sound::ChannelGetPosition(music)), 70u);  // about row 77 by now
}

TEST_F(ManualDevice, PositionNeverRunsBackwardsWhenCallbacksComeIrregularly) {
    Open();
    uint32_t last = 0;
    uint32_t seed = 7;
    for (int k = 0; k < 600; ++k) {
        seed = seed * 1103515245u + 12345u;
        // Callbacks early, late, in bursts; reads in between.
        gNow += (seed >> 16) % 60000000;
        if ((seed >> 8) % 3) sound::testing::Pull(buffer.data(), kBuffer);
        const uint32_t p = Comparable(sound::ChannelGetPosition(music));
        EXPECT_GE(p, last) << k;
        last = p;
    }
    EXPECT_GT(last, 0u);
}

TEST_F(ManualDevice, OffsetSettingShiftsTheReportedPosition) {
    setenv("TESSARY_AUDIO_OFFSET_MS", "20", 1);  // 882 frames later into the song
    Open();
    for (int64_t k = 1; k <= 200; ++k) {
        sound::testing::Pull(buffer.data(), kBuffer);
        const int64_t heard = (k - 1) * kBuffer - 2 * kBuffer + 882;
        const uint32_t p = sound::ChannelGetPosition(music);
        if (heard >= 0) {
            EXPECT_TRUE(p == Reference(heard) || p == Reference(heard - 63)) << k;
        }
        gNow += static_cast<uint64_t>(kBuffer) * 1000000000 / kRate;
    }
}

// No device: the music runs silently against the clock, rendered on demand.
struct NoDevice : testing::Test {
    uint32_t music = 0;
    uint64_t playNanos = 0;
    void SetUp() override {
        setenv("TESSARY_NO_AUDIO", "1", 1);
        gNow = 3000000123;
        sound::testing::SetNanosSource(FakeNow);
        ASSERT_TRUE(sound::Init(-1, 44100, 16, nullptr));
        ASSERT_TRUE(sound::Start());
        EXPECT_FALSE(sound::HasDevice());
        music = sound::MusicLoad(0, ModulePath().c_str(), 0, 0, 1);
        ASSERT_NE(music, 0u);
        EXPECT_EQ(sound::ChannelGetPosition(music), 0u);  // loaded, not playing
        gNow += 5000000000;  // the driver's wait
        playNanos = gNow;
        ASSERT_TRUE(sound::MusicPlay(music));
    }
    void TearDown() override { sound::Free(); }
    // Clock time at which `frames` frames of the music have been heard.
    void At(uint64_t frames) {
        const uint64_t target = FramesAt(playNanos) + frames;
        gNow = (target * 1000000000 + kRate - 1) / kRate;
        while (FramesAt(gNow) < target) ++gNow;
        while (FramesAt(gNow - 1) >= target) --gNow;
    }
    void SeekRough(double seconds) { gNow = playNanos + static_cast<uint64_t>(seconds * 1e9); }
};

TEST_F(NoDevice, PositionFollowsTheClockToTheFrame) {
    for (uint64_t row : {1u, 38u, 76u, 128u + 90u, 256u + 64u}) {
        SeekRough(static_cast<double>(row * 5292 - 200) / kRate);
        At(row * 5292);  // the last frame heard is the row's last: still the one before
        EXPECT_EQ(sound::ChannelGetPosition(music), Reference(static_cast<int64_t>(row * 5292 - 1))) << row;
        At(row * 5292 + 1);
        EXPECT_EQ(sound::ChannelGetPosition(music), Reference(static_cast<int64_t>(row * 5292))) << row;
    }
}

TEST_F(NoDevice, StopHoldsThePositionAndStartResumesWithoutAJump) {
    SeekRough(10.0);
    const uint32_t atStop = sound::ChannelGetPosition(music);
    ASSERT_TRUE(sound::Stop());
    SeekRough(20.0);
    EXPECT_EQ(sound::ChannelGetPosition(music), atStop);
    ASSERT_TRUE(sound::Start());
    gNow += 120000000;  // one row on
    const uint32_t resumed = sound::ChannelGetPosition(music);
    EXPECT_EQ(Comparable(resumed), Comparable(atStop) + 1);
}

TEST_F(NoDevice, FreeEndsEveryHandle) {
    SeekRough(1.0);
    EXPECT_NE(sound::ChannelGetPosition(music), sound::kInvalidPosition);
    ASSERT_TRUE(sound::Free());
    EXPECT_EQ(sound::ChannelGetPosition(music), sound::kInvalidPosition);
    EXPECT_FALSE(sound::MusicPlay(music));
}

struct Collected {
    std::vector<int16_t> pcm;
    uint64_t first = 0, next = 0;
    bool gap = false;
};
void Collect(const int16_t* frames, uint32_t count, uint64_t firstFrame, void* user) {
    auto* c = static_cast<Collected*>(user);
    if (c->pcm.empty()) c->first = firstFrame;
    else if (firstFrame != c->next) c->gap = true;
    c->next = firstFrame + count;
    c->pcm.insert(c->pcm.end(), frames, frames + 2 * count);
}

TEST(SoundConsumer, ReceivesEveryFrameInOrderAsTheDecoderMadeIt) {
    setenv("TESSARY_NO_AUDIO", "1", 1);
    gNow = 2000000000;
    sound::testing::SetNanosSource(FakeNow);
    Collected c;
    sound::SetFrameConsumer(Collect, &c);
    ASSERT_TRUE(sound::Init(-1, 44100, 16, nullptr));
    const uint32_t music = sound::MusicLoad(0, ModulePath().c_str(), 0, 0, 1);
    gNow += 500000000;  // half a second of silence before the music
    ASSERT_TRUE(sound::MusicPlay(music));
    for (int i = 0; i < 120; ++i) {  // two seconds in frames of 1/60 s
        gNow += 16666667;
        sound::Update();
    }
    EXPECT_FALSE(c.gap);
    EXPECT_EQ(c.first, FramesAt(2000000000));
    EXPECT_EQ(c.next, FramesAt(gNow));
    const size_t silent = FramesAt(2500000000) - FramesAt(2000000000);
    for (size_t i = 0; i < 2 * silent; ++i) ASSERT_EQ(c.pcm[i], 0) << i;

    // The music part is libopenmpt's own rendering, frame for frame.
    std::vector<char> bytes = ModuleBytes();
    std::ostringstream log;
    openmpt::module m(bytes, log);
    m.set_repeat_count(-1);
    const size_t frames = c.pcm.size() / 2 - silent;
    std::vector<float> ref(2 * frames);
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min<size_t>(64, frames - done);
        ASSERT_EQ(m.read_interleaved_stereo(44100, n, ref.data() + 2 * done), n);
        done += n;
    }
    size_t loud = 0;
    for (size_t i = 0; i < 2 * frames; ++i) {
        const int16_t want = static_cast<int16_t>(std::lround(std::clamp(ref[i], -1.0f, 1.0f) * 32767.0f));
        ASSERT_EQ(c.pcm[2 * silent + i], want) << i;
        loud += std::abs(want) > 300;
    }
    EXPECT_GT(loud, frames / 10);
    sound::SetFrameConsumer(nullptr, nullptr);
    sound::Free();
}

TEST(SoundOutput, PlaysInRealTimeWhateverTheDevice) {
    // SDL's dummy device plays against the wall clock; an unknown driver means
    // no device at all. Either way the position moves on in time.
    for (const char* driver : {"dummy", "no-such-driver"}) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        ASSERT_TRUE(sound::Init(-1, 44100, 16, nullptr)) << driver;
        ASSERT_TRUE(sound::Start());
        const uint32_t music = sound::MusicLoad(0, ModulePath().c_str(), 0, 0, 1);
        ASSERT_TRUE(sound::MusicPlay(music));
        const auto start = std::chrono::steady_clock::now();
        uint32_t p = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            p = sound::ChannelGetPosition(music);
            if ((p >> 16) >= 3) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(p >> 16, 3u) << driver;
        EXPECT_GE(seconds, 0.3) << driver;  // rows 0..2 last 360 ms
        ASSERT_TRUE(sound::Free());
    }
}

TEST(SoundLoad, UnreadableModulesAreReportedAndGiveNoHandle) {
    ASSERT_TRUE(sound::Init(0, 44100, 16, nullptr));
    const std::vector<char> real = ModuleBytes();
    ASSERT_GT(real.size(), 1000u);
    const std::string garbage(4000, 'x');
    struct Case {
        const char* what;
        int32_t fromMemory;
        const void* data;
        uint32_t length;
    };
    const Case cases[] = {
        {"missing file", 0, "data\\no-such-module.xm", 0},
        {"garbage", 1, garbage.data(), static_cast<uint32_t>(garbage.size())},
        {"truncated header", 1, real.data(), 40},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const uint32_t h = sound::MusicLoad(c.fromMemory, c.data, 0, c.length, 1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(h, 0u) << c.what;
        EXPECT_NE(err.find("sound: cannot load music"), std::string::npos) << c.what << ": " << err;
        EXPECT_EQ(sound::ChannelGetPosition(h), sound::kInvalidPosition) << c.what;
        EXPECT_FALSE(sound::MusicPlay(h)) << c.what;
    }
    EXPECT_EQ(sound::ChannelGetPosition(12345), sound::kInvalidPosition);
    sound::Free();
}

TEST(SoundLoad, TakesBackslashNamesAndPartsOfFiles) {
    const std::string dir = DataDir();
    ASSERT_EQ(chdir((dir + "/..").c_str()), 0);
    const std::string leaf = dir.substr(dir.rfind('/') + 1);
    ASSERT_TRUE(sound::Init(0, 44100, 16, nullptr));
    EXPECT_NE(sound::MusicLoad(0, (leaf + "\\Pavonel2.xm").c_str(), 0, 0, 1), 0u);
    // From memory, at an offset.
    std::vector<char> padded(16, 0);
    const std::vector<char> real = ModuleBytes();
    padded.insert(padded.end(), real.begin(), real.end());
    EXPECT_NE(sound::MusicLoad(1, padded.data(), 16, static_cast<uint32_t>(real.size()), 1), 0u);
    sound::Free();
}

TEST(SoundLoad, NeedsAnInitialisedOutput) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(sound::MusicLoad(0, ModulePath().c_str(), 0, 0, 1), 0u);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not initialised"), std::string::npos);
}

}  // namespace

namespace {

TEST(VirtualClock, MusicIsRenderedToTheSampleAndPollsMoveTime) {
    os::clock::UseVirtual(60, 1);
    Collected c;
    sound::SetFrameConsumer(Collect, &c);
    ASSERT_TRUE(sound::Init(-1, 44100, 16, nullptr));
    EXPECT_FALSE(sound::HasDevice());  // no device on the virtual clock
    const uint32_t music = sound::MusicLoad(0, ModulePath().c_str(), 0, 0, 1);
    os::clock::Sleep(5000);
    const uint64_t playSample = os::clock::NowSamples();
    ASSERT_TRUE(sound::MusicPlay(music));
    // A loop that only polls still gets to row 3: each read moves time on.
    const uint64_t before = os::clock::NowMillis();
    int polls = 0;
    while ((sound::ChannelGetPosition(music) >> 16) < 3) ++polls;
    EXPECT_EQ(os::clock::NowMillis() - before, static_cast<uint64_t>(polls + 1) * os::clock::kPollStepMillis);
    // Exactly the rows' length: row 3 begins at frame 3 * 5292 of the music.
    const uint64_t heard = os::clock::NowSamples() - playSample;
    EXPECT_GE(heard, 3u * 5292 + 1);
    EXPECT_LE(heard, 3u * 5292 + 45);  // found within one poll step (44 or 45 samples)
    for (int frame = 0; frame < 90; ++frame) {
        os::clock::OnFramePresented();
        sound::Update();
        EXPECT_EQ(c.next, os::clock::NowSamples());
    }
    EXPECT_EQ(sound::ChannelGetPosition(music),
              Reference(static_cast<int64_t>(os::clock::NowSamples() - playSample - 1)));
    EXPECT_FALSE(c.gap);
    EXPECT_EQ(c.first, 0u);
    sound::SetFrameConsumer(nullptr, nullptr);
    sound::Free();
}

}  // namespace
