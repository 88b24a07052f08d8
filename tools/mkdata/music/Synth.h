// The instruments of the demo's music, synthesised at 44100 Hz.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/mkdata/music/Xm.h"

namespace mkdata::synth {

constexpr double kRate = 44100.0;

// Each returns a ready instrument: its sample tuned so that an XM note plays
// at its equal-tempered pitch (C-4 = 261.63 Hz) or, for drums, at the rate
// it was made at on C-4.
xm::Instrument Kick();
xm::Instrument Snare();
xm::Instrument ClosedHat();
xm::Instrument OpenHat();
xm::Instrument Crash();
xm::Instrument Bass();
xm::Instrument Pad();
xm::Instrument Lead();
xm::Instrument Bell();
xm::Instrument Pluck();

}  // namespace mkdata::synth
