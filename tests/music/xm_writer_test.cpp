#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "tools/mkdata/music/Xm.h"

namespace {

// Four channels, three patterns of different lengths, orders revisiting one,
// two instruments (one looped with an envelope), a restart position.
xm::Module SmallModule() {
    xm::Module m;
    m.name = "small";
    m.channels = 4;
    m.speed = 5;
    m.bpm = 140;
    m.restart = 1;
    m.orders = {0, 2, 1, 2};
    m.patterns = {xm::Pattern(64, 4), xm::Pattern(32, 4), xm::Pattern(100, 4)};
    m.patterns[0].At(0, 0) = {xm::Note(4, 0), 1, xm::Volume(40), 0, 0};
    m.patterns[0].At(3, 3) = {xm::Note(5, 7), 2, xm::Volume(64), 0x0C, 0x20};  // all five fields
    m.patterns[0].At(8, 0) = {xm::kKeyOff, 0, 0, 0, 0};
    m.patterns[1].At(31, 1) = {0, 0, 0, 0x0F, 0x07};
    m.patterns[2].At(99, 2) = {xm::Note(2, 11), 2, 0, 0x0A, 0x02};

    xm::Instrument a;
    a.name = "looped";
    xm::Sample s;
    s.name = "saw";
    for (int i = 0; i < 300; ++i) s.pcm.push_back(static_cast<int16_t>((i % 100) * 600 - 30000));
    s.loop = xm::Loop::Forward;
    s.loopStart = 100;
    s.loopLength = 200;
    s.volume = 50;
    s.relativeNote = -3;
    s.finetune = 17;
    a.samples.push_back(s);
    a.volume.points = {{0, 0}, {10, 64}, {30, 20}};
    a.volume.sustain = 1;
    a.fadeout = 512;

    xm::Instrument b;
    b.name = "one shot";
    xm::Sample t;
    t.name = "extremes";
    t.pcm = {0, 32767, -32768, 32767, -1, 1, -32768, 0};  // every delta wraps
    t.panning = 200;
    b.samples.push_back(t);
    m.instruments = {a, b};
    return m;
}

std::vector<uint8_t> Bytes(const xm::Module& m) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(xm::Write(m, &bytes, &error)) << error;
    return bytes;
}

struct Xmp {
    xmp_context ctx = xmp_create_context();
    xmp_module_info info{};
    int loaded = -1;
    explicit Xmp(std::vector<uint8_t>& bytes) {
        loaded = xmp_load_module_from_memory(ctx, bytes.data(), static_cast<long>(bytes.size()));
        if (loaded == 0) xmp_get_module_info(ctx, &info);
    }
    ~Xmp() {
        if (loaded == 0) xmp_release_module(ctx);
        xmp_free_context(ctx);
    }
};

TEST(XmWriter, BothDecodersReadTheSameStructure) {
    const xm::Module m = SmallModule();
    std::vector<uint8_t> bytes = Bytes(m);

    std::ostringstream log;
    openmpt::module mpt(bytes, log);
    EXPECT_EQ(mpt.get_metadata("type"), "xm");
    EXPECT_EQ(mpt.get_num_orders(), 4);
    EXPECT_EQ(mpt.get_num_patterns(), 3);
    EXPECT_EQ(mpt.get_num_channels(), 4);
    EXPECT_EQ(mpt.get_num_instruments(), 2);
    EXPECT_EQ(mpt.get_num_samples(), 2);
    EXPECT_EQ(mpt.get_num_subsongs(), 1);
    EXPECT_EQ(mpt.get_current_speed(), 5);
    EXPECT_EQ(mpt.get_current_tempo(), 140);
    EXPECT_EQ(mpt.get_metadata("title"), "small");

    Xmp x(bytes);
    ASSERT_EQ(x.loaded, 0);
    const xmp_module* mod = x.info.mod;
    EXPECT_EQ(mod->len, 4);
    EXPECT_EQ(mod->rst, 1);
    EXPECT_EQ(mod->chn, 4);
    EXPECT_EQ(mod->ins, 2);
    EXPECT_EQ(mod->spd, 5);
    EXPECT_EQ(mod->bpm, 140);

    for (int o = 0; o < 4; ++o) {
        const int pattern = mpt.get_order_pattern(o);
        EXPECT_EQ(pattern, m.orders[static_cast<size_t>(o)]);
        EXPECT_EQ(mod->xxo[o], pattern);
        EXPECT_EQ(mpt.get_pattern_num_rows(pattern), m.patterns[static_cast<size_t>(pattern)].rows);
        EXPECT_EQ(mod->xxp[pattern]->rows, m.patterns[static_cast<size_t>(pattern)].rows);
    }
    EXPECT_EQ(std::string(mod->xxi[1].name), "one shot");
    EXPECT_EQ(mod->xxi[0].aei.npt, 3);
    EXPECT_EQ(mod->xxi[0].aei.sus, 1);
    EXPECT_EQ(mod->xxi[0].rls, 1024);  // libxmp keeps the fadeout doubled
}

