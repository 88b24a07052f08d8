#include "tools/capture/Session.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <memory>
#include <optional>

#include "demo/Demo.h"
#include "platform/os/Clock.h"
#include "platform/os/Window.h"
#include "platform/sound/Sound.h"
#include "tools/capture/Progress.h"
#include "tools/capture/Recorder.h"

namespace capture {
namespace fs = std::filesystem;

uint64_t MusicPassNanos(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return 0;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        openmpt::module m(bytes);
        m.set_repeat_count(0);
        return static_cast<uint64_t>(m.get_duration_seconds() * 1e9);
    } catch (const std::exception&) {
        return 0;
    }
}

std::string DataDirectory() {
    if (const char* env = std::getenv("TESSARY_DATA"); env && *env) return env;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return (exe.parent_path() / "data").string();
}

namespace {

// The one session of the process: the window's sink and the sound's consumer
// are plain callbacks.
struct Live {
    const SessionConfig* config = nullptr;
    Recorder* recorder = nullptr;
    Progress* progress = nullptr;
    SessionResult* result = nullptr;

    std::string scene;
    std::map<std::string, uint64_t> sceneStart;
    std::optional<uint64_t> musicStart;
    uint64_t musicPass = 0;

    struct Pending {
        ScriptedInput input;
        bool posted = false;
    };
    std::vector<Pending> inputs;
    std::vector<TimeSpec> escapes;  // Escape at the latest of these (none: never)
    bool escapePosted = false;
    bool escapeDefault = false;

