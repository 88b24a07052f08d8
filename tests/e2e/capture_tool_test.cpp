// The program itself: same options, same frames and samples; what it writes
// in each format; reference frames of every scene.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>

#include "tests/e2e/E2e.h"
#include "tools/capture/Image.h"
#include "tools/capture/Output.h"
#include "tools/capture/Timing.h"

namespace e2e {
namespace {
namespace fs = std::filesystem;

struct Result {
    int exitCode;
    std::string out;
};

Result Capture(const std::string& args) {
    const std::string command = std::string(TESSARY_CAPTURE_EXE) + " " + args + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return {-1, ""};
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

fs::path TempDir(const std::string& name) {
    const fs::path d = fs::temp_directory_path() / ("tessary-e2e-" + name);
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

TEST(E2eCaptureTool, SameOptionsGiveTheSameFramesAndSamples) {
    // The start-up wait and the opening's first seconds, twice.
    const std::string args = "--format none --hash -q --end 8.5";
    const Result a = Capture(args), b = Capture(args);
    ASSERT_EQ(a.exitCode, 0);
    ASSERT_EQ(b.exitCode, 0);
    ASSERT_EQ(a.out.size(), 17u) << a.out;  // 16 hex digits and a newline
    EXPECT_EQ(a.out, b.out);
    // The hash sees the frames: another stretch differs.
    const Result c = Capture("--format none --hash -q --end 8.4");
    EXPECT_NE(c.out, a.out);
}

TEST(E2eCaptureTool, WritesNumberedPngFramesAndTheSoundThatSpansThem) {
    const fs::path dir = TempDir("png");
    // 60000/1001: 1471 or 1472 samples a frame.
    const Result r = Capture("-q --format png --rate 60000/1001 --start 5.5 --end 5.6 -o " +
                             (dir / "frames").string());
    ASSERT_EQ(r.exitCode, 0);
    const capture::FrameRate ntsc{60000, 1001};
    const uint64_t first = capture::FramesBeforeNanos(ntsc, 5'500'000'000);
    const uint64_t end = capture::FramesBeforeNanos(ntsc, 5'600'000'000);
    size_t pngs = 0;
    for (uint64_t j = first; j < end; ++j) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(j));
        capture::Rgb24Image img;
        std::string error;
        ASSERT_TRUE(capture::ReadPng((dir / "frames" / name).string(), img, error)) << error;
        EXPECT_EQ(img.width, 640);
        EXPECT_EQ(img.height, 480);
        ++pngs;
    }
    EXPECT_EQ(pngs, 6u);
    const uint64_t samples = capture::SampleAt(ntsc, end) - capture::SampleAt(ntsc, first);
    EXPECT_EQ(fs::file_size(dir / "frames" / "audio.wav"), 44 + samples * 4);
    // The music plays from 5 s on: the sound is not silent.
    std::ifstream wav(dir / "frames" / "audio.wav", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(wav)), {});
    int peak = 0;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
        const int16_t s = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                               static_cast<uint8_t>(bytes[i + 1]) << 8);
        peak = std::max(peak, std::abs(int{s}));
    }
    EXPECT_GT(peak, 1000);
    fs::remove_all(dir);
}

TEST(E2eCaptureTool, WritesAnMp4WithPictureAndSound) {
    if (!capture::FfmpegAvailable()) GTEST_SKIP() << "no ffmpeg";
    const fs::path dir = TempDir("mp4");
    const fs::path file = dir / "clip.mp4";
    const Result r = Capture("-q --start 5 --end 6 --scale 2 -o " + file.string());
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_TRUE(fs::exists(file));
    // ffprobe: one H.264 stream 1280x960 and one AAC stream, about a second.
    FILE* p = popen(("ffprobe -v error -show_entries stream=codec_name,width,height,duration "
                     "-of csv=p=0 " + file.string()).c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    EXPECT_NE(out.find("h264,1280,960"), std::string::npos) << out;
    EXPECT_NE(out.find("aac"), std::string::npos) << out;
    // No temporary files are left beside it.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
    fs::remove_all(dir);
}

TEST(E2eCaptureTool, RefusesBadOptionsAndExplainsItself) {
    EXPECT_EQ(Capture("--rate 0").exitCode, 2);
    EXPECT_EQ(Capture("--frobnicate").exitCode, 2);
    const Result help = Capture("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: tessary-capture"), std::string::npos);
}

}  // namespace
}  // namespace e2e