TEST(XmWriter, CellsSurviveThePacking) {
    const xm::Module m = SmallModule();
    std::vector<uint8_t> bytes = Bytes(m);
    std::ostringstream log;
    openmpt::module mpt(bytes, log);
    for (int p = 0; p < 3; ++p) {
        const xm::Pattern& pat = m.patterns[static_cast<size_t>(p)];
        for (int r = 0; r < pat.rows; ++r)
            for (int c = 0; c < 4; ++c) {
                const xm::Cell& cell = pat.At(r, c);
                SCOPED_TRACE(testing::Message() << "pattern " << p << " row " << r << " channel " << c);
                const int note = mpt.get_pattern_row_channel_command(p, r, c, openmpt::module::command_note);
                // libopenmpt counts notes one octave higher; key-off is its own value.
                if (cell.note == xm::kKeyOff)
                    EXPECT_GT(note, 120);
                else if (cell.note)
                    EXPECT_EQ(note, cell.note + 12);
                else
                    EXPECT_EQ(note, 0);
                EXPECT_EQ(mpt.get_pattern_row_channel_command(p, r, c, openmpt::module::command_instrument),
                          cell.instrument);
            }
    }
    EXPECT_EQ(mpt.get_pattern_row_channel_command(0, 3, 3, openmpt::module::command_volume), 64);
    EXPECT_EQ(mpt.get_pattern_row_channel_command(0, 0, 0, openmpt::module::command_volume), 40);
}

TEST(XmWriter, SamplesAreDeltaEncodedExactly) {
    const xm::Module m = SmallModule();
    std::vector<uint8_t> bytes = Bytes(m);
    Xmp x(bytes);
    ASSERT_EQ(x.loaded, 0);
    const xmp_module* mod = x.info.mod;
    ASSERT_EQ(mod->smp, 2);
    for (int i = 0; i < 2; ++i) {
        const xm::Sample& want = m.instruments[static_cast<size_t>(i)].samples[0];
        const xmp_sample& got = mod->xxs[i];
        ASSERT_TRUE(got.flg & XMP_SAMPLE_16BIT);
        ASSERT_EQ(got.len, static_cast<int>(want.pcm.size()));
        const int16_t* data = reinterpret_cast<const int16_t*>(got.data);
        for (size_t k = 0; k < want.pcm.size(); ++k) ASSERT_EQ(data[k], want.pcm[k]) << "sample " << i << " frame " << k;
    }
    EXPECT_TRUE(mod->xxs[0].flg & XMP_SAMPLE_LOOP);
    EXPECT_EQ(mod->xxs[0].lps, 100);
    EXPECT_EQ(mod->xxs[0].lpe, 300);
    EXPECT_FALSE(mod->xxs[1].flg & XMP_SAMPLE_LOOP);
}

TEST(XmWriter, RowTimingAgreesBetweenDecoders) {
    std::vector<uint8_t> bytes = Bytes(SmallModule());
    // libxmp: the frame at which each (order, row) starts, from its tick sizes.
    std::vector<std::pair<int, long>> xmpRows;  // order*1000+row, start frame
    {
        Xmp x(bytes);
        ASSERT_EQ(x.loaded, 0);
        ASSERT_EQ(xmp_start_player(x.ctx, 44100, 0), 0);
        long frames = 0;
        int last = -1;
        xmp_frame_info fi;
        while (xmp_play_frame(x.ctx) == 0) {
            xmp_get_frame_info(x.ctx, &fi);
            if (fi.loop_count > 0) break;
            const int key = fi.pos * 1000 + fi.row;
            if (key != last) xmpRows.push_back({key, frames});
            last = key;
            frames += fi.buffer_size / 4;
        }
        xmp_end_player(x.ctx);
    }
    // libopenmpt in 32-frame steps: a change is seen within 32 frames.
    std::ostringstream log;
    openmpt::module mpt(bytes, log);
    mpt.ctl_set_text("play.at_end", "stop");
    std::vector<std::pair<int, long>> mptRows;
    std::vector<float> buf(64);
    long frames = 0;
    int last = -1;
    while (size_t n = mpt.read_interleaved_stereo(44100, 32, buf.data())) {
        const int key = mpt.get_current_order() * 1000 + mpt.get_current_row();
        if (key < last) break;  // back at the restart position: the end
        if (key != last) mptRows.push_back({key, frames});
        last = key;
        frames += static_cast<long>(n);
    }
    // Orders 0, 2, 1, 2: 64 + 100 + 32 + 100 rows; the F07 at the end of
    // pattern 1 slows the last 100.
    ASSERT_EQ(xmpRows.size(), 296u);
    ASSERT_EQ(mptRows.size(), xmpRows.size());
    for (size_t i = 0; i < xmpRows.size(); ++i) {
        EXPECT_EQ(mptRows[i].first, xmpRows[i].first) << i;
        EXPECT_NEAR(mptRows[i].second, xmpRows[i].second, 32) << i;
    }
}

