// Where captured frames and sound go. One Output per capture; frames arrive
// in order with their absolute frame number, sound as 16-bit stereo
// interleaved at 44100 Hz, with no gaps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/capture/Image.h"
#include "tools/capture/Options.h"
#include "tools/capture/Timing.h"

namespace capture {

class Output {
public:
    virtual ~Output() = default;
    virtual bool WriteFrame(uint64_t frameNumber, const Rgb24Image& frame) = 0;
    virtual bool WriteSamples(const int16_t* stereo, size_t count) = 0;
    // Closes everything; summary says where the result is.
    virtual bool Finish(std::string& summary) = 0;
    virtual bool WantsSound() const { return true; }
    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

// WAV, 16-bit stereo 44100 Hz; the header's sizes are patched on Close.
class WavWriter {
public:
    ~WavWriter();
    bool Open(const std::string& path, std::string& error);
    bool Write(const int16_t* stereo, size_t count);
    bool Close(std::string& error);
    uint64_t SampleCount() const { return samples_; }

private:
    FILE* file_ = nullptr;
    uint64_t samples_ = 0;
    bool failed_ = false;
};

// Is there an ffmpeg on PATH that encodes H.264 and AAC?
bool FfmpegAvailable();

// An ffmpeg child reading from a pipe on its standard input.
class FfmpegPipe {
public:
    ~FfmpegPipe();
    bool Start(const std::vector<std::string>& args, const std::string& logPath,
               std::string& error);
    bool Write(const void* data, size_t size);
    // Closes the pipe and waits; false if ffmpeg failed (error holds its log).
    bool Finish(std::string& error);

private:
    int fd_ = -1;
    int pid_ = -1;
    std::string log_;
};

// Runs ffmpeg to completion with the given arguments.
bool RunFfmpeg(const std::vector<std::string>& args, const std::string& logPath,
               std::string& error);

struct OutputConfig {
    Format format = Format::kNone;
    std::string path;
    std::string audioPath;
    FrameRate rate;
    int32_t width = 640;
    int32_t height = 480;
    int32_t crf = 18;
    bool selectedFramesOnly = false;  // --frames: PNG files, no sound
};

// Makes the output, or null with error set.
std::unique_ptr<Output> MakeOutput(const OutputConfig& config, std::string& error);

}  // namespace capture
