#include "platform/sound/Sound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/Clock.h"

namespace sound {
namespace {

// Row changes are noted per chunk, so a change is seen at most this late.
constexpr uint32_t kChunkFrames = 64;
constexpr uint32_t kDeviceBufferFrames = 1024;

struct Mark {
    uint64_t frame;     // output frame from which...
    uint32_t position;  // ...this position holds
};

struct Music {
    std::unique_ptr<openmpt::module> module;
    bool playing = false;
    bool ended = false;
    uint32_t position = 0;
    std::deque<Mark> marks{{0, 0}};
};

enum class Output { None, Clock, Sdl, Manual };

struct State {
    std::mutex mutex;  // guards everything below against the audio thread
    Output output = Output::None;
    SDL_AudioDeviceID device = 0;
    uint32_t bufferFrames = 0;
    bool running = false;
    uint64_t frames = 0;  // output frames rendered so far
    // Clock-driven output: frame = baseFrame + clock samples since baseClock.
    uint64_t baseFrame = 0;
    uint64_t baseClock = 0;
    // Device output: when the last buffer was asked for, and from which frame.
    uint64_t callbackNanos = 0;
    uint64_t callbackFrame = 0;
    uint64_t lastAudible = 0;
    int64_t offsetFrames = 0;
    float musicVolume = 1.0f;
    float outputVolume = 1.0f;
    std::vector<std::unique_ptr<Music>> musics;  // handle = index + 1
    FrameConsumer consumer = nullptr;
    void* consumerUser = nullptr;
    std::vector<float> mix;
    std::vector<float> scratch;
    std::vector<int16_t> silence;
};

State& S() {
    static State* s = new State;  // outlives every other static: the audio thread may still run
    return *s;
}

CallObserver gObserver = nullptr;
void* gObserverUser = nullptr;
bool gManualOutput = false;
uint32_t gManualBuffer = 0;
uint64_t (*gNanos)() = nullptr;

void Note(const char* call) {
    if (gObserver) gObserver(call, gObserverUser);
}

uint64_t Nanos() { return gNanos ? gNanos() : os::clock::NowNanos(); }

uint64_t FramesAt(uint64_t nanos) {
    return nanos / 1000000000u * kOutputRate + (nanos % 1000000000u) * kOutputRate / 1000000000u;
}

// The clock's present in whole 44100 Hz samples: exact in virtual mode.
uint64_t ClockFrames() { return gNanos ? FramesAt(gNanos()) : os::clock::NowSamples(); }

Music* Find(State& s, uint32_t handle) {
    if (handle == 0 || handle > s.musics.size()) return nullptr;
    return s.musics[handle - 1].get();
}

uint32_t Pack(const openmpt::module& m) {
    const uint32_t order = static_cast<uint32_t>(std::max(0, m.get_current_order()));
    const uint32_t row = static_cast<uint32_t>(std::max(0, m.get_current_row()));
    return (order & 0xFFFF) | (row << 16);
}

// Renders `count` output frames into `out` (or only advances when out is
// null and nobody listens). Caller holds the mutex.
void Render(State& s, int16_t* out, uint32_t count) {
    bool anyPlaying = false;
    for (auto& m : s.musics) anyPlaying = anyPlaying || (m && m->playing && !m->ended);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t n = std::min(kChunkFrames, count - done);
        int16_t* dst = out ? out + 2 * done : nullptr;
        if (!anyPlaying) {
            if (dst) std::memset(dst, 0, n * 4);
            if (s.consumer) {
                if (!dst) {
                    s.silence.assign(2 * n, 0);
                    s.consumer(s.silence.data(), n, s.frames, s.consumerUser);
                } else {
                    s.consumer(dst, n, s.frames, s.consumerUser);
                }
            }
            s.frames += n;
            done += n;
            continue;
        }
        s.mix.assign(2 * n, 0.0f);
        s.scratch.resize(2 * n);
        for (auto& m : s.musics) {
            if (!m || !m->playing || m->ended) continue;
            const size_t got = m->module->read_interleaved_stereo(kOutputRate, n, s.scratch.data());
            if (got < n) m->ended = true;  // a module that cannot loop: silence from here on
            for (size_t i = 0; i < 2 * got; ++i) s.mix[i] += s.scratch[i];
            const uint32_t p = Pack(*m->module);
            if (got > 0 && p != m->position) {
                m->position = p;
                m->marks.push_back({s.frames + got - 1, p});
            }
        }
        const float gain = s.musicVolume * s.outputVolume;
        s.silence.resize(2 * n);
        int16_t* pcm = dst ? dst : s.silence.data();
        for (size_t i = 0; i < 2 * n; ++i) {
            const long v = std::lround(std::clamp(s.mix[i] * gain, -1.0f, 1.0f) * 32767.0f);
            pcm[i] = static_cast<int16_t>(v);
        }
        if (s.consumer) s.consumer(pcm, n, s.frames, s.consumerUser);
        s.frames += n;
        done += n;
    }
}

// Clock-driven output: render up to the present.
void CatchUp(State& s) {
    if (s.output != Output::Clock || !s.running) return;
    const uint64_t target = s.baseFrame + std::max(ClockFrames(), s.baseClock) - s.baseClock;
    while (s.frames < target) {
        const uint64_t left = target - s.frames;
        Render(s, nullptr, static_cast<uint32_t>(std::min<uint64_t>(left, 1u << 16)));
    }
}

// The output frame the listener hears now.
uint64_t Audible(State& s) {
    int64_t a;
    if (s.output == Output::Sdl || s.output == Output::Manual) {
        const uint64_t now = Nanos();
        const uint64_t since = now > s.callbackNanos ? now - s.callbackNanos : 0;
        a = static_cast<int64_t>(s.callbackFrame) + static_cast<int64_t>(FramesAt(since)) -
            static_cast<int64_t>(2 * s.bufferFrames);
        // Never beyond what has been rendered, never backwards.
        a = std::min<int64_t>(a, static_cast<int64_t>(s.frames) - 1);
        a = std::max<int64_t>(a, static_cast<int64_t>(s.lastAudible));
        s.lastAudible = static_cast<uint64_t>(std::max<int64_t>(a, 0));
        a += s.offsetFrames;
    } else {
        a = static_cast<int64_t>(s.frames) - 1;  // rendered up to now: nothing is ahead
    }
    return a < 0 ? 0 : static_cast<uint64_t>(a);
}

uint32_t PositionAt(Music& m, uint64_t frame) {
    // Marks older than the one in force are no longer needed.
    while (m.marks.size() > 1 && m.marks[1].frame <= frame) m.marks.pop_front();
    return m.marks.front().frame <= frame ? m.marks.front().position : 0;
}

void Callback(void*, Uint8* stream, int len) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    const uint32_t frames = static_cast<uint32_t>(len) / 4;
    s.callbackNanos = Nanos();
    s.callbackFrame = s.frames;
    if (!s.running) {
        std::memset(stream, 0, static_cast<size_t>(len));
        return;
    }
    Render(s, reinterpret_cast<int16_t*>(stream), frames);
}

