// tessary-capture: see --help (Options.cpp).
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "tools/capture/Options.h"
#include "tools/capture/Output.h"
#include "tools/capture/Session.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    capture::Options o;
    const std::string problem = capture::Parse(argc, argv, o);
    if (!problem.empty()) {
        std::fprintf(stderr, "tessary-capture: %s\n", problem.c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(capture::kUsage, stdout);
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a dead ffmpeg shows as a failed write

    capture::SessionConfig c;
    c.options = o;
    capture::OutputConfig& out = c.output;
    out.format = o.format;
    out.crf = o.crf;
    std::error_code ec;
    fs::path path = fs::absolute(o.output, ec);
    if (!o.frames.empty()) {
        out.format = capture::Format::kPng;
    } else if (out.format == capture::Format::kAuto) {
        if (capture::FfmpegAvailable()) {
            out.format = capture::Format::kMp4;
        } else {
            out.format = capture::Format::kPng;
            std::fprintf(stderr, "tessary-capture: ffmpeg (with H.264 and AAC) not found: writing "
                                 "PNG frames and a WAV file instead.\n");
        }
    } else if (out.format == capture::Format::kMp4 && !capture::FfmpegAvailable()) {
        std::fprintf(stderr, "tessary-capture: --format mp4 needs ffmpeg with H.264 and AAC\n");
        return 1;
    }
    // A video file's name for a directory of frames: drop the extension.
    if (out.format == capture::Format::kPng && path.has_extension()) path.replace_extension();
    out.path = path.string();
    if (!o.audio.empty()) out.audioPath = fs::absolute(o.audio, ec).string();

    const capture::SessionResult r = capture::RunSession(c);
    if (!r.ok) {
        std::fprintf(stderr, "tessary-capture: %s\n", r.error.c_str());
        return r.exitCode != 0 ? r.exitCode : 1;
    }
    const double demoSeconds = static_cast<double>(r.endNanos) / 1e9;
    std::fprintf(stderr, "tessary-capture: %.1f s of the demo in %.1f s (%.1fx real time)\n",
                 demoSeconds, r.wallSeconds, r.wallSeconds > 0 ? demoSeconds / r.wallSeconds : 0);
    if (o.hash) std::printf("%016llx\n", static_cast<unsigned long long>(r.hash));
    std::fprintf(stderr, "tessary-capture: wrote %s\n", r.summary.c_str());
    return r.exitCode;
}
