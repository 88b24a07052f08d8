#include "tools/mkdata/music/Synth.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace mkdata::synth {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMiddleC = 261.6255653005986;

// Deterministic white noise in [-1, 1).
struct Noise {
    uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int32_t>(state) / 2147483648.0;
    }
};

size_t Frames(double seconds) { return static_cast<size_t>(seconds * kRate); }

// Scales to `peak` of full scale and rounds to 16 bits.
std::vector<int16_t> ToPcm(const std::vector<double>& x, double peak) {
    double max = 1e-9;
    for (double v : x) max = std::max(max, std::fabs(v));
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(x[i] / max * peak * 32767.0));
    return out;
}

// One-shots start from silence and die away to exact zero, so neither edge clicks.
void Edges(std::vector<double>& x, double attackSeconds, double releaseSeconds) {
    const size_t a = std::max<size_t>(1, Frames(attackSeconds));
    const size_t r = std::max<size_t>(1, Frames(releaseSeconds));
    for (size_t i = 0; i < a && i < x.size(); ++i) x[i] *= static_cast<double>(i) / a;
    for (size_t i = 0; i < r && i < x.size(); ++i) x[x.size() - 1 - i] *= static_cast<double>(i) / r;
}

// A one-shot sample, played at its own rate on C-4.
xm::Instrument OneShot(const std::string& name, const std::vector<double>& x, uint8_t volume,
                       double pitchHz = 0) {
    xm::Instrument ins;
    ins.name = name;
    xm::Sample s;
    s.name = name;
    s.pcm = ToPcm(x, 0.95);
    s.volume = volume;
    if (pitchHz > 0)
        xm::TuneSample(&s, kRate, pitchHz, kMiddleC);
    else
        xm::TuneSample(&s, kRate, 1.0, 1.0);  // drums: their own rate on C-4
    ins.samples.push_back(std::move(s));
    return ins;
}

// A whole-sample forward loop of `length` frames; `cycles` periods fit it exactly,
// so the loop joins without a step whatever the waveform.
xm::Instrument Looped(const std::string& name, const std::vector<double>& x, double cycles,
                      uint8_t volume) {
    xm::Instrument ins;
    ins.name = name;
    xm::Sample s;
    s.name = name;
    s.pcm = ToPcm(x, 0.95);
    s.loop = xm::Loop::Forward;
    s.loopStart = 0;
    s.loopLength = static_cast<uint32_t>(x.size());
    s.volume = volume;
    xm::TuneSample(&s, kRate, kRate * cycles / static_cast<double>(x.size()), kMiddleC);
    ins.samples.push_back(std::move(s));
    return ins;
}

// Sum of sine harmonics over `length` frames holding `cycles` periods.
void AddHarmonics(std::vector<double>& x, double cycles, const std::vector<double>& amps) {
    const double n = static_cast<double>(x.size());
    for (size_t h = 0; h < amps.size(); ++h) {
        if (amps[h] == 0) continue;
        const double k = cycles * static_cast<double>(h + 1);
        for (size_t i = 0; i < x.size(); ++i) x[i] += amps[h] * std::sin(2 * kPi * k * i / n);
    }
}

std::vector<double> HighPass(const std::vector<double>& x) {
    std::vector<double> y(x.size());
    double prev = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        y[i] = x[i] - prev;
        prev = x[i];
    }
    return y;
}

}  // namespace

xm::Instrument Kick() {
    std::vector<double> x(Frames(0.42));
    Noise noise{0x1234};
    double phase = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kRate;
        const double f = 46.0 + 120.0 * std::exp(-t / 0.035);
        phase += 2 * kPi * f / kRate;
        const double body = std::sin(phase) * std::exp(-t / 0.16);
        const double click = noise.Next() * std::exp(-t / 0.003) * 0.25;
        x[i] = std::tanh(1.6 * (body + click));
    }
    Edges(x, 0.0005, 0.02);
    return OneShot("kick", x, 64);
}

xm::Instrument Snare() {
    std::vector<double> x(Frames(0.32));
    Noise noise{0x5151};
    std::vector<double> n(x.size());
    for (double& v : n) v = noise.Next();
    n = HighPass(n);
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kRate;
        const double tone = std::sin(2 * kPi * 190.0 * t) * std::exp(-t / 0.045) * 0.8;
        x[i] = tone + n[i] * 0.55 * std::exp(-t / 0.09);
    }
    Edges(x, 0.0007, 0.03);
    return OneShot("snare", x, 48);
}