std::string LoadName(const char* name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool EnvTrue(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0;
}

void CloseOutput(State& s) {
    if (s.device) {
        SDL_CloseAudioDevice(s.device);  // waits for a running callback
        s.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    s.output = Output::None;
}

}  // namespace

bool Init(int32_t device, uint32_t frequency, uint32_t, os::Window*) {
    Note("Init");
    State& s = S();
    if (frequency != kOutputRate)
        std::fprintf(stderr, "sound: output runs at %u Hz, not %u\n", kOutputRate, frequency);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.output != Output::None) return false;  // already initialised
        s.frames = 0;
        s.lastAudible = 0;
        s.running = true;
        const char* offset = std::getenv("TESSARY_AUDIO_OFFSET_MS");
        s.offsetFrames = offset ? std::strtoll(offset, nullptr, 10) * kOutputRate / 1000 : 0;
        if (gManualOutput) {
            s.output = Output::Manual;
            s.bufferFrames = gManualBuffer;
            s.callbackNanos = Nanos();
            return true;
        }
    }
    if (device != 0 && !os::clock::IsVirtual() && !EnvTrue("TESSARY_NO_AUDIO") &&
        SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kOutputRate);
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kDeviceBufferFrames;
        want.callback = Callback;
        SDL_AudioSpec have{};
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id != 0) {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.device = id;
            s.output = Output::Sdl;
            s.bufferFrames = have.samples;
            s.callbackNanos = Nanos();
            SDL_PauseAudioDevice(id, 0);
            return true;
        }
        std::fprintf(stderr, "sound: no audio output (%s); the music plays silently\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    s.output = Output::Clock;
    s.bufferFrames = 0;
    s.baseClock = ClockFrames();
    s.baseFrame = s.baseClock;
    s.frames = s.baseFrame;
    return true;
}

