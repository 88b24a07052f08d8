#include "tools/capture/Output.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace capture {
namespace fs = std::filesystem;

// ---- WAV ---------------------------------------------------------------------

namespace {
void Le16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Le32(uint8_t* p, uint32_t v) {
    Le16(p, v & 0xFFFF);
    Le16(p + 2, v >> 16);
}
void WavHeader(uint8_t h[44], uint64_t samples) {
    const uint64_t bytes = samples * 4;
    const uint32_t data = bytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(bytes);
    std::memcpy(h, "RIFF", 4);
    Le32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Le32(h + 16, 16);
    Le16(h + 20, 1);  // PCM
    Le16(h + 22, 2);
    Le32(h + 24, kSampleRate);
    Le32(h + 28, kSampleRate * 4);
    Le16(h + 32, 4);
    Le16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Le32(h + 40, data);
}
}  // namespace

WavWriter::~WavWriter() {
    if (file_) std::fclose(file_);
}

bool WavWriter::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    uint8_t h[44];
    WavHeader(h, 0);
    failed_ = std::fwrite(h, 1, 44, file_) != 44;
    return !failed_;
}

bool WavWriter::Write(const int16_t* stereo, size_t count) {
    if (!file_ || failed_) return false;
    // WAV is little-endian, as is every machine this builds for.
    static_assert(std::endian::native == std::endian::little);
    if (std::fwrite(stereo, 4, count, file_) != count) failed_ = true;
    samples_ += count;
    return !failed_;
}

bool WavWriter::Close(std::string& error) {
    if (!file_) return !failed_;
    uint8_t h[44];
    WavHeader(h, samples_);
    // A pipe or /dev/null cannot seek: the header then keeps its zero sizes.
    if (std::fseek(file_, 0, SEEK_SET) == 0) failed_ |= std::fwrite(h, 1, 44, file_) != 44;
    failed_ |= std::fclose(file_) != 0;
    file_ = nullptr;
    if (failed_) error = "writing the sound failed";
    return !failed_;
}

// ---- ffmpeg ------------------------------------------------------------------

namespace {

bool Spawn(const std::vector<std::string>& args, int stdinFd, const std::string& logPath,
           int& pid) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
        posix_spawn_file_actions_addclose(&actions, stdinFd);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

bool Wait(int pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReadLog(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text.empty() ? "(no message)" : text;
}

}  // namespace

bool FfmpegAvailable() {
    static const bool available = [] {
        const std::string log = (fs::temp_directory_path() / "tessary-capture-probe.log").string();
        int pid;
        // A one-frame encode proves both encoders and the muxer are there.
        const std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
            "color=c=black:s=64x48:d=0.04", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo",
            "-t", "0.04", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-f", "null",
            "-"};
        const bool ok = Spawn(args, -1, log, pid) && Wait(pid);
        std::error_code ec;
        fs::remove(log, ec);
        return ok;
    }();
    return available;
}

FfmpegPipe::~FfmpegPipe() {
    if (fd_ >= 0) close(fd_);
    if (pid_ > 0) Wait(pid_);
}

bool FfmpegPipe::Start(const std::vector<std::string>& args, const std::string& logPath,
                       std::string& error) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    log_ = logPath;
    if (!Spawn(args, fds[0], logPath, pid_)) {
        close(fds[0]);
        close(fds[1]);
        pid_ = -1;
        error = "cannot start ffmpeg";
        return false;
    }
    close(fds[0]);
    fd_ = fds[1];
    return true;
}

bool FfmpegPipe::Write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FfmpegPipe::Finish(std::string& error) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    const bool ok = pid_ > 0 && Wait(pid_);
    pid_ = -1;
    if (!ok) error = "ffmpeg failed: " + ReadLog(log_);
    std::error_code ec;
    fs::remove(log_, ec);
    return ok;
}

bool RunFfmpeg(const std::vector<std::string>& args, const std::string& logPath,
               std::string& error) {
    int pid;
    if (!Spawn(args, -1, logPath, pid)) {
        error = "cannot start ffmpeg";
        return false;
    }
    const bool ok = Wait(pid);
    if (!ok) error = "ffmpeg failed: " + ReadLog(logPath);
    std::error_code ec;
    fs::remove(logPath, ec);
    return ok;
}

// ---- outputs -----------------------------------------------------------------

