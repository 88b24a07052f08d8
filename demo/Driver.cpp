// Placeholder driver.
#include "demo/Demo.h"

namespace demo {
IEngine* engine = nullptr;
uint32_t musicHandle = 0;
uint32_t lastMusicPosition = 0;
uint32_t sceneEnd = 0;
uint32_t syncCounter = 0;
std::atomic<int32_t> angleA{0};
std::atomic<int32_t> angleB{0};
std::atomic<int32_t> angleC{0};

uint32_t MusicPosition() { return 0; }

int Run(InstanceHandle, int32_t) {
    engine = CreateEngine();
    return 0;
}
}  // namespace demo
