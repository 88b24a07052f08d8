// tessary-capture: see --help (Options.cpp).
#include <csignal>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "platform/os/MessageBox.h"

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

    // Message boxes (a missing file...) on their own line, not inside the bar.
    const bool tty = isatty(STDERR_FILENO) != 0;
    os::SetMessageBoxHook([tty](const char* text, const char* caption) {
        std::fprintf(stderr, "%s%s: %s\n", tty ? "\r\033[K" : "", caption, text);
    });
    const capture::SessionResult r = capture::RunSession(c);
    os::SetMessageBoxHook(nullptr);
    if (!r.ok) {
        std::fprintf(stderr, "tessary-capture: %s\n", r.error.c_str());
        return r.exitCode != 0 ? r.exitCode : 1;
    }
    const double demoSeconds = static_cast<double>(r.endNanos) / 1e9;
    std::fprintf(stderr, "tessary-capture: %.1f s of the demo in %.1f s (%.1fx real time)\n",
                 demoSeconds, r.wallSeconds, r.wallSeconds > 0 ? demoSeconds / r.wallSeconds : 0);
    if (!o.quiet && !r.scenes.empty()) {
        // Where the time went: virtual seconds of each scene against wall seconds.
        std::fprintf(stderr, "  %-10s %9s %9s %8s\n", "scene", "demo s", "wall s", "speed");
        double wallFrom = 0;
        uint64_t demoFrom = 0;
        std::string name = "start-up";
        for (size_t i = 0; i <= r.scenes.size(); ++i) {
            const bool last = i == r.scenes.size();
            const uint64_t demoTo = last ? r.endNanos : r.scenes[i].firstSeenNanos;
            const double wallTo = last ? r.wallSeconds : r.scenes[i].firstSeenWallSeconds;
            const double d = static_cast<double>(demoTo - demoFrom) / 1e9, w = wallTo - wallFrom;
            std::fprintf(stderr, "  %-10s %9.2f %9.2f %7.1fx\n", name.c_str(), d, w,
                         w > 0 ? d / w : 0.0);
            if (!last) {
                name = r.scenes[i].name;
                demoFrom = demoTo;
                wallFrom = wallTo;
            }
        }
    }
    if (o.hash) std::printf("%016llx\n", static_cast<unsigned long long>(r.hash));
    std::fprintf(stderr, "tessary-capture: wrote %s\n", r.summary.c_str());
    return r.exitCode;
}