namespace {

std::string RateText(FrameRate r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

// H.264 through an ffmpeg pipe into a silent temporary video, the sound into a
// temporary WAV; Finish muxes both into the file asked for.
class Mp4Output final : public Output {
public:
    bool Open(const OutputConfig& c, std::string& error) {
        path_ = c.path;
        videoTmp_ = c.path + ".video.tmp.mp4";
        audioTmp_ = c.path + ".audio.tmp.wav";
        if (!wav_.Open(audioTmp_, error)) return false;
        const std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt",
            "rgb24", "-s", std::to_string(c.width) + "x" + std::to_string(c.height), "-framerate",
            RateText(c.rate), "-i", "pipe:0", "-c:v", "libx264", "-preset", "medium", "-crf",
            std::to_string(c.crf), "-pix_fmt", "yuv420p", "-f", "mp4", videoTmp_};
        return video_.Start(args, c.path + ".video.log", error);
    }
    bool WriteFrame(uint64_t, const Rgb24Image& f) override {
        if (!video_.Write(f.pixels.data(), f.pixels.size())) {
            error_ = "ffmpeg stopped reading frames";
            return false;
        }
        ++frames_;
        return true;
    }
    bool WriteSamples(const int16_t* s, size_t n) override {
        if (!wav_.Write(s, n)) {
            error_ = "cannot write " + audioTmp_;
            return false;
        }
        return true;
    }
    bool Finish(std::string& summary) override {
        std::error_code ec;
        bool ok = video_.Finish(error_) && wav_.Close(error_);
        if (ok && frames_ == 0) {
            error_ = "no frame was captured";
            ok = false;
        }
        if (ok) {
            const std::vector<std::string> args = {
                "ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", videoTmp_, "-i",
                audioTmp_, "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a",
                "192k", "-movflags", "+faststart", path_};
            ok = RunFfmpeg(args, path_ + ".mux.log", error_);
        }
        fs::remove(videoTmp_, ec);
        fs::remove(audioTmp_, ec);
        if (ok) summary = path_ + " (H.264 + AAC, " + std::to_string(frames_) + " frames)";
        return ok;
    }

private:
    std::string path_, videoTmp_, audioTmp_;
    FfmpegPipe video_;
    WavWriter wav_;
    uint64_t frames_ = 0;
};

// Numbered PNG frames (frame_000123.png: the frame's number in the run) in a
// directory; the sound as a WAV file unless only chosen frames are written.
class PngOutput final : public Output {
public:
    bool Open(const OutputConfig& c, std::string& error) {
        dir_ = c.path;
        selected_ = c.selectedFramesOnly;
        std::error_code ec;
        fs::create_directories(dir_, ec);
        if (!fs::is_directory(dir_)) {
            error = "cannot create the directory " + dir_;
            return false;
        }
        if (selected_) return true;
        audio_ = c.audioPath.empty() ? (fs::path(dir_) / "audio.wav").string() : c.audioPath;
        return wav_.Open(audio_, error);
    }
    bool WantsSound() const override { return !selected_; }
    bool WriteFrame(uint64_t n, const Rgb24Image& f) override {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(n));
        ++frames_;
        return WritePng((fs::path(dir_) / name).string(), f, error_);
    }
    bool WriteSamples(const int16_t* s, size_t n) override {
        if (!wav_.Write(s, n)) {
            error_ = "cannot write " + audio_;
            return false;
        }
        return true;
    }
    bool Finish(std::string& summary) override {
        if (!selected_ && !wav_.Close(error_)) return false;
        summary = std::to_string(frames_) + " PNG frames in " + dir_ + "/";
        if (!selected_) summary += ", sound in " + audio_;
        return true;
    }

private:
    std::string dir_, audio_;
    bool selected_ = false;
    WavWriter wav_;
    uint64_t frames_ = 0;
};

class RawOutput final : public Output {
public:
    bool Open(const OutputConfig& c, std::string& error) {
        path_ = c.path;
        audio_ = c.audioPath.empty() ? c.path + ".wav" : c.audioPath;
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) {
            error = "cannot create " + path_ + ": " + std::strerror(errno);
            return false;
        }
        return wav_.Open(audio_, error);
    }
    ~RawOutput() override {
        if (file_) std::fclose(file_);
    }
    bool WriteFrame(uint64_t, const Rgb24Image& f) override {
        ++frames_;
        if (std::fwrite(f.pixels.data(), 1, f.pixels.size(), file_) != f.pixels.size()) {
            error_ = "cannot write " + path_;
            return false;
        }
        return true;
    }
    bool WriteSamples(const int16_t* s, size_t n) override {
        if (!wav_.Write(s, n)) {
            error_ = "cannot write " + audio_;
            return false;
        }
        return true;
    }
    bool Finish(std::string& summary) override {
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!ok) {
            error_ = "cannot write " + path_;
            return false;
        }
        if (!wav_.Close(error_)) return false;
        summary = std::to_string(frames_) + " raw RGB24 frames in " + path_ + ", sound in " + audio_;
        return true;
    }

private:
    std::string path_, audio_;
    FILE* file_ = nullptr;
    WavWriter wav_;
    uint64_t frames_ = 0;
};

class NullOutput final : public Output {
public:
    bool WriteFrame(uint64_t, const Rgb24Image&) override {
        ++frames_;
        return true;
    }
    bool WriteSamples(const int16_t*, size_t) override { return true; }
    bool Finish(std::string& summary) override {
        summary = std::to_string(frames_) + " frames rendered, nothing written";
        return true;
    }

private:
    uint64_t frames_ = 0;
};

}  // namespace

std::unique_ptr<Output> MakeOutput(const OutputConfig& c, std::string& error) {
    switch (c.format) {
        case Format::kMp4: {
            auto o = std::make_unique<Mp4Output>();
            if (!o->Open(c, error)) return nullptr;
            return o;
        }
        case Format::kPng: {
            auto o = std::make_unique<PngOutput>();
            if (!o->Open(c, error)) return nullptr;
            return o;
        }
        case Format::kRaw: {
            auto o = std::make_unique<RawOutput>();
            if (!o->Open(c, error)) return nullptr;
            return o;
        }
        case Format::kNone:
        case Format::kAuto:
            return std::make_unique<NullOutput>();
    }
    return nullptr;
}

}  // namespace capture
