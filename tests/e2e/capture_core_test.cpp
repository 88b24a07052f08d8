// The capture tool's own parts: frame and sample timing, options, the PNG and
// WAV writers and the recorder that turns presents into fixed-rate frames.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "tools/capture/Image.h"
#include "tools/capture/Options.h"
#include "tools/capture/Output.h"
#include "tools/capture/Progress.h"
#include "tools/capture/Recorder.h"
#include "tools/capture/Timing.h"

namespace capture {
namespace {
namespace fs = std::filesystem;

TEST(CaptureTiming, SamplesPerFrameAreExactAndNeverDrift) {
    struct Case {
        FrameRate rate;
        uint32_t low, high;
    };
    const Case cases[] = {
        {{60, 1}, 735, 735},   {{50, 1}, 882, 882},      {{30, 1}, 1470, 1470},
        {{60000, 1001}, 735, 736}, {{24000, 1001}, 1839, 1840}, {{7, 1}, 6300, 6300},
        {{1000, 1}, 44, 45},
    };
    for (const auto& c : cases) {
        uint64_t total = 0;
        const uint64_t frames = 10 * c.rate.num;  // a whole number of seconds * den
        for (uint64_t j = 0; j < frames; ++j) {
            const uint32_t n = SamplesInFrame(c.rate, j);
            EXPECT_GE(n, c.low) << c.rate.num << "/" << c.rate.den << " frame " << j;
            EXPECT_LE(n, c.high) << c.rate.num << "/" << c.rate.den << " frame " << j;
            EXPECT_EQ(SampleAt(c.rate, j), total);
            total += n;
        }
        // frames / rate seconds, exactly.
        EXPECT_EQ(total, uint64_t{44100} * 10 * c.rate.den) << c.rate.num << "/" << c.rate.den;
    }
}

TEST(CaptureTiming, FramesBeforeAndAtAMoment) {
    const FrameRate ntsc{60000, 1001};
    for (uint64_t j : {0ull, 1ull, 2ull, 59ull, 1000ull, 1001ull, 123457ull}) {
        const uint64_t t = FrameStartNanos(ntsc, j);
        // A present at a frame's start (rounded down to nanoseconds) shows in
        // that frame: only the frames before it are complete.
        EXPECT_EQ(FramesBeforeNanos(ntsc, t), j) << j;
        EXPECT_EQ(FramesBeforeNanos(ntsc, t + 1), j + 1) << j;
        EXPECT_EQ(FrameAtNanos(ntsc, t + 1), j) << j;
    }
    EXPECT_EQ(FrameStartNanos({60, 1}, 60), 1'000'000'000u);
    EXPECT_EQ(FrameStartNanos({60000, 1001}, 60000), 1001'000'000'000ull);
    EXPECT_EQ(SampleAtNanos(1'000'000'000), 44100u);
    EXPECT_EQ(SampleAtNanos(22'675), 0u);  // just under one sample (22675.7 ns)
    EXPECT_EQ(SampleAtNanos(22'676), 1u);
}

std::string ParseArgs(std::vector<const char*> args, Options& o) {
    args.insert(args.begin(), "tessary-capture");
    return Parse(static_cast<int>(args.size()), args.data(), o);
}

TEST(CaptureOptions, ReadsEveryOption) {
    Options o;
    ASSERT_EQ(ParseArgs({"-o", "out.mp4", "--rate", "60000/1001", "--scale=2", "--start", "1:02.5",
                         "--end", "cake+4", "--escape", "music-end+2", "--hash", "-q", "--crf",
                         "23", "--format", "raw", "--audio", "a.wav"},
                        o),
              "");
    EXPECT_EQ(o.output, "out.mp4");
    EXPECT_EQ(o.rate.num, 60000u);
    EXPECT_EQ(o.rate.den, 1001u);
    EXPECT_EQ(o.scale, 2);
    ASSERT_TRUE(o.start && o.end && o.escape);
    EXPECT_EQ(o.start->base, TimeSpec::Base::kStart);
    EXPECT_EQ(o.start->offsetNanos, 62'500'000'000);
    EXPECT_EQ(o.end->base, TimeSpec::Base::kScene);
    EXPECT_EQ(o.end->scene, "cake");
    EXPECT_EQ(o.end->offsetNanos, 4'000'000'000);
    EXPECT_EQ(o.escape->base, TimeSpec::Base::kMusicEnd);
    EXPECT_EQ(o.escape->offsetNanos, 2'000'000'000);
    EXPECT_TRUE(o.hash);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.crf, 23);
    EXPECT_EQ(o.format, Format::kRaw);
    EXPECT_EQ(o.audio, "a.wav");

    ASSERT_EQ(ParseArgs({"--size", "1920x1440", "--frames", "#12,300,logo+1.5,2.25"}, o), "");
    EXPECT_EQ(o.scale, 3);
    ASSERT_EQ(o.frames.size(), 4u);
    EXPECT_EQ(o.frames[0].number, 12u);
    EXPECT_EQ(o.frames[1].number, 300u);
    EXPECT_FALSE(o.frames[2].number);
    EXPECT_EQ(o.frames[2].time.scene, "logo");
    EXPECT_EQ(o.frames[2].time.offsetNanos, 1'500'000'000);
    EXPECT_EQ(o.frames[3].time.offsetNanos, 2'250'000'000);

    ASSERT_EQ(ParseArgs({}, o), "");
    EXPECT_EQ(o.output, "tessary.mp4");
    EXPECT_EQ(o.rate.num, 60u);
    EXPECT_EQ(o.rate.den, 1u);
    EXPECT_EQ(o.scale, 1);
    EXPECT_FALSE(o.escape);
}

TEST(CaptureOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<const char*>> bad = {
        {"--rate", "0"},        {"--rate", "60/0"},      {"--rate", "5000"},
        {"--rate", "abc"},      {"--scale", "0"},        {"--scale", "9"},
        {"--size", "800x600"},  {"--size", "1280x720"},  {"--start", "soon"},
        {"--end", "cake+x"},    {"--escape", "1:"},      {"--frames", "1,,2"},
        {"--format", "avi"},    {"--crf", "60"},         {"--output"},
        {"--bogus"},            {"--no-escape"},         {"--no-escape", "--escape", "3", "--end", "4"},
        {"--frames", "1", "--format", "mp4"},            {"--scale", "2", "--size", "640x480"},
        {"--start", "1.2.3"},
    };
    for (const auto& args : bad) {
        Options o;
        std::string joined;
        for (const char* a : args) joined += std::string(a) + " ";
        EXPECT_NE(ParseArgs(args, o), "") << joined;
    }
}

TEST(CaptureOptions, HelpNamesEveryOption) {
    Options o;
    ASSERT_EQ(ParseArgs({"--help"}, o), "");
    EXPECT_TRUE(o.help);
    for (const char* name : {"--output", "--format", "--audio", "--crf", "--rate", "--scale",
                             "--size", "--start", "--end", "--frames", "--escape", "--no-escape",
                             "--hash", "--quiet", "--help", "60000/1001", "music-end"})
        EXPECT_NE(std::string(kUsage).find(name), std::string::npos) << name;
}

TEST(CaptureImage, ConvertsAndScalesWithBitReplication) {
    // 2x1 picture: white, pure red; a pitch wider than the row.
    const uint16_t px[4] = {0xFFFF, 0xF800, 0x1234, 0x1234};
    Rgb24Image out;
    ConvertScaled(px, 2, 1, 8, 3, out);
    ASSERT_EQ(out.width, 6);
    ASSERT_EQ(out.height, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            const uint8_t* p = &out.pixels[(y * 6 + x) * 3];
            if (x < 3) {
                EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255) << x << "," << y;
            } else {
                EXPECT_EQ(p[0], 255);
                EXPECT_EQ(p[1], 0);
                EXPECT_EQ(p[2], 0);
            }
        }
    }
    uint8_t rgb[3];
    Rgb565To888(0x0821, rgb);  // r=1, g=1, b=1
    EXPECT_EQ(rgb[0], 8);
    EXPECT_EQ(rgb[1], 4);
    EXPECT_EQ(rgb[2], 8);
}

// Decodes with libpng: an independent reader.
bool DecodeWithLibpng(const std::string& path, Rgb24Image& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out.width = static_cast<int32_t>(image.width);
    out.height = static_cast<int32_t>(image.height);
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) != 0;
}

TEST(CapturePng, WritesWhatLibpngReadsBack) {
    Rgb24Image img;
    img.width = 37;
    img.height = 11;
    img.pixels.resize(37 * 11 * 3);
    uint32_t seed = 12345;
    for (auto& b : img.pixels) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    const std::string path = (fs::temp_directory_path() / "capture_png_test.png").string();
    std::string error;
    ASSERT_TRUE(WritePng(path, img, error)) << error;
    Rgb24Image viaLibpng, viaOurs;
    ASSERT_TRUE(DecodeWithLibpng(path, viaLibpng));
    EXPECT_EQ(viaLibpng.width, 37);
    EXPECT_EQ(viaLibpng.height, 11);
    EXPECT_EQ(viaLibpng.pixels, img.pixels);
    ASSERT_TRUE(ReadPng(path, viaOurs, error)) << error;
    EXPECT_EQ(viaOurs.pixels, img.pixels);
    fs::remove(path);

    EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", img, error));
    EXPECT_NE(error, "");
    EXPECT_FALSE(ReadPng("/nonexistent-dir/x.png", viaOurs, error));
}

TEST(CaptureWav, HeaderCarriesTheSampleCount) {
    const std::string path = (fs::temp_directory_path() / "capture_wav_test.wav").string();
    WavWriter w;
    std::string error;
    ASSERT_TRUE(w.Open(path, error)) << error;
    const int16_t s[6] = {1, -1, 2, -2, 32767, -32768};
    ASSERT_TRUE(w.Write(s, 3));
    ASSERT_TRUE(w.Close(error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 44u + 12u);
    auto le32 = [&](size_t at) {
        return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
    };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(le32(4), 36u + 12u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(24), 44100u);
    EXPECT_EQ(le32(28), 44100u * 4);
    EXPECT_EQ(le32(40), 12u);
    EXPECT_EQ(std::memcmp(bytes.data() + 44, s, 12), 0);
    fs::remove(path);
}

// Records what the recorder writes.
class FakeOutput final : public Output {
public:
    bool WriteFrame(uint64_t n, const Rgb24Image& f) override {
        numbers.push_back(n);
        firstPixel.push_back(f.pixels.empty() ? 0 : f.pixels[0]);
        width = f.width;
        return true;
    }
    bool WriteSamples(const int16_t* s, size_t n) override {
        samples.insert(samples.end(), s, s + n * 2);
        return true;
    }
    bool Finish(std::string& summary) override {
        summary = "fake";
        finished = true;
        return true;
    }
    std::vector<uint64_t> numbers;
    std::vector<uint8_t> firstPixel;  // red channel of the top-left pixel
    std::vector<int16_t> samples;
    int32_t width = 0;
    bool finished = false;
};

// A 640x480 picture whose red is `red5` (0..31) everywhere.
std::vector<uint16_t> Picture(uint16_t red5) {
    return std::vector<uint16_t>(640 * 480, static_cast<uint16_t>(red5 << 11));
}
uint8_t Red8(uint16_t red5) { return static_cast<uint8_t>(red5 << 3 | red5 >> 2); }

TEST(CaptureRecorder, HoldsTheLastPresentedFrameThroughWaits) {
    FakeOutput out;
    Recorder r({{60, 1}, 1, false}, &out);
    const FrameRate rate{60, 1};
    // Nothing for 5 s (the start-up wait: black), then frames 300..302
    // presented at their boundaries, then a 10-frame rest, then one more.
    auto p1 = Picture(1), p2 = Picture(2), p3 = Picture(3), p4 = Picture(4);
    r.AdvanceTo(5'000'000'000);
    r.Present(FrameStartNanos(rate, 300), p1.data(), 640, 480, 1280);
    r.Present(FrameStartNanos(rate, 301), p2.data(), 640, 480, 1280);
    // Polls moved time a little past the boundary: this one shows from 303.
    r.Present(FrameStartNanos(rate, 302) + 1'000'000, p3.data(), 640, 480, 1280);
    r.AdvanceTo(FrameStartNanos(rate, 313) + 5);
    r.Present(FrameStartNanos(rate, 314), p4.data(), 640, 480, 1280);
    std::string summary;
    ASSERT_TRUE(r.Finish(FrameStartNanos(rate, 316), summary));
    EXPECT_TRUE(out.finished);
    ASSERT_EQ(out.numbers.size(), 316u);
    for (uint64_t j = 0; j < 316; ++j) EXPECT_EQ(out.numbers[j], j);
    for (uint64_t j = 0; j < 300; ++j) ASSERT_EQ(out.firstPixel[j], 0) << j;
    EXPECT_EQ(out.firstPixel[300], Red8(1));
    EXPECT_EQ(out.firstPixel[301], Red8(2));
    EXPECT_EQ(out.firstPixel[302], Red8(2));
    for (uint64_t j = 303; j < 314; ++j) EXPECT_EQ(out.firstPixel[j], Red8(3)) << j;
    EXPECT_EQ(out.firstPixel[314], Red8(4));
    EXPECT_EQ(out.firstPixel[315], Red8(4));
    // Sound: silence for every frame, exactly 735 samples each.
    EXPECT_EQ(out.samples.size(), 316u * 735 * 2);
}

TEST(CaptureRecorder, PlacesSoundByItsSampleIndexAtRationalRates) {
    const FrameRate ntsc{60000, 1001};
    FakeOutput out;
    Recorder r({ntsc, 2, false}, &out);
    r.SetFirstFrame(10);
    r.SetEndFrame(70);
    // Music starting at sample 5000, in chunks that run ahead of what has
    // been heard and overlap the previous one.
    std::vector<int16_t> music(200000);
    for (size_t i = 0; i < music.size(); ++i) music[i] = static_cast<int16_t>(i % 30000 + 1);
    uint64_t fed = 0;
    auto pic = Picture(7);
    for (uint64_t j = 0; j < 80; ++j) {
        const uint64_t t = FrameStartNanos(ntsc, j);
        const uint64_t heard = SampleAtNanos(t);
        if (heard + 800 > 5000) {
            const uint64_t from = fed > 100 ? fed - 100 : 0;
            const uint64_t to = std::min<uint64_t>(heard + 800 - 5000, 99000);
            r.Samples(5000 + from, music.data() + from * 2, to - from);
            fed = to;
        }
        r.AdvanceTo(t);
        r.Present(t, pic.data(), 640, 480, 1280);
    }
    std::string summary;
    ASSERT_TRUE(r.Finish(FrameStartNanos(ntsc, 80), summary));
    ASSERT_EQ(out.numbers.size(), 60u);
    EXPECT_EQ(out.numbers.front(), 10u);
    EXPECT_EQ(out.numbers.back(), 69u);
    EXPECT_EQ(out.width, 1280);
    const uint64_t first = SampleAt(ntsc, 10), end = SampleAt(ntsc, 70);
    ASSERT_EQ(out.samples.size(), (end - first) * 2);
    for (uint64_t s = first; s < end; ++s) {
        const int16_t expect = s < 5000 ? 0 : music[(s - 5000) * 2];
        ASSERT_EQ(out.samples[(s - first) * 2], expect) << "sample " << s;
    }
}

TEST(CaptureRecorder, ChosenFramesOnlyAndAStartStillToCome) {
    FakeOutput out;
    const FrameRate rate{60, 1};
    Recorder r({rate, 1, true}, &out);
    r.SetFirstFrame(std::nullopt);
    r.SetChosenOnly(true);
    r.AddChosenFrame(3);
    r.AddChosenFrame(40);
    r.AddChosenFrame(41);
    r.AddChosenFrame(500);  // past the end: never written
    auto a = Picture(5), b = Picture(9);
    r.Present(FrameStartNanos(rate, 2), a.data(), 640, 480, 1280);
    r.AdvanceTo(FrameStartNanos(rate, 20));
    r.SetFirstFrame(20);  // frame 3 is before the start
    r.Present(FrameStartNanos(rate, 41), b.data(), 640, 480, 1280);
    std::string summary;
    ASSERT_TRUE(r.Finish(FrameStartNanos(rate, 50), summary));
    EXPECT_EQ(out.numbers, (std::vector<uint64_t>{40, 41}));
    EXPECT_EQ(out.firstPixel, (std::vector<uint8_t>{Red8(5), Red8(9)}));
    EXPECT_TRUE(out.samples.empty());
    EXPECT_NE(r.Hash(), Recorder({rate, 1, true}, &out).Hash());
}

TEST(CaptureProgress, LineShowsTimeSceneFramesSpeedAndTimeLeft) {
    ProgressState s{62'300'000'000, "city", 3738, 190'000'000'000};
    const std::string line = FormatProgress(s, 10.0, 120);
    for (const char* part : {"1:02.3", "3:10.0", "city", "3738 frames", "10.0x", "0:12 left", "[#"})
        EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
    const std::string unknown = FormatProgress({1'000'000'000, "", 60, std::nullopt}, 2.0, 60);
    EXPECT_NE(unknown.find("start-up"), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("--:-- left"), std::string::npos) << unknown;
    EXPECT_LE(unknown.size(), 60u);
}

}  // namespace
}  // namespace capture
