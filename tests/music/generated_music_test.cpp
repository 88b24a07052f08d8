// The generated module against what the scenes wait for.
#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <sstream>

#include "tools/mkdata/music/Music.h"

namespace {

constexpr int kRate = 44100;
constexpr double kFramesPerRow = kRate * 6 * 2.5 / 125;  // speed 6, 125 BPM

std::vector<uint8_t> ReadModule() {
    const char* dir = std::getenv("TESSARY_DATA");
    EXPECT_NE(dir, nullptr);
    std::ifstream in(std::string(dir ? dir : ".") + "/Pavonel2.xm", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Position as the scenes compare it: order high, row low.
uint32_t Pos(int order, int row) { return static_cast<uint32_t>(order) << 16 | static_cast<uint32_t>(row); }

// One pass through the song in 64-frame steps, with what the ears would check.
struct Pass {
    std::vector<std::pair<uint32_t, long>> changes;  // position, first frame seen
    std::map<int, double> orderPeak, orderSquares;
    std::map<int, long> orderFrames;
    std::vector<float> channelVu;
    double peak = 0;
    long frames = 0;
    long loopFrame = -1;  // where the song came back to an earlier order
    int loopOrder = -1;
    double loopRms = 0;
};

const Pass& SongPass() {
    static const Pass pass = [] {
        Pass p;
        std::vector<uint8_t> bytes = ReadModule();
        std::ostringstream log;
        openmpt::module m(bytes, log);
        m.set_repeat_count(-1);
        p.channelVu.assign(static_cast<size_t>(m.get_num_channels()), 0.0f);
        std::vector<float> buf(128);
        uint32_t last = 0xFFFFFFFF;
        int maxOrder = 0;
        double loopSquares = 0;
        long loopCount = 0;
        while (true) {
            const size_t n = m.read_interleaved_stereo(kRate, 64, buf.data());
            if (n == 0) break;
            const int order = m.get_current_order();
            const uint32_t pos = Pos(order, m.get_current_row());
            if (p.loopFrame < 0 && order < maxOrder) {
                p.loopFrame = p.frames;
                p.loopOrder = order;
            }
            maxOrder = std::max(maxOrder, order);
            if (p.loopFrame >= 0) {
                for (size_t i = 0; i < 2 * n; ++i) loopSquares += buf[i] * buf[i];
                loopCount += static_cast<long>(2 * n);
                if (p.frames - p.loopFrame > 4 * kRate) break;  // four seconds after the loop
            } else {
                if (pos != last) p.changes.push_back({pos, p.frames});
                double peak = 0, squares = 0;
                for (size_t i = 0; i < 2 * n; ++i) {
                    const double v = std::fabs(buf[i]);
                    peak = std::max(peak, v);
                    squares += v * v;
                }
                p.peak = std::max(p.peak, peak);
                p.orderPeak[order] = std::max(p.orderPeak[order], peak);
                p.orderSquares[order] += squares;
                p.orderFrames[order] += static_cast<long>(n);
                for (size_t c = 0; c < p.channelVu.size(); ++c)
                    p.channelVu[c] = std::max(p.channelVu[c], m.get_current_channel_vu_mono(static_cast<int>(c)));
            }
            last = pos;
            p.frames += static_cast<long>(n);
        }
        p.loopRms = loopCount ? std::sqrt(loopSquares / static_cast<double>(loopCount)) : 0;
        return p;
    }();
    return pass;
}

// The frame at which the music first reaches `target` (>=) or passes it (>).
long FirstFrame(uint32_t target, bool strictlyAfter) {
    for (const auto& [pos, frame] : SongPass().changes)
        if (strictlyAfter ? pos > target : pos >= target) return frame;
    return -1;
}

// Rows before (order, row), from the pattern lengths the song is made of.
long RowsBefore(int order, int row) {
    static const xm::Module m = mkdata::ComposeMusic();
    long rows = 0;
    for (int o = 0; o < order; ++o) rows += m.patterns[m.orders[static_cast<size_t>(o)]].rows;
    return rows + row;
}

TEST(GeneratedMusic, IsTheComposedModule) {
    std::vector<uint8_t> expected;
    std::string error;
    ASSERT_TRUE(xm::Write(mkdata::ComposeMusic(), &expected, &error)) << error;
    EXPECT_EQ(ReadModule(), expected);  // and so deterministic
}

TEST(GeneratedMusic, PatternsCoverEverySyncAndEndPosition) {
    std::vector<uint8_t> bytes = ReadModule();
    std::ostringstream log;
    openmpt::module m(bytes, log);
    EXPECT_EQ(m.get_num_subsongs(), 1);  // every order reachable
    // The opening waits for rows 38 and 76 of order 0 and 14, 52 and 90 of order 1.
    EXPECT_GT(m.get_pattern_num_rows(m.get_order_pattern(0)), 76);
    EXPECT_GT(m.get_pattern_num_rows(m.get_order_pattern(1)), 90);
    // Scenes end after orders 2, 4, 8, 10 and 14 begin; the cake needs music after that.
    EXPECT_GT(m.get_num_orders(), 15);

    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), static_cast<long>(bytes.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    EXPECT_EQ(info.mod->len, m.get_num_orders());
    EXPECT_EQ(info.mod->chn, m.get_num_channels());
    EXPECT_EQ(info.mod->ins, m.get_num_instruments());
    EXPECT_GE(info.mod->rst, 14);  // the loop stays in the cake's section
    EXPECT_LT(info.mod->rst, info.mod->len);
    for (int o = 0; o < info.mod->len; ++o)
        EXPECT_EQ(info.mod->xxp[info.mod->xxo[o]]->rows, m.get_pattern_num_rows(m.get_order_pattern(o)));
    xmp_release_module(ctx);
    xmp_free_context(ctx);
}

TEST(GeneratedMusic, ReachesEachWaitedPositionOnTime) {
    struct Wait {
        uint32_t position;
        bool strictlyAfter;  // scene ends pass the position; sync entries reach it
        int order, row;      // where the listener is then
    };
    const Wait waits[] = {
        {0x26, false, 0, 38},     {0x4C, false, 0, 76},     {0x1000E, false, 1, 14},
        {0x10034, false, 1, 52},  {0x1005A, false, 1, 90},  {0x20000, true, 2, 1},
        {0x40000, true, 4, 1},    {0x80000, true, 8, 1},    {0xA0000, true, 10, 1},
        {0xE0000, true, 14, 1},
    };
    for (const Wait& w : waits) {
        const long frame = FirstFrame(w.position, w.strictlyAfter);
        const double expected = RowsBefore(w.order, w.row) * kFramesPerRow;
        // A change shows in the 64-frame step it falls in, noted at the step's start.
        EXPECT_NEAR(static_cast<double>(frame), expected - 32, 32) << std::hex << w.position;
    }
    const double toCake = RowsBefore(14, 0) * kFramesPerRow / kRate;
    EXPECT_GE(toCake, 120.0);
    EXPECT_LE(toCake, 240.0);
}

TEST(GeneratedMusic, StaysBelowFullScaleAndEverySectionSounds) {
    const Pass& p = SongPass();
    EXPECT_LT(p.peak, 0.8) << "peak " << 20 * std::log10(p.peak) << " dBFS";
    for (const auto& [order, squares] : p.orderSquares) {
        const double rms = std::sqrt(squares / (2.0 * p.orderFrames.at(order)));
        const double db = 20 * std::log10(rms);
        EXPECT_GT(db, -30.0) << "order " << order;  // no section falls silent
        EXPECT_LT(db, -12.0) << "order " << order;  // and none is squashed loud
    }
    for (size_t c = 0; c < p.channelVu.size(); ++c) EXPECT_GT(p.channelVu[c], 0.05f) << "channel " << c;
}

TEST(GeneratedMusic, LoopsBackIntoTheCakeSection) {
    const Pass& p = SongPass();
    ASSERT_GE(p.loopFrame, 0);
    EXPECT_EQ(p.loopOrder, 14);
    EXPECT_GT(20 * std::log10(p.loopRms), -30.0);
}

TEST(GeneratedMusic, InstrumentsCannotClick) {
    const xm::Module m = mkdata::ComposeMusic();
    for (const xm::Instrument& ins : m.instruments) {
        const std::vector<int16_t>& pcm = ins.samples.at(0).pcm;
        ASSERT_GT(pcm.size(), 16u) << ins.name;
        int maxStep = 0;
        for (size_t i = 1; i < pcm.size(); ++i) maxStep = std::max(maxStep, std::abs(pcm[i] - pcm[i - 1]));
        const xm::Sample& s = ins.samples[0];
        if (s.loop == xm::Loop::None) {
            // One-shots start and end in silence.
            EXPECT_LT(std::abs(pcm.front()), 330) << ins.name;
            EXPECT_LT(std::abs(pcm.back()), 330) << ins.name;
        } else {
            // The loop joins no more steeply than the waveform itself moves.
            const int join = std::abs(pcm[s.loopStart] - pcm[s.loopStart + s.loopLength - 1]);
            EXPECT_LE(join, maxStep) << ins.name;
            // Held instruments fade in, so the start is no step either.
            ASSERT_FALSE(ins.volume.points.empty()) << ins.name;
            EXPECT_LT(std::abs(pcm.front()), 330) << ins.name;
        }
    }
}

}  // namespace
