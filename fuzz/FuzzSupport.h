// Shared set-up of the fuzz targets: one engine with the demo's heap and load
// buffer, a headless device with the demo's 3D state, message boxes counted
// instead of shown, and a per-process scratch file for the bytes under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/IEngine.h"

namespace fuzz {

// Built once per process; the device is a 640 x 480 headless one.
IEngine* Engine();

// Writes the input to this process's scratch file and returns its name.
const std::string& WriteScratch(const uint8_t* data, size_t size);

// Aborts (a finding) when the heap's invariants do not hold.
void CheckHeap();

}  // namespace fuzz
