// A small writer for extended modules (XM, version 0x0104): header, order
// table, packed patterns, instruments with 16-bit delta-encoded samples.
//
//   xm::Module m;
//   m.channels = 2; m.orders = {0};
//   m.patterns.push_back(xm::Pattern(64, 2));
//   m.patterns[0].At(0, 0) = {xm::Note(4, 0), 1, 0, 0, 0};
//   std::vector<uint8_t> bytes;
//   std::string error;
//   if (!xm::Write(m, &bytes, &error)) ...
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xm {

constexpr uint8_t kKeyOff = 97;

// Note number: octave 0..7, semitone 0..11 (C = 0). C-4 is 49.
constexpr uint8_t Note(int octave, int semitone) {
    return static_cast<uint8_t>(octave * 12 + semitone + 1);
}

// Volume-column "set volume" (0..64).
constexpr uint8_t Volume(int v) { return static_cast<uint8_t>(0x10 + v); }

struct Cell {
    uint8_t note = 0;        // 0 none, 1..96, 97 key-off
    uint8_t instrument = 0;  // 0 none, 1..N
    uint8_t volume = 0;      // volume column byte
    uint8_t effect = 0;
    uint8_t param = 0;
    bool Empty() const { return !note && !instrument && !volume && !effect && !param; }
};

struct Pattern {
    Pattern() = default;
    Pattern(int rowCount, int channelCount)
        : rows(rowCount), channels(channelCount),
          cells(static_cast<size_t>(rowCount) * static_cast<size_t>(channelCount)) {}
    Cell& At(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
    const Cell& At(int row, int channel) const {
        return cells[static_cast<size_t>(row * channels + channel)];
    }
    int rows = 64;
    int channels = 0;
    std::vector<Cell> cells;
};

struct EnvelopePoint {
    uint16_t tick;
    uint16_t value;  // volume 0..64, panning 0..63
};

struct Envelope {
    std::vector<EnvelopePoint> points;  // empty: off; at most 12
    int sustain = -1;                   // point index or -1
    int loopStart = -1;                 // point indexes, both or neither
    int loopEnd = -1;
};

enum class Loop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct Sample {
    std::string name;
    std::vector<int16_t> pcm;  // 16-bit mono
    Loop loop = Loop::None;
    uint32_t loopStart = 0;   // in frames
    uint32_t loopLength = 0;  // in frames
    uint8_t volume = 64;
    int8_t finetune = 0;  // 1/128 semitone
    uint8_t panning = 128;
    int8_t relativeNote = 0;
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;        // at most 16
    std::array<uint8_t, 96> noteMap{};  // note 1..96 -> sample index
    Envelope volume;
    Envelope panning;
    uint16_t fadeout = 0;  // 0..0xFFF
};

struct Module {
    std::string name;
    std::string tracker = "Tessary mkdata";
    int channels = 2;  // even, 2..32
    int restart = 0;   // order to continue at after the last one
    int speed = 6;     // ticks per row, 1..31
    int bpm = 125;     // 32..255
    bool linearFrequencies = true;
    std::vector<uint8_t> orders;  // 1..256 entries, each < patterns.size()
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;  // at most 128
};

// Checks every field against what XM players accept. False with a reason.
bool Validate(const Module& module, std::string* error);

// Serialises a valid module. False (bytes untouched) with a reason otherwise.
bool Write(const Module& module, std::vector<uint8_t>* bytes, std::string* error);

// Packs one pattern's cells as stored in the file (without its header).
std::vector<uint8_t> PackPattern(const Pattern& pattern);

// Semitones (relative note + finetune) that make a sample whose pitch is
// `sampleHz` at `sampleRate` play at `targetHz` on note C-4.
void TuneSample(Sample* sample, double sampleRate, double sampleHz, double targetHz);

}  // namespace xm
