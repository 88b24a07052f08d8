// One capture: the real demo (demo::Run) on the virtual clock in an offscreen
// window, with scripted input posted through the window's message queue at
// given moments, its frames and music going to a Recorder.
//
//   capture::SessionConfig c;  c.options = ...;  c.output = ...;
//   capture::SessionResult r = capture::RunSession(c);
//
// Moments named after a scene ("city+2") count from the first moment that
// scene is seen as the current one (demo::CurrentSceneName), at a present or
// while the music renders; "music-end" is the end of the music's first pass:
// the moment the music started plus the length of one pass of the module.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/capture/Options.h"
#include "tools/capture/Output.h"

namespace capture {

struct ScriptedInput {
    enum class Kind { kEscape, kDeactivate, kActivate };
    TimeSpec at;
    Kind kind = Kind::kEscape;
};

struct SessionConfig {
    Options options;        // rate, scale, start, end, frames, escape, hash, quiet
    OutputConfig output;    // where frames go (format kNone: nowhere)
    Output* customOutput = nullptr;  // instead of `output` (tests), not owned
    std::vector<ScriptedInput> inputs;  // beyond Escape
    // Called at every present with the virtual time, after the frame is
    // recorded (tests look at the demo's state here).
    std::function<void(uint64_t nowNanos)> onPresent;
};

struct SceneSeen {
    std::string name;
    uint64_t firstSeenNanos;
};

struct SessionResult {
    int exitCode = 0;          // what demo::Run returned
    bool ok = false;           // output written without error
    std::string error;         // why not
    std::string summary;       // where the output is
    uint64_t hash = 0;
    uint64_t framesWritten = 0;
    uint64_t presents = 0;
    uint64_t endNanos = 0;     // virtual time when the demo returned
    std::vector<SceneSeen> scenes;
    std::vector<uint64_t> inputTimes;  // when each scripted input was posted (Escape last)
    double wallSeconds = 0;
};

SessionResult RunSession(const SessionConfig& config);

// Length of one pass of the module at path, in nanoseconds (0 if unreadable).
uint64_t MusicPassNanos(const std::string& path);

// The data directory the demo reads: data/ beside this executable.
std::string DataDirectory();

}  // namespace capture
