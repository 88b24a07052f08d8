#include "tools/mkdata/music/Xm.h"

#include <cmath>

namespace xm {
namespace {

void Put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    Put8(out, v);
    Put8(out, v >> 8);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v);
    Put16(out, v >> 16);
}
// Fixed-size text field, padded with `pad`.
void PutText(std::vector<uint8_t>& out, const std::string& text, size_t size, char pad) {
    for (size_t i = 0; i < size; ++i) Put8(out, static_cast<uint8_t>(i < text.size() ? text[i] : pad));
}

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

bool CheckEnvelope(const Envelope& e, int maxValue, const std::string& what, std::string* error) {
    const int n = static_cast<int>(e.points.size());
    if (n > 12) return Fail(error, what + ": more than 12 envelope points");
    for (int i = 0; i < n; ++i) {
        if (e.points[static_cast<size_t>(i)].value > maxValue)
            return Fail(error, what + ": envelope value out of range");
        if (i > 0 && e.points[static_cast<size_t>(i)].tick <= e.points[static_cast<size_t>(i - 1)].tick)
            return Fail(error, what + ": envelope ticks must increase");
    }
    if (n > 0 && e.points[0].tick != 0) return Fail(error, what + ": envelope must start at tick 0");
    if (e.sustain >= n) return Fail(error, what + ": sustain point out of range");
    if ((e.loopStart < 0) != (e.loopEnd < 0) || e.loopEnd >= n || e.loopStart > e.loopEnd)
        return Fail(error, what + ": bad envelope loop");
    return true;
}

void PutEnvelopePoints(std::vector<uint8_t>& out, const Envelope& e) {
    for (size_t i = 0; i < 12; ++i) {
        Put16(out, i < e.points.size() ? e.points[i].tick : 0);
        Put16(out, i < e.points.size() ? e.points[i].value : 0);
    }
}

uint8_t EnvelopeType(const Envelope& e) {
    if (e.points.empty()) return 0;
    return static_cast<uint8_t>(1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0));
}

uint8_t Index(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v); }

}  // namespace

bool Validate(const Module& m, std::string* error) {
    if (m.name.size() > 20) return Fail(error, "module name longer than 20 characters");
    if (m.tracker.size() > 20) return Fail(error, "tracker name longer than 20 characters");
    if (m.channels < 2 || m.channels > 32 || m.channels % 2)
        return Fail(error, "channel count must be even, 2..32");
    if (m.orders.empty() || m.orders.size() > 256) return Fail(error, "song length must be 1..256");
    if (m.restart < 0 || m.restart >= static_cast<int>(m.orders.size()))
        return Fail(error, "restart position outside the song");
    if (m.speed < 1 || m.speed > 31) return Fail(error, "speed must be 1..31");
    if (m.bpm < 32 || m.bpm > 255) return Fail(error, "BPM must be 32..255");
    if (m.patterns.empty() || m.patterns.size() > 256) return Fail(error, "pattern count must be 1..256");
    if (m.instruments.size() > 128) return Fail(error, "more than 128 instruments");
    for (uint8_t o : m.orders)
        if (o >= m.patterns.size()) return Fail(error, "order refers to a missing pattern");
    for (size_t p = 0; p < m.patterns.size(); ++p) {
        const Pattern& pat = m.patterns[p];
        const std::string what = "pattern " + std::to_string(p);
        if (pat.rows < 1 || pat.rows > 256) return Fail(error, what + ": rows must be 1..256");
        if (pat.channels != m.channels) return Fail(error, what + ": channel count differs");
        if (pat.cells.size() != static_cast<size_t>(pat.rows * pat.channels))
            return Fail(error, what + ": cell count does not match");
        bool empty = true;
        for (const Cell& c : pat.cells) {
            empty = empty && c.Empty();
            if (c.note > kKeyOff) return Fail(error, what + ": bad note");
            if (c.instrument > m.instruments.size()) return Fail(error, what + ": bad instrument");
            if (c.note == kKeyOff && c.instrument) return Fail(error, what + ": instrument with key-off");
            if (c.effect > 35) return Fail(error, what + ": bad effect");
            if (c.effect == 0x0F && c.param == 0) return Fail(error, what + ": F00");
        }
        // Players disagree on the length of an empty pattern that is not 64 rows.
        if (empty && pat.rows != 64) return Fail(error, what + ": empty and not 64 rows");
        if (PackPattern(pat).size() > 65535) return Fail(error, what + ": too much data");
    }
    for (size_t i = 0; i < m.instruments.size(); ++i) {
        const Instrument& ins = m.instruments[i];
        const std::string what = "instrument " + std::to_string(i + 1);
        if (ins.name.size() > 22) return Fail(error, what + ": name longer than 22 characters");
        if (ins.samples.size() > 16) return Fail(error, what + ": more than 16 samples");
        if (ins.fadeout > 0xFFF) return Fail(error, what + ": fadeout above 0xFFF");
        if (!CheckEnvelope(ins.volume, 64, what, error)) return false;
        if (!CheckEnvelope(ins.panning, 63, what, error)) return false;
        for (const Sample& s : ins.samples) {
            if (s.name.size() > 22) return Fail(error, what + ": sample name longer than 22 characters");
            if (s.volume > 64) return Fail(error, what + ": sample volume above 64");
            if (s.pcm.size() > 0x3FFFFFFF) return Fail(error, what + ": sample too long");
            if (s.loop != Loop::None &&
                (s.loopLength == 0 || uint64_t{s.loopStart} + s.loopLength > s.pcm.size()))
                return Fail(error, what + ": loop outside the sample");
        }
    }
    return true;
}

