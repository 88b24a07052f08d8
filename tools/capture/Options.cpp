#include "tools/capture/Options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace capture {

const char* const kUsage =
    R"(Usage: tessary-capture [options]

Runs the demo on a virtual clock in an offscreen window and writes what a viewer
would have seen and heard: every frame at a fixed rate (the picture holding the
last presented frame while the demo draws nothing) and the music, rendered
sample-exactly against the same clock. The same build and options give the same
frames and samples, bit for bit.

Output:
  -o, --output PATH    where to write (default: tessary.mp4)
      --format F       mp4   H.264 (yuv420p) + AAC through ffmpeg (default when
                             ffmpeg is on PATH)
                       png   numbered PNG frames in the directory PATH, with
                             audio.wav beside them (default without ffmpeg;
                             PATH "x.mp4" becomes the directory "x")
                       raw   RGB24 frames back to back into PATH, no encoding;
                             the sound as WAV (see --audio)
                       none  render and discard (with --hash: check determinism)
      --audio PATH     WAV file for png and raw (default: PATH/audio.wav for
                       png, PATH.wav for raw)
      --crf N          H.264 quality, 0-51, lower is better (default: 18)

Picture and time:
  -r, --rate N[/D]     frames per second, rational (default: 60; e.g. 60000/1001);
                       each frame carries exactly the samples of its time span
  -s, --scale N        write frames at N times 640x480, N = 1..8 (default: 1)
      --size WxH       the same as a size: 640x480, 1280x960, ...
      --start TIME     first moment written (default: the start)
      --end TIME       last moment written, exclusive (default: until the demo
                       ends); Escape is pressed there if not sooner
      --frames LIST    write only these single frames, as PNG files in the
                       directory PATH: comma-separated frame numbers (#N or N)
                       or moments (TIME); no sound
      --escape TIME    when to press Escape (default: 5 s into the cake, and at
                       least 2 s after the music's first pass has ended)
      --no-escape      never press Escape (needs --end, or it never ends)

TIME is seconds ("12.5"), minutes and seconds ("1:02.5"), or a moment of the
run plus or minus seconds: a scene's name ("opening", "logo", "landscape",
"mesh", "city", "cake": the moment it becomes the current scene, e.g.
"cake+4") or "music-end" (the end of the music's first pass, e.g.
"music-end+2"). Virtual time starts at 0 when the demo starts.

Other:
      --hash           print one hash of every frame and sample written
  -q, --quiet          no progress bar
  -h, --help           this text

While it runs, a progress bar on standard error shows the time in the demo,
the scene, the frames written, the speed (times real time) and the time left.
)";

TimeSpec DefaultEscapeAfterCake() {
    return TimeSpec{TimeSpec::Base::kScene, "cake", 5'000'000'000};
}

TimeSpec DefaultEscapeAfterMusic() {
    return TimeSpec{TimeSpec::Base::kMusicEnd, "", 2'000'000'000};
}

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Non-negative decimal seconds, e.g. "12", "0.25", "1:02.5".
std::optional<int64_t> ParseSeconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    double minutes = 0;
    std::string rest = text;
    const auto colon = text.find(':');
    if (colon != std::string::npos) {
        const std::string m = text.substr(0, colon);
        if (m.empty() || !std::all_of(m.begin(), m.end(), ::isdigit)) return std::nullopt;
        minutes = std::strtod(m.c_str(), nullptr);
        rest = text.substr(colon + 1);
        if (rest.empty()) return std::nullopt;
    }
    int dots = 0;
    for (char c : rest) {
        if (c == '.') {
            ++dots;
        } else if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
    }
    if (dots > 1 || rest == ".") return std::nullopt;
    const double seconds = minutes * 60 + std::strtod(rest.c_str(), nullptr);
    if (!(seconds < 1e6)) return std::nullopt;
    return static_cast<int64_t>(std::llround(seconds * 1e9));
}

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& out) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno != 0 || v < low || v > high) return false;
    out = v;
    return true;
}

}  // namespace

std::optional<TimeSpec> ParseTime(const std::string& raw) {
    const std::string text = Lower(raw);
    if (text.empty()) return std::nullopt;
    if (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.') {
        const auto s = ParseSeconds(text);
        if (!s) return std::nullopt;
        return TimeSpec{TimeSpec::Base::kStart, "", *s};
    }
    // A named moment, then an optional signed offset.
    size_t sign = std::string::npos;
    const size_t nameStart = text.rfind("music-end", 0) == 0 ? 9 : 0;
    for (size_t i = nameStart; i < text.size(); ++i) {
        if (text[i] == '+' || text[i] == '-') {
            sign = i;
            break;
        }
    }
    const std::string name = text.substr(0, sign);
    int64_t offset = 0;
    if (sign != std::string::npos) {
        const auto s = ParseSeconds(text.substr(sign + 1));
        if (!s) return std::nullopt;
        offset = text[sign] == '-' ? -*s : *s;
    }
    if (name == "music-end") return TimeSpec{TimeSpec::Base::kMusicEnd, "", offset};
    static const char* const kScenes[] = {"opening", "logo", "landscape", "mesh", "city", "cake"};
    for (const char* s : kScenes) {
        if (name == s) return TimeSpec{TimeSpec::Base::kScene, name, offset};
    }
    if (name == "start") return TimeSpec{TimeSpec::Base::kStart, "", std::max<int64_t>(offset, 0)};
    return std::nullopt;
}