TEST(XmWriter, TunedSampleSoundsAtItsNote) {
    // A sine of 441 Hz at 44100 Hz, tuned so that C-4 is middle C: A-4 must give 440 Hz.
    xm::Module m;
    m.channels = 2;
    m.orders = {0};
    m.patterns = {xm::Pattern(64, 2)};
    m.patterns[0].At(0, 0) = {xm::Note(4, 9), 1, 0, 0, 0};
    xm::Instrument ins;
    xm::Sample s;
    for (int i = 0; i < 4400; ++i) s.pcm.push_back(static_cast<int16_t>(std::lround(20000 * std::sin(2 * M_PI * i / 100.0))));
    s.loop = xm::Loop::Forward;
    s.loopLength = 4400;  // whole periods
    xm::TuneSample(&s, 44100, 441, 261.6255653);
    ins.samples.push_back(s);
    m.instruments = {ins};
    std::vector<uint8_t> bytes = Bytes(m);
    std::ostringstream log;
    openmpt::module mpt(bytes, log);
    std::vector<float> left(44100 * 2), right(44100 * 2);
    ASSERT_EQ(mpt.read(44100, 88200, left.data(), right.data()), 88200u);
    int crossings = 0;  // upward zero crossings over the second second
    for (size_t i = 44101; i < 88200; ++i) crossings += left[i - 1] < 0 && left[i] >= 0;
    EXPECT_NEAR(crossings, 440, 1);
}

TEST(XmWriter, RefusesWhatPlayersDisagreeOn) {
    struct Case {
        const char* what;
        void (*spoil)(xm::Module&);
        const char* reason;
    };
    const Case cases[] = {
        {"odd channels", [](xm::Module& m) { m.channels = 3; }, "channel"},
        {"no rows", [](xm::Module& m) { m.patterns[1] = xm::Pattern(0, 4); }, "rows"},
        {"missing pattern", [](xm::Module& m) { m.orders.push_back(3); }, "missing pattern"},
        {"empty short pattern", [](xm::Module& m) { m.patterns[1].At(31, 1) = {}; }, "empty"},
        {"F00", [](xm::Module& m) { m.patterns[1].At(31, 1).param = 0; }, "F00"},
        {"slow BPM", [](xm::Module& m) { m.bpm = 20; }, "BPM"},
        {"speed 0", [](xm::Module& m) { m.speed = 0; }, "speed"},
        {"restart outside", [](xm::Module& m) { m.restart = 4; }, "restart"},
        {"loop past the end", [](xm::Module& m) { m.instruments[0].samples[0].loopLength = 201; }, "loop"},
        {"key-off with instrument", [](xm::Module& m) { m.patterns[0].At(8, 0).instrument = 1; }, "key-off"},
        {"unknown instrument", [](xm::Module& m) { m.patterns[0].At(0, 0).instrument = 3; }, "instrument"},
        {"envelope not from 0", [](xm::Module& m) { m.instruments[0].volume.points[0].tick = 1; }, "envelope"},
        {"long name", [](xm::Module& m) { m.name = "twenty-one characters"; }, "name"},
    };
    for (const Case& c : cases) {
        xm::Module m = SmallModule();
        c.spoil(m);
        std::vector<uint8_t> bytes = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(xm::Write(m, &bytes, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(bytes.size(), 3u) << c.what;
    }
}

TEST(XmWriter, HeaderBytesAreFastTrackerLayout) {
    std::vector<uint8_t> b = Bytes(SmallModule());
    ASSERT_GT(b.size(), 336u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 37), "small               ");
    EXPECT_EQ(b[37], 0x1A);
    EXPECT_EQ(b[58] | b[59] << 8, 0x0104);
    EXPECT_EQ(b[60] | b[61] << 8, 276);
    EXPECT_EQ(b[74] | b[75] << 8, 1);  // linear frequencies
    EXPECT_EQ(b[336] | b[337] << 8, 9);  // first pattern header
}

}  // namespace
