// What the demo's driver and scenes share: the engine pointer, the music
// position, the sync table, the scene end flag and the shared angles.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/IEngine.h"

namespace demo {

extern IEngine* engine;
extern uint32_t musicHandle;
extern uint32_t lastMusicPosition;
extern uint32_t sceneEnd;
extern uint32_t syncCounter;

// Written by tick callbacks and read by frame loops: one 32-bit value each.
extern std::atomic<int32_t> angleA;
extern std::atomic<int32_t> angleB;
extern std::atomic<int32_t> angleC;

// Order in the high 16 bits, row in the low 16 bits.
uint32_t MusicPosition();

constexpr uint32_t kSyncTable[5] = {0x26, 0x4C, 0x1000E, 0x10034, 0x1005A};

constexpr uint32_t kOpeningEnd = 0x20000;
constexpr uint32_t kLogoEnd = 0x40000;
constexpr uint32_t kLandscapeEnd = 0x80000;
constexpr uint32_t kMeshEnd = 0xA0000;
constexpr uint32_t kCityEnd = 0xE0000;

// A scene: load, run (its frame loop), free.
struct Scene {
    const char* name;
    void (*load)();
    void (*run)();
    void (*free)();
};

extern const Scene kOpening;
extern const Scene kLogo;
extern const Scene kLandscape;
extern const Scene kMesh;
extern const Scene kCity;
extern const Scene kCake;

// The program: start-up, the six scenes, shut-down. Returns the exit code.
int Run(InstanceHandle instance, int32_t showCommand);

}  // namespace demo

namespace demo {

// The scene whose step runs now ("opening" ... "cake"); "" before the first
// load step and from the shut-down on.
const char* CurrentSceneName();

// Makes the executable's directory the current one, so "data\..." names
// resolve beside the program whatever directory it was started from.
bool UseExecutableDirectory();

// For tests: the engine Run creates (null: CreateEngine) and the six scenes it
// runs in order (null: the demo's own).
void SetEngineFactory(IEngine* (*factory)());
void SetScenes(const Scene* const* scenes);

}  // namespace demo