std::string Describe(const TimeSpec& t) {
    char buf[64];
    const double s = static_cast<double>(t.offsetNanos) / 1e9;
    switch (t.base) {
        case TimeSpec::Base::kStart:
            std::snprintf(buf, sizeof buf, "%.3f s", s);
            return buf;
        case TimeSpec::Base::kScene:
            std::snprintf(buf, sizeof buf, "%s%+.3f s", t.scene.c_str(), s);
            return buf;
        case TimeSpec::Base::kMusicEnd:
            std::snprintf(buf, sizeof buf, "music-end%+.3f s", s);
            return buf;
    }
    return "";
}

std::string Parse(int argc, const char* const* argv, Options& out) {
    out = Options{};
    bool sizeGiven = false, scaleGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasValue = true;
            }
        }
        auto need = [&](std::string& v) -> bool {
            if (hasValue) {
                v = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        auto missing = [&] { return "option " + arg + " needs a value"; };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            out.help = true;
        } else if (arg == "-q" || arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "--hash") {
            out.hash = true;
        } else if (arg == "--no-escape") {
            out.escapeNever = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!need(v) || v.empty()) return missing();
            out.output = v;
        } else if (arg == "--audio") {
            if (!need(v) || v.empty()) return missing();
            out.audio = v;
        } else if (arg == "--format") {
            if (!need(v)) return missing();
            v = Lower(v);
            if (v == "mp4") out.format = Format::kMp4;
            else if (v == "png") out.format = Format::kPng;
            else if (v == "raw") out.format = Format::kRaw;
            else if (v == "none") out.format = Format::kNone;
            else return "unknown format \"" + v + "\" (mp4, png, raw or none)";
        } else if (arg == "--crf") {
            int64_t n;
            if (!need(v)) return missing();
            if (!ParseInt(v, 0, 51, n)) return "--crf takes 0 to 51, not \"" + v + "\"";
            out.crf = static_cast<int32_t>(n);
        } else if (arg == "-r" || arg == "--rate") {
            if (!need(v)) return missing();
            const auto slash = v.find('/');
            int64_t num, den = 1;
            const bool ok = ParseInt(v.substr(0, slash), 1, 1'000'000, num) &&
                            (slash == std::string::npos ||
                             ParseInt(v.substr(slash + 1), 1, 1'000'000, den));
            if (!ok) return "--rate takes N or N/D (e.g. 60 or 60000/1001), not \"" + v + "\"";
            const double fps = static_cast<double>(num) / static_cast<double>(den);
            if (fps < 1 || fps > 1000) return "--rate must be between 1 and 1000 frames per second";
            out.rate = FrameRate{static_cast<uint32_t>(num), static_cast<uint32_t>(den)};
        } else if (arg == "-s" || arg == "--scale") {
            int64_t n;
            if (!need(v)) return missing();
            if (!ParseInt(v, 1, 8, n)) return "--scale takes 1 to 8, not \"" + v + "\"";
            if (sizeGiven && n != out.scale) return "--scale and --size disagree";
            out.scale = static_cast<int32_t>(n);
            scaleGiven = true;
        } else if (arg == "--size") {
            if (!need(v)) return missing();
            const auto x = Lower(v).find('x');
            int64_t w = 0, h = 0;
            if (x == std::string::npos || !ParseInt(v.substr(0, x), 1, 100000, w) ||
                !ParseInt(v.substr(x + 1), 1, 100000, h) || w % 640 != 0 || h != w / 640 * 480 ||
                w / 640 > 8)
                return "--size takes 640x480 times 1 to 8 (640x480, 1280x960, ...), not \"" + v +
                       "\"";
            if (scaleGiven && w / 640 != out.scale) return "--scale and --size disagree";
            out.scale = static_cast<int32_t>(w / 640);
            sizeGiven = true;
        } else if (arg == "--start" || arg == "--end" || arg == "--escape") {
            if (!need(v)) return missing();
            const auto t = ParseTime(v);
            if (!t) return "cannot read the moment \"" + v + "\" of " + arg + " (see --help)";
            (arg == "--start" ? out.start : arg == "--end" ? out.end : out.escape) = *t;
        } else if (arg == "--frames") {
            if (!need(v)) return missing();
            size_t pos = 0;
            while (pos <= v.size()) {
                const size_t comma = std::min(v.find(',', pos), v.size());
                std::string item = v.substr(pos, comma - pos);
                pos = comma + 1;
                if (item.empty()) return "empty item in --frames \"" + v + "\"";
                FrameSpec f;
                int64_t n;
                if (item[0] == '#') {
                    if (!ParseInt(item.substr(1), 0, int64_t{1} << 40, n))
                        return "cannot read the frame number \"" + item + "\"";
                    f.number = static_cast<uint64_t>(n);
                } else if (ParseInt(item, 0, int64_t{1} << 40, n)) {
                    f.number = static_cast<uint64_t>(n);
                } else {
                    const auto t = ParseTime(item);
                    if (!t) return "cannot read the frame \"" + item + "\" of --frames";
                    f.time = *t;
                }
                out.frames.push_back(f);
            }
        } else {
            return "unknown option \"" + arg + "\" (see --help)";
        }
    }
    if (out.escapeNever && out.escape) return "--escape and --no-escape exclude each other";
    if (out.escapeNever && !out.end) return "--no-escape needs --end, or the capture never ends";
    if (!out.frames.empty() && out.format != Format::kAuto && out.format != Format::kPng)
        return "--frames writes PNG files; it takes no --format other than png";
    return "";
}

}  // namespace capture
