// Turns what the demo presents, at the virtual times it presents it, into
// frames at a fixed rate: frame j is the picture last presented at or before
// the start of frame j (so the screen holds while the demo draws nothing),
// with the samples of its time span. Frames are written lazily, when the
// picture changes or time is known to have passed their start.
//
//   Recorder r(config, output);
//   r.Present(now, pixels, w, h, pitch);   // from the window's frame sink
//   r.Samples(first, stereo, count);       // from the sound layer
//   r.AdvanceTo(now);                      // whenever time moved
//   r.Finish(now);
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "tools/capture/Image.h"
#include "tools/capture/Output.h"
#include "tools/capture/Timing.h"

namespace capture {

struct RecorderConfig {
    FrameRate rate;
    int32_t scale = 1;
    bool hash = false;
};

class Recorder {
public:
    Recorder(const RecorderConfig& config, Output* output);

    // The part of the run to write, [first, end) in frame numbers. Unset end:
    // until Finish. Frames already written are not affected.
    // Unset first frame: not known yet (a moment still to come); nothing is
    // written until it is set.
    void SetFirstFrame(std::optional<uint64_t> frame);
    void SetEndFrame(uint64_t frame) { end_ = frame; }
    // With chosen frames, only those are written, and no sound.
    void AddChosenFrame(uint64_t frame) { chosen_.insert(frame); }
    void SetChosenOnly(bool chosenOnly) { chosenOnly_ = chosenOnly; }

    void Present(uint64_t nowNanos, const uint16_t* pixels, int32_t width, int32_t height,
                 int32_t pitchBytes);
    // Music samples from absolute sample index `first` (at 44100 Hz since
    // time 0). Silence fills what no call covers.
    void Samples(uint64_t first, const int16_t* stereo, size_t count);
    void AdvanceTo(uint64_t nowNanos);
    // Writes every frame up to now (or the end frame) and the sound to match.
    bool Finish(uint64_t nowNanos, std::string& summary);

    uint64_t FramesWritten() const { return written_; }
    uint64_t NextFrame() const { return next_; }
    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }
    // FNV-style 64-bit hash of every frame and sample written.
    uint64_t Hash() const { return hash_; }
    bool Done() const { return end_ && next_ >= *end_; }

private:
    void EmitBefore(uint64_t nowNanos);
    void EmitFrame(uint64_t frame);
    void TrimSound(uint64_t keepFrom);
    void WriteSoundUpTo(uint64_t sample);
    void Fail(const std::string& e);
    void HashBytes(const void* data, size_t size);

    RecorderConfig config_;
    Output* output_;
    std::optional<uint64_t> first_ = 0;
    std::optional<uint64_t> end_;
    std::set<uint64_t> chosen_;
    bool chosenOnly_ = false;

    std::vector<uint16_t> raw_;  // the last presented picture, R5G6B5
    int32_t rawWidth_ = 640, rawHeight_ = 480;
    bool dirty_ = true;
    Rgb24Image picture_;  // raw_ converted and scaled
    uint64_t next_ = 0;   // next frame to emit
    uint64_t written_ = 0;

    // Sound: the next absolute sample to write, and samples that came early.
    uint64_t soundCursor_ = 0;
    uint64_t pendingFirst_ = 0;
    std::vector<int16_t> pending_;

    uint64_t hash_ = 0xcbf29ce484222325ull;
    bool failed_ = false;
    std::string error_;
};

}  // namespace capture