bool Start() {
    Note("Start");
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.output == Output::None) return false;
    if (!s.running && s.output == Output::Clock) {
        s.baseFrame = s.frames;
        s.baseClock = ClockFrames();
    }
    s.running = true;
    return true;
}

uint32_t MusicLoad(int32_t fromMemory, const void* file, uint32_t offset, uint32_t length, uint32_t) {
    Note("MusicLoad");
    State& s = S();
    std::vector<char> bytes;
    std::string what = fromMemory ? std::string("from memory") : "\"" + std::string(static_cast<const char*>(file)) + "\"";
    if (fromMemory) {
        const char* p = static_cast<const char*>(file);
        if (p) bytes.assign(p + offset, p + offset + length);
    } else {
        const std::string path = LoadName(static_cast<const char*>(file));
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "sound: cannot load music %s: cannot open %s\n", what.c_str(), path.c_str());
            return 0;
        }
        in.seekg(offset);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (length && bytes.size() > length) bytes.resize(length);
    }
    std::unique_ptr<openmpt::module> module;
    try {
        std::ostringstream log;
        module = std::make_unique<openmpt::module>(bytes, log);
        module->set_repeat_count(-1);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sound: cannot load music %s: %s\n", what.c_str(), e.what());
        return 0;
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.output == Output::None) {
        std::fprintf(stderr, "sound: cannot load music %s: the output is not initialised\n", what.c_str());
        return 0;
    }
    auto m = std::make_unique<Music>();
    m->module = std::move(module);
    s.musics.push_back(std::move(m));
    return static_cast<uint32_t>(s.musics.size());
}

bool SetGlobalVolumes(int32_t music, int32_t, int32_t) {
    Note("SetGlobalVolumes");
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (music > 100) return false;
    if (music >= 0) s.musicVolume = static_cast<float>(music) / 100.0f;
    return true;
}

bool SetVolume(int32_t volume) {
    Note("SetVolume");
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (volume < 0 || volume > 100) return false;
    s.outputVolume = static_cast<float>(volume) / 100.0f;
    return true;
}

bool MusicPlay(uint32_t handle) {
    Note("MusicPlay");
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    CatchUp(s);  // the music starts now, not when the output last rendered
    Music* m = Find(s, handle);
    if (!m) return false;
    if (!m->playing) {
        m->module->set_position_order_row(0, 0);
        m->playing = true;
        m->ended = false;
        m->position = 0;
        m->marks = {{0, 0}};
    }
    return true;
}

uint32_t ChannelGetPosition(uint32_t handle) {
    Note("ChannelGetPosition");
    if (os::clock::IsVirtual()) os::clock::OnPoll();
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    CatchUp(s);
    Music* m = Find(s, handle);
    if (!m) return kInvalidPosition;
    if (!m->playing) return 0;
    return PositionAt(*m, Audible(s));
}

bool Stop() {
    Note("Stop");
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.output == Output::None) return false;
    CatchUp(s);
    s.running = false;
    return true;
}

bool Free() {
    Note("Free");
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.output == Output::None) return false;
        if (s.output != Output::Sdl) {
            s.output = Output::None;
            s.musics.clear();
            return true;
        }
    }
    CloseOutput(s);  // outside the lock: the callback may be waiting for it
    std::lock_guard<std::mutex> lock(s.mutex);
    s.musics.clear();
    return true;
}

void Update() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    CatchUp(s);
}

void SetFrameConsumer(FrameConsumer consumer, void* user) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.consumer = consumer;
    s.consumerUser = user;
}

bool HasDevice() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.output == Output::Sdl;
}

void SetCallObserver(CallObserver observer, void* user) {
    gObserver = observer;
    gObserverUser = user;
}

namespace testing {
void UseManualOutput(uint32_t bufferFrames) {
    gManualOutput = true;
    gManualBuffer = bufferFrames;
}
void Pull(int16_t* out, uint32_t frames) { Callback(nullptr, reinterpret_cast<Uint8*>(out), static_cast<int>(frames * 4)); }
void SetNanosSource(uint64_t (*now)()) { gNanos = now; }
uint32_t LatencyFrames() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    return 2 * s.bufferFrames;
}
}  // namespace testing

}  // namespace sound
