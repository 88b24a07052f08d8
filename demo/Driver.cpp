// The program: start-up, the music, the six scenes one after another, and
// the shut-down. Also the music position every scene reads.
#include <unistd.h>

#include <climits>
#include <string>

#include "demo/Demo.h"
#include "platform/os/Clock.h"
#include "platform/sound/Sound.h"

namespace demo {

IEngine* engine = nullptr;
uint32_t musicHandle = 0;
uint32_t lastMusicPosition = 0;
uint32_t sceneEnd = 0;
uint32_t syncCounter = 0;
std::atomic<int32_t> angleA{0};
std::atomic<int32_t> angleB{0};
std::atomic<int32_t> angleC{0};

namespace {

struct Driver {
    const char* sceneName = "";
    IEngine* (*factory)() = nullptr;
    const Scene* const* scenes = nullptr;
};
Driver driver;

const Scene* const kScenes[6] = {&kOpening, &kLogo, &kLandscape, &kMesh, &kCity, &kCake};

// Escape closes the window and with it the device: from then on every
// ProcessMessages returns 2. Asked once after each run step, so that no later
// load or free step touches textures or buffers of a device that is gone.
bool Escaped() { return engine->ProcessMessages() == 2; }

}  // namespace

uint32_t MusicPosition() {
    const uint32_t p = sound::ChannelGetPosition(musicHandle);
    return (p << 16) | (p >> 16);
}

const char* CurrentSceneName() { return driver.sceneName; }

bool UseExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return false;
    std::string dir(path, static_cast<size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    return chdir(dir.c_str()) == 0;
}

void SetEngineFactory(IEngine* (*factory)()) { driver.factory = factory; }
void SetScenes(const Scene* const* scenes) { driver.scenes = scenes; }

int Run(InstanceHandle instance, int32_t showCommand) {
    const Scene* const* scenes = driver.scenes ? driver.scenes : kScenes;

    engine = driver.factory ? driver.factory() : CreateEngine();
    engine->MemInit(4194304);
    engine->AllocLoadBuffer(262144);
    engine->Initialize(instance, showCommand);
    engine->BuildSinCosTable();
    engine->BuildAngleTables();
    WindowHandle window = nullptr;
    engine->OpenDisplay(640, 480, &window, 0, 0);
    engine->Init3D(1, 1, 500);

    sound::Init(-1, 44100, 16, window);
    sound::Start();
    musicHandle = sound::MusicLoad(0, "data\\Pavonel2.xm", 0, 0, 1);
    sound::SetGlobalVolumes(100, -1, -1);
    sound::SetVolume(100);

    driver.sceneName = scenes[0]->name;
    scenes[0]->load();
    syncCounter = 0;
    os::clock::Sleep(5000);
    sound::MusicPlay(musicHandle);

    scenes[0]->run();
    bool escaped = Escaped();
    if (!escaped) scenes[0]->free();
    for (int i = 1; i < 6 && !escaped; ++i) {
        driver.sceneName = scenes[i]->name;
        scenes[i]->load();
        scenes[i]->run();
        escaped = Escaped();
        if (!escaped) scenes[i]->free();
    }
    driver.sceneName = "";

    engine->Done3D();
    engine->CloseDisplay();
    sound::Stop();
    sound::Free();
    return 0;
}

}  // namespace demo
