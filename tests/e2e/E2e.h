// Runs the whole demo once in this process on the virtual clock (each test
// case has its own process), watching it from outside: message boxes, the
// scene at every present with the music position it last read, the heap's
// free space around every scene's load and free steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/capture/Session.h"

namespace e2e {

struct Box {
    std::string text, caption, scene;
    uint64_t atNanos;
};

struct Present {
    std::string scene;
    uint32_t lastMusicPosition;
    uint32_t syncCounter;
    uint64_t atNanos;
};

struct Steps {
    std::string scene;
    bool loaded = false, ran = false, freed = false;
    uint64_t freeBeforeLoad = 0, freeAfterLoad = 0, freeAfterFree = 0;
};

struct DemoRun {
    capture::SessionResult result;
    std::vector<Box> boxes;
    std::vector<Present> presents;
    std::vector<Steps> steps;  // in the order the driver ran them
};

struct RunOptions {
    std::vector<capture::ScriptedInput> inputs;
    std::string escape;       // a moment ("cake+1"); empty: the tool's default
    std::string end;          // stop there (Escape is pressed)
    int escapeBeforeLoadOf = -1;  // 1..5: Escape posted as that scene's load step begins
    std::string dataDir;      // empty: $TESSARY_DATA
    capture::Output* output = nullptr;
    std::vector<capture::FrameSpec> frames;  // written as PNG into framesDir
    std::string framesDir;
    capture::FrameRate rate;
};

// Every file the demo reads and the step that reads it (the driver: "").
struct DataFile {
    const char* name;
    const char* scene;
};
extern const DataFile kDataFiles[45];
// The files of kDataFiles missing from DataDir(), comma-separated; empty: none.
std::string MissingData();

DemoRun RunDemo(const RunOptions& options);

// The engine heap's free space: its free list plus the never-used top.
uint64_t HeapFree();

std::string DataDir();

capture::TimeSpec At(const std::string& moment);

}  // namespace e2e
