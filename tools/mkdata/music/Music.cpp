// The demo's music: one piece in sections that follow the scenes.
//
//   orders  0-1   intro, 128-row patterns (the five opening texts; a chime
//                 marks each text change on rows 38, 76, 14, 52 and 90)
//   orders  2-3   logo: drums, bass, chords and arpeggio come in
//   orders  4-7   landscape: the main tune on the lead
//   orders  8-9   mesh: half-time breakdown with plucks and bells
//   orders 10-13  city: a second tune over a darker progression
//   orders 14-16  cake: a waltz with a music-box tune; the song loops back
//                 to order 14, so the cake never stands in silence
//
// Speed 6 at 125 BPM: a row is 120 ms (5292 frames at 44100 Hz, a whole
// number, so every decoder counts the same), a 16-row bar 1.92 s.
#include "tools/mkdata/music/Music.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/mkdata/music/Synth.h"

namespace mkdata {
namespace {

enum Channel {
    kKickCh, kSnareCh, kHatCh, kBassCh, kPad1, kPad2, kPad3, kLeadCh, kEchoCh, kArpCh, kBellCh,
    kFxCh, kChannels
};
enum Instrument : uint8_t {
    kKick = 1, kSnare, kClosedHat, kOpenHat, kCrash, kBassIns, kPadIns, kLeadIns, kBellIns, kPluck
};

// "A4", "C#5", "Bb3" -> XM note (C-4 = 49 = middle C).
uint8_t N(const std::string& name) {
    static const int kSemis[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int semi = kSemis[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') ++semi, ++i;
    else if (name[i] == 'b') --semi, ++i;
    const int octave = name[i] - '0';
    return static_cast<uint8_t>(octave * 12 + semi + 1);
}

struct Chord {
    const char* bass;
    const char* tones[3];
};
const Chord kAm = {"A2", {"A3", "C4", "E4"}};
const Chord kF = {"F2", {"A3", "C4", "F4"}};
const Chord kC = {"C3", {"G3", "C4", "E4"}};
const Chord kG = {"G2", {"G3", "B3", "D4"}};
const Chord kEm = {"E2", {"G3", "B3", "E4"}};
const Chord kE = {"E2", {"G#3", "B3", "E4"}};
const Chord kDm = {"D3", {"A3", "D4", "F4"}};
const Chord kG7 = {"G2", {"G3", "B3", "F4"}};

void Put(xm::Pattern& p, int row, int ch, uint8_t note, uint8_t ins, int vol = -1) {
    if (row < 0 || row >= p.rows) return;
    xm::Cell& c = p.At(row, ch);
    c.note = note;
    c.instrument = note == xm::kKeyOff ? 0 : ins;
    c.volume = vol >= 0 ? xm::Volume(vol) : 0;
}

void Off(xm::Pattern& p, int row, int ch) { Put(p, row, ch, xm::kKeyOff, 0); }

// A tune written as "A4:2 C5:2 -:4 | ...": note and length in rows, "-" a
// rest (a key-off for held instruments), "|" a bar line for the reader.
void Melody(xm::Pattern& p, int ch, uint8_t ins, int startRow, const char* tune, int vol,
            bool keyOffRests, int transpose = 0) {
    std::istringstream in(tune);
    std::string token;
    int row = startRow;
    while (in >> token) {
        if (token == "|") continue;
        const size_t colon = token.find(':');
        const std::string name = token.substr(0, colon);
        const int length = std::stoi(token.substr(colon + 1));
        if (name == "-") {
            if (keyOffRests) Off(p, row, ch);
        } else {
            Put(p, row, ch, static_cast<uint8_t>(N(name) + transpose), ins, vol);
        }
        row += length;
    }
}

// The tune again, three rows later and quieter: a tracker echo.
void Echo(xm::Pattern& p, int ch, uint8_t ins, const char* tune, int vol, bool keyOffRests,
          int transpose = 0) {
    Melody(p, ch, ins, 3, tune, vol, keyOffRests, transpose);
}

void Pads(xm::Pattern& p, const std::vector<Chord>& chords, int rowsPerChord, int vol) {
    for (size_t i = 0; i < chords.size(); ++i)
        for (int v = 0; v < 3; ++v)
            Put(p, static_cast<int>(i) * rowsPerChord, kPad1 + v, N(chords[i].tones[v]), kPadIns, vol);
}

void Arp(xm::Pattern& p, const std::vector<Chord>& chords, int rowsPerChord, int step, int vol,
         int fromRow = 0) {
    static const int kOrder[8] = {0, 1, 2, 3, 2, 1, 2, 3};
    for (int row = fromRow; row < p.rows; row += step) {
        const Chord& c = chords[static_cast<size_t>(row / rowsPerChord) % chords.size()];
        const int k = kOrder[(row / step) % 8];
        const uint8_t note = static_cast<uint8_t>(k == 3 ? N(c.tones[0]) + 24 : N(c.tones[k]) + 12);
        const int accent = (row % 4 == 0) ? 4 : 0;
        Put(p, row, kArpCh, note, kPluck, vol + accent);
    }
}

// Bass in eighths, root and octave.
void BassEighths(xm::Pattern& p, const std::vector<Chord>& chords, int rowsPerChord, int vol) {
    for (int row = 0; row < p.rows; row += 2) {
        const Chord& c = chords[static_cast<size_t>(row / rowsPerChord) % chords.size()];
        const bool up = (row % 8) == 6 || (row % 8) == 2;
        Put(p, row, kBassCh, static_cast<uint8_t>(N(c.bass) + (up ? 12 : 0)), kBassIns,
            vol - (row % 4 ? 8 : 0));
    }
}

void BassLong(xm::Pattern& p, const std::vector<Chord>& chords, int rowsPerChord, int every, int vol) {
    for (int row = 0; row < p.rows; row += every) {
        const Chord& c = chords[static_cast<size_t>(row / rowsPerChord) % chords.size()];
        Put(p, row, kBassCh, N(c.bass), kBassIns, vol);
    }
}

const uint8_t kDrum = N("C4");  // drums play at their own rate

// Four to the floor, backbeat snare, hats in eighths with open offbeats.
void Beat(xm::Pattern& p, bool openHats, bool sixteenths, int fromRow = 0) {
    for (int row = fromRow; row < p.rows; ++row) {
        const int inBar = row % 16;
        if (inBar % 4 == 0) Put(p, row, kKickCh, kDrum, kKick, 60);
        if (inBar == 4 || inBar == 12) Put(p, row, kSnareCh, kDrum, kSnare, 50);
        if (openHats && inBar % 4 == 2)
            Put(p, row, kHatCh, kDrum, kOpenHat, 36);
        else if (sixteenths || row % 2 == 0)
            Put(p, row, kHatCh, kDrum, kClosedHat, row % 2 ? 22 : (row % 4 ? 34 : 42));
    }
}

// Snare roll over the last `rows` rows, growing louder.
void Roll(xm::Pattern& p, int rows) {
    const int start = p.rows - rows;
    for (int row = start; row < p.rows; ++row) {
        const int i = row - start;
        if (i < rows / 2 && i % 2) continue;
        Put(p, row, kSnareCh, kDrum, kSnare, 18 + 40 * i / rows);
    }
}

void Crash(xm::Pattern& p, int row = 0) { Put(p, row, kFxCh, kDrum, kCrash, 48); }

// The five text-change chimes of the intro.
void Chime(xm::Pattern& p, int row, const char* note) {
    Put(p, row, kBellCh, N(note), kBellIns, 50);
    Put(p, row + 3, kEchoCh, N(note), kBellIns, 20);
    Put(p, row + 6, kEchoCh, static_cast<uint8_t>(N(note) + 7), kBellIns, 12);
}

const char* const kLandscapeA =
    "A4:2 C5:2 E5:4 D5:2 C5:2 E5:4 | F5:4 E5:2 C5:2 A4:8 | "
    "G4:2 C5:2 E5:4 G5:4 E5:2 D5:2 | D5:6 B4:2 G4:4 -:4";
const char* const kLandscapeB =
    "A4:2 C5:2 E5:4 D5:2 C5:2 A5:4 | G5:2 F5:2 E5:4 C5:4 A4:4 | "
    "G4:2 C5:2 E5:2 G5:2 A5:4 G5:4 | B5:4 A5:2 G5:2 E5:6 -:2";
const char* const kMeshBells =
    "C6:6 A5:6 F5:4 | D6:6 B5:6 G5:4 | B5:6 G5:6 E5:4 | C6:8 E6:8";
const char* const kCityA =
    "E5:2 E5:2 A5:2 B5:2 C6:4 B5:2 A5:2 | B5:2 G5:2 D5:4 G5:2 A5:2 B5:4 | "
    "C6:2 A5:2 F5:4 A5:2 C6:2 D6:4 | B5:4 G#5:4 E5:4 -:4";
const char* const kCityB =
    "E5:2 E5:2 A5:2 B5:2 C6:4 D6:2 E6:2 | D6:2 B5:2 G5:4 B5:2 C6:2 D6:4 | "
    "C6:2 A5:2 F5:2 A5:2 C6:4 B5:2 A5:2 | G#5:4 B5:4 A5:6 -:2";
const char* const kCakeA =
    "C5:4 E5:4 G5:4 | A5:8 G5:4 | F5:4 D5:4 B4:4 | C5:8 G4:4 | "
    "A4:4 C5:4 E5:4 | F5:4 A5:4 C6:4 | B5:4 A5:4 G5:2 F5:2 | E5:8 -:4";
const char* const kCakeB =
    "A5:4 G5:4 F5:4 | E5:4 G5:4 C6:4 | D6:4 C6:4 A5:4 | B5:8 G5:4 | "
    "C6:4 G5:4 E5:4 | A5:4 E5:4 C5:4 | D5:4 F5:4 B5:4 | C6:8 -:4";

xm::Pattern Intro(bool second) {
    xm::Pattern p(128, kChannels);
    const std::vector<Chord> prog = {kAm, kF, kC, kG};
    Pads(p, prog, 32, second ? 36 : 34);
    if (!second) {
        BassLong(p, prog, 32, 32, 26);
        Arp(p, prog, 32, 4, 12, 64);
        Chime(p, 38, "E6");
        Chime(p, 76, "A5");
    } else {
        BassLong(p, prog, 32, 8, 34);
        Arp(p, prog, 32, 2, 14);
        for (int row = 32; row < 112; row += 2)
            Put(p, row, kHatCh, kDrum, kClosedHat, row % 4 ? 14 + row / 8 : 22 + row / 8);
        for (int row = 64; row < 112; row += 4) Put(p, row, kKickCh, kDrum, kKick, 34 + (row - 64) / 3);
        Roll(p, 16);
        Chime(p, 14, "C6");
        Chime(p, 52, "E6");
        Chime(p, 90, "G5");
    }
    return p;
}

xm::Pattern Logo(bool second) {
    xm::Pattern p(64, kChannels);
    const std::vector<Chord> prog = {kAm, kF, kC, kG};
    if (!second) Crash(p);
    Beat(p, false, false);
    BassEighths(p, prog, 16, 50);
    Pads(p, prog, 16, 30);
    Arp(p, prog, 16, 1, 16);
    if (second) Roll(p, 8);
    return p;
}

xm::Pattern Landscape(int part) {
    xm::Pattern p(64, kChannels);
    const std::vector<Chord> prog = {kAm, kF, kC, kG};
    if (part == 0 || part == 2) Crash(p);
    Beat(p, true, part >= 2);
    BassEighths(p, prog, 16, 50);
    Pads(p, prog, 16, 26);
    const char* tune = (part % 2) ? kLandscapeB : kLandscapeA;
    Melody(p, kLeadCh, kLeadIns, 0, tune, 46, true);
    Echo(p, kEchoCh, kLeadIns, tune, 14, true);
    if (part >= 2) Arp(p, prog, 16, 2, 14);
    if (part == 3) Roll(p, 8);
    return p;
}

xm::Pattern Mesh(bool second) {
    xm::Pattern p(64, kChannels);
    const std::vector<Chord> prog = {kF, kG, kEm, kAm};
    if (!second) Crash(p);
    for (int bar = 0; bar < 4; ++bar) {
        Put(p, bar * 16, kKickCh, kDrum, kKick, 58);
        Put(p, bar * 16 + 10, kKickCh, kDrum, kKick, 46);
        Put(p, bar * 16 + 8, kSnareCh, kDrum, kSnare, 46);
    }
    if (second)
        for (int row = 0; row < 64; ++row) Put(p, row, kHatCh, kDrum, kClosedHat, row % 2 ? 14 : 24);
    BassLong(p, prog, 16, 8, 46);
    Pads(p, prog, 16, 24);
    Arp(p, prog, 16, 1, 22);
    Melody(p, kBellCh, kBellIns, 0, kMeshBells, 40, false);
    Echo(p, kEchoCh, kBellIns, kMeshBells, 16, false);
    if (second) Roll(p, 16);
    return p;
}

xm::Pattern City(int part) {
    xm::Pattern p(64, kChannels);
    const std::vector<Chord> prog = {kAm, kG, kF, kE};
    if (part == 0 || part == 2) Crash(p);
    Beat(p, true, true);
    BassEighths(p, prog, 16, 52);
    Pads(p, prog, 16, 26);
    const char* tune = (part % 2) ? kCityB : kCityA;
    Melody(p, kLeadCh, kLeadIns, 0, tune, 46, true);
    Echo(p, kEchoCh, kLeadIns, tune, 14, true);
    if (part >= 2) Melody(p, kBellCh, kBellIns, 0, tune, 22, false, 12);
    Arp(p, prog, 16, 2, 12);
    if (part == 3) {
        Roll(p, 8);
        for (int ch : {kPad1, kPad2, kPad3}) Off(p, 60, ch);
    }
    return p;
}

xm::Pattern Cake(int part) {
    xm::Pattern p(96, kChannels);  // waltz: 12-row bars of three beats
    const std::vector<Chord> a = {kC, kF, kG, kC, kAm, kF, kG, kC};
    const std::vector<Chord> b = {kF, kC, kDm, kG, kC, kAm, kG7, kC};
    const std::vector<Chord>& prog = part == 1 ? b : a;
    if (part == 0) Crash(p);
    for (int bar = 0; bar < 8; ++bar) {
        const int r = bar * 12;
        const Chord& c = prog[static_cast<size_t>(bar)];
        Put(p, r, kKickCh, kDrum, kKick, 44);
        Put(p, r, kBassCh, N(c.bass), kBassIns, 50);
        Put(p, r + 8, kBassCh, static_cast<uint8_t>(N(c.bass) + 7), kBassIns, 34);
        for (int beat = 1; beat < 3; ++beat) {
            Put(p, r + beat * 4, kHatCh, kDrum, kClosedHat, 30);
            for (int v = 0; v < 3; ++v)
                Put(p, r + beat * 4, kPad1 + v, static_cast<uint8_t>(N(c.tones[v]) + 12), kPluck, 24);
        }
        if (part == 2) Put(p, r + 10, kSnareCh, kDrum, kSnare, 16);
    }
    const char* tune = part == 1 ? kCakeB : kCakeA;
    Melody(p, kBellCh, kBellIns, 0, tune, 52, false);
    Echo(p, kEchoCh, kBellIns, tune, 16, false);
    if (part == 2) {
        Melody(p, kLeadCh, kLeadIns, 0, tune, 30, true, -12);
        Arp(p, prog, 12, 2, 10);
    }
    if (part == 1) Off(p, 95, kLeadCh);
    return p;
}

}  // namespace

xm::Module ComposeMusic() {
    xm::Module m;
    m.name = "Pavonel2";
    m.channels = kChannels;
    m.speed = 6;
    m.bpm = 125;
    m.instruments = {synth::Kick(),  synth::Snare(), synth::ClosedHat(), synth::OpenHat(),
                     synth::Crash(), synth::Bass(),  synth::Pad(),       synth::Lead(),
                     synth::Bell(),  synth::Pluck()};
    m.patterns.push_back(Intro(false));  // 0
    m.patterns.push_back(Intro(true));   // 1
    m.patterns.push_back(Logo(false));   // 2
    m.patterns.push_back(Logo(true));    // 3
    for (int i = 0; i < 4; ++i) m.patterns.push_back(Landscape(i));  // 4-7
    m.patterns.push_back(Mesh(false));                               // 8
    m.patterns.push_back(Mesh(true));                                // 9
    for (int i = 0; i < 4; ++i) m.patterns.push_back(City(i));       // 10-13
    for (int i = 0; i < 3; ++i) m.patterns.push_back(Cake(i));       // 14-16
    for (uint8_t i = 0; i < 17; ++i) m.orders.push_back(i);
    m.restart = 14;
    return m;
}

bool GenerateMusic(const std::string& dataDir) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!xm::Write(ComposeMusic(), &bytes, &error)) {
        std::fprintf(stderr, "mkdata: music: %s\n", error.c_str());
        return false;
    }
    const std::string path = dataDir + "/Pavonel2.xm";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "mkdata: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace mkdata
