// Module music output in the shape of the demo's sound library: initialise an
// output, load a module, play it, read its position as order and row.
//
//   sound::Init(-1, 44100, 16, window);
//   sound::Start();
//   uint32_t music = sound::MusicLoad(0, "data\\Pavonel2.xm", 0, 0, 1);
//   sound::MusicPlay(music);
//   uint32_t p = sound::ChannelGetPosition(music);  // order | row << 16
//
// libopenmpt decodes at 44100 Hz and SDL plays. The position is that of the
// frame the listener hears now: the decoder runs ahead by the output's
// buffering, which is taken off (two device buffers: SDL's and the device's,
// and TESSARY_AUDIO_OFFSET_MS, which moves the reported position that many
// milliseconds later into the song; negative values move it earlier).
// The offset applies only with a device: without one nothing is ahead.
//
// Without an audio device (none found, device 0 asked for, or
// TESSARY_NO_AUDIO=1) the music plays silently against os::clock, rendered
// on demand whenever its position is read or Update is called, so positions
// advance in time all the same. In virtual clock mode no device is opened and
// the music is rendered sample-exactly against the virtual clock; reading the
// position then moves virtual time on by one poll step first.
#pragma once

#include <cstdint>

namespace os {
struct Window;
}

namespace sound {

// What ChannelGetPosition returns for a handle that is not a loaded music.
constexpr uint32_t kInvalidPosition = 0xFFFFFFFFu;
constexpr uint32_t kOutputRate = 44100;

// device: -1 the default output, 0 no output (the music plays against the
// clock). Flags and window are accepted and not needed here.
bool Init(int32_t device, uint32_t frequency, uint32_t flags, os::Window* window);
// Starts (or resumes) the output.
bool Start();
// fromMemory 0: `file` is a file name ("data\Pavonel2.xm", `\` or `/`),
// otherwise a pointer to `length` bytes. offset/length select part of a file;
// length 0 means to its end. Returns the music handle, or 0 when the module
// cannot be read (the reason goes to standard error).
uint32_t MusicLoad(int32_t fromMemory, const void* file, uint32_t offset, uint32_t length,
                   uint32_t flags);
// Music volume 0..100; -1 leaves a volume as it is.
bool SetGlobalVolumes(int32_t music, int32_t sample, int32_t stream);
// Output volume 0..100.
bool SetVolume(int32_t volume);
// Plays a loaded music from its start; it loops at its restart position.
bool MusicPlay(uint32_t handle);
// Order in the low 16 bits, row in the high 16 bits, of what is heard now;
// kInvalidPosition for an unknown handle.
uint32_t ChannelGetPosition(uint32_t handle);
// Stops the output: the music stands still until Start.
bool Stop();
// Closes the output and frees every music.
bool Free();

// Without a device: renders up to the clock's present (the capture tool calls
// it once a frame). With a device: nothing.
void Update();

// Receives every output frame in order: `count` interleaved stereo int16
// frames, the first of which is frame `firstFrame` of the output (counted at
// 44100 Hz from the clock's start in clock-driven mode). Called on the thread
// that renders: the audio thread with a device, else the caller of
// ChannelGetPosition or Update, with the output's lock held: it must not call
// back into sound. Null unregisters.
using FrameConsumer = void (*)(const int16_t* frames, uint32_t count, uint64_t firstFrame, void* user);
void SetFrameConsumer(FrameConsumer consumer, void* user);

// Whether a real output device is playing the music.
bool HasDevice();

// Each call of the API above reports its name ("Init", "MusicLoad"...) here
// before it runs. Null unregisters.
using CallObserver = void (*)(const char* call, void* user);
void SetCallObserver(CallObserver observer, void* user);

namespace testing {
// Replaces the SDL device with one that plays only when Pull is called; the
// next Init opens it with `bufferFrames` frames per buffer.
void UseManualOutput(uint32_t bufferFrames);
// What the device callback does: fills `frames` stereo frames.
void Pull(int16_t* out, uint32_t frames);
// The time the latency estimate reads (default os::clock::NowNanos).
void SetNanosSource(uint64_t (*now)());
// Frames between the decoder and the listener.
uint32_t LatencyFrames();
}  // namespace testing

}  // namespace sound