namespace {
std::vector<double> Metal(double seconds, double decay, uint32_t seed) {
    std::vector<double> x(Frames(seconds));
    Noise noise{seed};
    for (double& v : x) v = noise.Next();
    x = HighPass(HighPass(x));
    for (size_t i = 0; i < x.size(); ++i) x[i] *= std::exp(-(i / kRate) / decay);
    return x;
}
}  // namespace

xm::Instrument ClosedHat() {
    std::vector<double> x = Metal(0.09, 0.018, 0x4242);
    Edges(x, 0.0003, 0.01);
    return OneShot("closed hat", x, 26);
}

xm::Instrument OpenHat() {
    std::vector<double> x = Metal(0.45, 0.12, 0x4343);
    Edges(x, 0.0003, 0.05);
    return OneShot("open hat", x, 22);
}

xm::Instrument Crash() {
    std::vector<double> x = Metal(2.2, 0.55, 0x7777);
    // A little body under the sizzle.
    Noise noise{0x7878};
    double lp = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        lp += 0.2 * (noise.Next() - lp);
        x[i] = x[i] + 0.6 * lp * std::exp(-(i / kRate) / 0.4);
    }
    Edges(x, 0.001, 0.2);
    return OneShot("crash", x, 30);
}

xm::Instrument Bass() {
    // Warm saw with a rounded top.
    std::vector<double> x(1024);
    std::vector<double> amps;
    for (int n = 1; n <= 18; ++n) amps.push_back(1.0 / n / (1.0 + (n / 5.0) * (n / 5.0)));
    amps[0] += 0.4;
    AddHarmonics(x, 4, amps);
    xm::Instrument ins = Looped("bass", x, 4, 52);
    ins.volume.points = {{0, 64}, {8, 46}, {36, 34}};
    ins.volume.sustain = 2;
    ins.fadeout = 2400;
    return ins;
}

xm::Instrument Pad() {
    // Three detuned saws, each a whole number of periods in the loop.
    const size_t length = 32768;
    std::vector<double> x(length);
    for (double cycles : {256.0, 258.0, 254.0}) {
        std::vector<double> amps;
        for (int n = 1; n <= 24; ++n) amps.push_back(1.0 / n / (1.0 + (n / 7.0) * (n / 7.0)));
        AddHarmonics(x, cycles, amps);
    }
    xm::Instrument ins = Looped("pad", x, 256, 40);
    ins.volume.points = {{0, 0}, {14, 64}, {60, 50}};
    ins.volume.sustain = 2;
    ins.fadeout = 700;
    return ins;
}

xm::Instrument Lead() {
    std::vector<double> x(2048);
    std::vector<double> amps;
    for (int n = 1; n <= 14; ++n) {
        const double saw = 1.0 / n;
        const double square = (n % 2) ? 1.0 / n : 0.0;
        amps.push_back((0.55 * saw + 0.45 * square) / (1.0 + (n / 9.0) * (n / 9.0)));
    }
    AddHarmonics(x, 8, amps);
    xm::Instrument ins = Looped("lead", x, 8, 44);
    ins.volume.points = {{0, 0}, {2, 64}, {12, 50}, {80, 40}};
    ins.volume.sustain = 3;
    ins.fadeout = 1800;
    return ins;
}

xm::Instrument Bell() {
    const double f = 523.2511306011972;  // C-5
    std::vector<double> x(Frames(1.8));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kRate;
        const double index = 1.8 * std::exp(-t / 0.25);
        const double fm = std::sin(2 * kPi * f * t + index * std::sin(2 * kPi * 3.5 * f * t));
        x[i] = (fm + 0.3 * std::sin(2 * kPi * 2 * f * t) * std::exp(-t / 0.2)) * std::exp(-t / 0.6);
    }
    Edges(x, 0.001, 0.1);
    return OneShot("bell", x, 40, f);
}

xm::Instrument Pluck() {
    // Karplus-Strong string: a softened noise burst in a delay line.
    const size_t period = 100;
    std::vector<double> x(Frames(0.9));
    Noise noise{0x9999};
    double lp = 0;
    std::vector<double> line(period);
    for (double& v : line) {
        lp += 0.5 * (noise.Next() - lp);
        v = lp;
    }
    for (size_t i = 0; i < x.size(); ++i) {
        const size_t j = i % period;
        const double next = line[(j + 1) % period];
        x[i] = line[j];
        line[j] = 0.498 * (line[j] + next);
    }
    Edges(x, 0.002, 0.08);
    const double pitch = kRate / (static_cast<double>(period) + 0.5);
    return OneShot("pluck", x, 36, pitch);
}

}  // namespace mkdata::synth
