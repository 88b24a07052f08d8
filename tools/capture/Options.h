// Command line of tessary-capture. Parse() fills Options or says what is wrong;
// kUsage is the --help text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/capture/Timing.h"

namespace capture {

// A moment of the run: absolute virtual time, or an offset from the moment a
// scene becomes current ("cake+5"), or from the end of the music's first pass.
struct TimeSpec {
    enum class Base { kStart, kScene, kMusicEnd };
    Base base = Base::kStart;
    std::string scene;  // for kScene: a scene name, lower case
    int64_t offsetNanos = 0;
};

// A single frame to write as PNG: a frame number, or the frame showing at a
// moment.
struct FrameSpec {
    std::optional<uint64_t> number;
    TimeSpec time;
};

enum class Format { kAuto, kMp4, kPng, kRaw, kNone };

struct Options {
    std::string output = "tessary.mp4";
    std::string audio;  // WAV path for png/raw; empty: beside the output
    Format format = Format::kAuto;
    FrameRate rate;
    int32_t scale = 1;
    std::optional<TimeSpec> start;
    std::optional<TimeSpec> end;
    std::vector<FrameSpec> frames;  // non-empty: write only these, as PNG
    std::optional<TimeSpec> escape;  // unset: the default moment
    bool escapeNever = false;
    bool hash = false;
    bool quiet = false;
    int32_t crf = 18;
    bool help = false;
};

// The moment Escape is pressed unless told otherwise: a few seconds into the
// cake, once the music has played through once.
TimeSpec DefaultEscapeAfterCake();
TimeSpec DefaultEscapeAfterMusic();

// Returns an empty string on success, else the message for the user.
std::string Parse(int argc, const char* const* argv, Options& out);

// "12.5", "1:02.5", "cake", "cake+4", "logo-0.5", "music-end+2".
std::optional<TimeSpec> ParseTime(const std::string& text);

std::string Describe(const TimeSpec& t);

extern const char* const kUsage;

}  // namespace capture
