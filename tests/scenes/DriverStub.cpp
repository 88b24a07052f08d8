// The demo-wide variables the scenes use, defined here in place of the
// driver's, with a scripted music position.
#include "tests/scenes/Harness.h"

namespace scenetest {
std::function<uint32_t(int64_t)> musicSource;
int64_t musicCalls = 0;
}  // namespace scenetest

namespace demo {
IEngine* engine = nullptr;
uint32_t musicHandle = 0;
uint32_t lastMusicPosition = 0;
uint32_t sceneEnd = 0;
uint32_t syncCounter = 0;
std::atomic<int32_t> angleA{0};
std::atomic<int32_t> angleB{0};
std::atomic<int32_t> angleC{0};

uint32_t MusicPosition() {
    ++scenetest::musicCalls;
    return scenetest::musicSource ? scenetest::musicSource(scenetest::musicCalls) : 0;
}
}  // namespace demo