std::vector<uint8_t> PackPattern(const Pattern& pat) {
    std::vector<uint8_t> out;
    for (const Cell& c : pat.cells) {
        const bool all = c.note && c.instrument && c.volume && c.effect && c.param;
        if (all) {
            for (uint8_t b : {c.note, c.instrument, c.volume, c.effect, c.param}) out.push_back(b);
            continue;
        }
        const uint8_t mask = static_cast<uint8_t>((c.note ? 1 : 0) | (c.instrument ? 2 : 0) |
                                                  (c.volume ? 4 : 0) | (c.effect ? 8 : 0) |
                                                  (c.param ? 16 : 0));
        out.push_back(static_cast<uint8_t>(0x80 | mask));
        if (c.note) out.push_back(c.note);
        if (c.instrument) out.push_back(c.instrument);
        if (c.volume) out.push_back(c.volume);
        if (c.effect) out.push_back(c.effect);
        if (c.param) out.push_back(c.param);
    }
    return out;
}

bool Write(const Module& m, std::vector<uint8_t>* bytes, std::string* error) {
    if (!Validate(m, error)) return false;
    std::vector<uint8_t> out;
    PutText(out, "Extended Module: ", 17, ' ');
    PutText(out, m.name, 20, ' ');
    Put8(out, 0x1A);
    PutText(out, m.tracker, 20, ' ');
    Put16(out, 0x0104);
    Put32(out, 276);
    Put16(out, static_cast<uint32_t>(m.orders.size()));
    Put16(out, static_cast<uint32_t>(m.restart));
    Put16(out, static_cast<uint32_t>(m.channels));
    Put16(out, static_cast<uint32_t>(m.patterns.size()));
    Put16(out, static_cast<uint32_t>(m.instruments.size()));
    Put16(out, m.linearFrequencies ? 1 : 0);
    Put16(out, static_cast<uint32_t>(m.speed));
    Put16(out, static_cast<uint32_t>(m.bpm));
    for (size_t i = 0; i < 256; ++i) Put8(out, i < m.orders.size() ? m.orders[i] : 0);

    for (const Pattern& pat : m.patterns) {
        const std::vector<uint8_t> packed = PackPattern(pat);
        Put32(out, 9);
        Put8(out, 0);
        Put16(out, static_cast<uint32_t>(pat.rows));
        Put16(out, static_cast<uint32_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const Instrument& ins : m.instruments) {
        const bool hasSamples = !ins.samples.empty();
        Put32(out, hasSamples ? 263 : 33);
        PutText(out, ins.name, 22, '\0');
        Put8(out, 0);
        Put16(out, static_cast<uint32_t>(ins.samples.size()));
        Put32(out, hasSamples ? 40 : 0);
        if (!hasSamples) continue;
        for (uint8_t s : ins.noteMap) Put8(out, s);
        PutEnvelopePoints(out, ins.volume);
        PutEnvelopePoints(out, ins.panning);
        Put8(out, static_cast<uint32_t>(ins.volume.points.size()));
        Put8(out, static_cast<uint32_t>(ins.panning.points.size()));
        Put8(out, Index(ins.volume.sustain));
        Put8(out, Index(ins.volume.loopStart));
        Put8(out, Index(ins.volume.loopEnd));
        Put8(out, Index(ins.panning.sustain));
        Put8(out, Index(ins.panning.loopStart));
        Put8(out, Index(ins.panning.loopEnd));
        Put8(out, EnvelopeType(ins.volume));
        Put8(out, EnvelopeType(ins.panning));
        for (int i = 0; i < 4; ++i) Put8(out, 0);  // auto-vibrato off
        Put16(out, ins.fadeout);
        for (int i = 0; i < 22; ++i) Put8(out, 0);
        for (const Sample& s : ins.samples) {
            const bool looped = s.loop != Loop::None;
            Put32(out, static_cast<uint32_t>(s.pcm.size() * 2));
            Put32(out, looped ? s.loopStart * 2 : 0);
            Put32(out, looped ? s.loopLength * 2 : 0);
            Put8(out, s.volume);
            Put8(out, static_cast<uint8_t>(s.finetune));
            Put8(out, static_cast<uint32_t>(s.loop) | 0x10);
            Put8(out, s.panning);
            Put8(out, static_cast<uint8_t>(s.relativeNote));
            Put8(out, 0);
            PutText(out, s.name, 22, '\0');
        }
        for (const Sample& s : ins.samples) {
            int16_t old = 0;
            for (int16_t v : s.pcm) {
                Put16(out, static_cast<uint16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(old)));
                old = v;
            }
        }
    }
    *bytes = std::move(out);
    return true;
}

void TuneSample(Sample* sample, double sampleRate, double sampleHz, double targetHz) {
    const double rate = sampleRate * targetHz / sampleHz;  // playback rate wanted at C-4
    const double semis = 12.0 * std::log2(rate / 8363.0);
    int rel = static_cast<int>(std::lround(semis));
    int fine = static_cast<int>(std::lround((semis - rel) * 128.0));
    if (fine > 127) fine = 127;
    if (fine < -128) fine = -128;
    if (rel > 127) rel = 127;
    if (rel < -128) rel = -128;
    sample->relativeNote = static_cast<int8_t>(rel);
    sample->finetune = static_cast<int8_t>(fine);
}

}  // namespace xm
