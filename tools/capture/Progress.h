// The progress line on standard error: time in the demo, the scene, frames
// written, speed against real time, time left. Redrawn in place on a
// terminal at most ten times a second; elsewhere (a log) one line every ten
// seconds of wall time.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace capture {

struct ProgressState {
    uint64_t demoNanos = 0;
    std::string scene;
    uint64_t frames = 0;
    std::optional<uint64_t> endNanos;  // where the capture stops, once known
};

// One line of at most `width` columns, e.g.
// "[#####-----] 1:02.3 / 3:10.0  city  3738 frames  14.2x  0:09 left"
std::string FormatProgress(const ProgressState& s, double speed, int width);

class Progress {
public:
    explicit Progress(bool enabled);
    void Update(const ProgressState& s, bool force = false);
    // Clears the line (so messages print cleanly) until the next Update.
    void Clear();
    void Done(const ProgressState& s);
    double Speed(uint64_t demoNanos) const;

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool tty_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point last_;
};

}  // namespace capture