    std::optional<TimeSpec> start, end;
    bool startResolved = false, endResolved = false;
    std::vector<FrameSpec> chosen;
    std::vector<bool> chosenResolved;
    std::optional<uint64_t> endNanos;  // where the capture stops, once known
};
Live* gLive = nullptr;

std::optional<uint64_t> Resolve(const Live& l, const TimeSpec& t) {
    std::optional<uint64_t> base;
    switch (t.base) {
        case TimeSpec::Base::kStart: base = 0; break;
        case TimeSpec::Base::kScene: {
            const auto it = l.sceneStart.find(t.scene);
            if (it != l.sceneStart.end()) base = it->second;
            break;
        }
        case TimeSpec::Base::kMusicEnd:
            if (l.musicStart && l.musicPass) base = *l.musicStart + l.musicPass;
            break;
    }
    if (!base) return std::nullopt;
    const int64_t at = static_cast<int64_t>(*base) + t.offsetNanos;
    return static_cast<uint64_t>(std::max<int64_t>(at, 0));
}

std::string Lower(const char* s) {
    std::string r = s ? s : "";
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

os::Window* DemoWindow() { return os::FindWindow("KVR", nullptr); }


void Post(const ScriptedInput::Kind kind) {
    os::Window* w = DemoWindow();
    switch (kind) {
        case ScriptedInput::Kind::kEscape:
            os::PostMessage(w, os::WM_KEYDOWN, os::VK_ESCAPE, 0);
            break;
        case ScriptedInput::Kind::kDeactivate:
            os::PostMessage(w, os::WM_ACTIVATE, os::WA_INACTIVE, 0);
            break;
        case ScriptedInput::Kind::kActivate:
            os::PostMessage(w, os::WM_ACTIVATE, os::WA_ACTIVE, 0);
            break;
    }
}

std::optional<uint64_t> EscapeTime(const Live& l) {
    std::optional<uint64_t> latest;
    for (const TimeSpec& t : l.escapes) {
        const auto at = Resolve(l, t);
        if (!at) return std::nullopt;
        latest = std::max(latest.value_or(0), *at);
    }
    return latest;
}

// Everything that depends on the moment: the scene, resolved moments, input
// that is due. `horizon` is the time by which the demo next looks at its
// messages: the next frame boundary after a present, now otherwise.
void Tick(Live& l, uint64_t now, uint64_t horizon) {
    const std::string scene = Lower(demo::CurrentSceneName());
    if (scene != l.scene) {
        l.scene = scene;
        if (!scene.empty() && !l.sceneStart.count(scene)) {
            l.sceneStart[scene] = now;
            l.result->scenes.push_back({scene, now});
        }
    }
    Recorder& r = *l.recorder;
    if (!l.startResolved && l.start) {
        if (auto t = Resolve(l, *l.start)) {
            r.SetFirstFrame(FramesBeforeNanos(l.config->options.rate, *t));
            l.startResolved = true;
        }
    }
    if (!l.endResolved && l.end) {
        if (auto t = Resolve(l, *l.end)) {
            r.SetEndFrame(FramesBeforeNanos(l.config->options.rate, *t));
            l.endNanos = *t;
            l.endResolved = true;
        }
    }
    for (size_t i = 0; i < l.chosen.size(); ++i) {
        if (l.chosenResolved[i]) continue;
        if (auto t = Resolve(l, l.chosen[i].time)) {
            r.AddChosenFrame(FrameAtNanos(l.config->options.rate, *t));
            l.chosenResolved[i] = true;
        }
    }
    for (auto& p : l.inputs) {
        if (p.posted) continue;
        const auto t = Resolve(l, p.input.at);
        if (!t || *t > horizon) continue;
        Post(p.input.kind);
        p.posted = true;
        l.result->inputTimes.push_back(now);
    }
    // Escape: when asked, else the later of its default moments; and at the
    // end of the capture in any case.
    const auto escape = EscapeTime(l);
    std::optional<uint64_t> stop = escape;
    if (l.endNanos && (!stop || *l.endNanos < *stop)) stop = l.endNanos;
    if (!l.escapePosted && stop && *stop <= horizon) {
        Post(ScriptedInput::Kind::kEscape);
        l.escapePosted = true;
        l.result->inputTimes.push_back(now);
    }
    if (!stop && l.escapeDefault && l.musicStart && l.musicPass)
        stop = *l.musicStart + l.musicPass + DefaultEscapeAfterMusic().offsetNanos;  // a guess
    l.progress->Update({now, l.scene, r.FramesWritten(), stop});
}

void OnFrame(const uint16_t* pixels, int32_t width, int32_t height, int32_t pitchBytes) {
    Live* l = gLive;
    if (!l) return;
    sound::Update();  // the music up to now, before the picture changes
    const uint64_t now = os::clock::NowNanos();
    Tick(*l, now, FrameStartNanos(l->config->options.rate, os::clock::FrameIndex() + 1));
    l->recorder->Present(now, pixels, width, height, pitchBytes);
    ++l->result->presents;
    if (l->config->onPresent) l->config->onPresent(now);
}

void OnSamples(const int16_t* frames, uint32_t count, uint64_t firstFrame, void*) {
    Live* l = gLive;
    if (!l) return;
    l->recorder->Samples(firstFrame, frames, count);
    const uint64_t now = os::clock::NowNanos();
    l->recorder->AdvanceTo(now);
    Tick(*l, now, now);
}

void OnSoundCall(const char* call, void*) {
    Live* l = gLive;
    if (l && std::strcmp(call, "MusicPlay") == 0 && !l->musicStart)
        l->musicStart = os::clock::NowNanos();
}

}  // namespace

SessionResult RunSession(const SessionConfig& config) {
    SessionResult result;
    const auto wallStart = std::chrono::steady_clock::now();
    const Options& o = config.options;

    std::string error;
    OutputConfig oc = config.output;
    oc.rate = o.rate;
    oc.width = 640 * o.scale;
    oc.height = 480 * o.scale;
    oc.selectedFramesOnly = !o.frames.empty();
    std::unique_ptr<Output> owned;
    Output* output = config.customOutput;
    if (!output) {
        owned = MakeOutput(oc, error);
        output = owned.get();
    }
    if (!output) {
        result.error = error;
        result.exitCode = 1;
        return result;
    }

    Recorder recorder({o.rate, o.scale, o.hash}, output);
    Progress progress(!o.quiet);
    Live live;
    live.config = &config;
    live.recorder = &recorder;
    live.progress = &progress;
    live.result = &result;
    live.musicPass = MusicPassNanos((fs::path(DataDirectory()) / "Pavonel2.xm").string());
    live.start = o.start;
    live.end = o.end;
    if (o.start) recorder.SetFirstFrame(std::nullopt);
    for (const FrameSpec& f : o.frames) {
        if (f.number) {
            recorder.AddChosenFrame(*f.number);
        } else {
            live.chosen.push_back(f);
            live.chosenResolved.push_back(false);
        }
    }
    recorder.SetChosenOnly(!o.frames.empty());
    if (!o.escapeNever) {
        if (o.escape) {
            live.escapes.push_back(*o.escape);
        } else {
            live.escapeDefault = true;
            live.escapes.push_back(DefaultEscapeAfterCake());
            if (live.musicPass) live.escapes.push_back(DefaultEscapeAfterMusic());
        }
    }
    for (const ScriptedInput& in : config.inputs) live.inputs.push_back({in});

    // The demo reads data\... from the current directory.
    std::error_code ec;
    const fs::path previousDir = fs::current_path(ec);
    fs::current_path(fs::path(DataDirectory()).parent_path(), ec);

    os::clock::UseVirtual(o.rate.num, o.rate.den);
    os::UseOffscreenWindows(&OnFrame);
    sound::SetFrameConsumer(&OnSamples, nullptr);
    sound::SetCallObserver(&OnSoundCall, nullptr);
    gLive = &live;

    result.exitCode = demo::Run(nullptr, os::SW_SHOWNORMAL);

    sound::Update();
    const uint64_t now = os::clock::NowNanos();
    result.endNanos = now;
    gLive = nullptr;
    sound::SetFrameConsumer(nullptr, nullptr);
    sound::SetCallObserver(nullptr, nullptr);
    if (!previousDir.empty()) fs::current_path(previousDir, ec);

    result.ok = recorder.Finish(now, result.summary);
    if (!result.ok) result.error = recorder.Error();
    result.hash = recorder.Hash();
    result.framesWritten = recorder.FramesWritten();
    progress.Done({now, live.scene, recorder.FramesWritten(), now});
    result.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return result;
}

}  // namespace capture
