// Music modules: load from memory through the sound layer and render a few
// seconds against the clock, reading the position as the scenes do.
#include <cstddef>
#include <cstdint>

#include "platform/os/Clock.h"
#include "platform/sound/Sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        os::clock::UseVirtual(60, 1);
        sound::Init(0, 44100, 16, nullptr);
        sound::Start();
        return true;
    }();
    (void)ready;
    const uint32_t music = sound::MusicLoad(1, data, 0, static_cast<uint32_t>(size), 1);
    if (music != 0) {
        sound::MusicPlay(music);
        for (int frame = 0; frame < 3 * 60; ++frame) {
            os::clock::OnFramePresented();
            (void)sound::ChannelGetPosition(music);
        }
    }
    sound::Free();
    sound::Init(0, 44100, 16, nullptr);
    sound::Start();
    return 0;
}
