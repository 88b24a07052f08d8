#include "tests/e2e/E2e.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "demo/Demo.h"
#include "engine/memory/Heap.h"
#include "platform/os/Clock.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Window.h"

namespace e2e {
namespace {

const demo::Scene* const kReal[6] = {&demo::kOpening, &demo::kLogo, &demo::kLandscape,
                                     &demo::kMesh,    &demo::kCity, &demo::kCake};

struct Watch {
    DemoRun* run = nullptr;
    int escapeBeforeLoadOf = -1;
    Steps* current = nullptr;
};
Watch gWatch;

Steps& StepsOf(int i) {
    auto& steps = gWatch.run->steps;
    if (steps.empty() || steps.back().scene != kReal[i]->name) {
        steps.push_back({});
        steps.back().scene = kReal[i]->name;
    }
    return steps.back();
}

template <int I>
void Load() {
    Steps& s = StepsOf(I);
    if (I > 0 && I == gWatch.escapeBeforeLoadOf)
        os::PostMessage(os::FindWindow("KVR", nullptr), os::WM_KEYDOWN, os::VK_ESCAPE, 0);
    s.freeBeforeLoad = HeapFree();
    kReal[I]->load();
    s.freeAfterLoad = HeapFree();
    s.loaded = true;
}
template <int I>
void RunStep() {
    StepsOf(I).ran = true;
    kReal[I]->run();
}
template <int I>
void Free() {
    kReal[I]->free();
    Steps& s = StepsOf(I);
    s.freeAfterFree = HeapFree();
    s.freed = true;
}

demo::Scene gScenes[6];
const demo::Scene* gScenePointers[6];

}  // namespace

const DataFile kDataFiles[45] = {
    {"Pavonel2.xm", ""},         {"panel.3do", "opening"},    {"textos1.jpg", "opening"},
    {"textos2.jpg", "opening"},  {"textos3.jpg", "opening"},  {"textos4.jpg", "opening"},
    {"textos5.jpg", "opening"},  {"zornalogo.jpg", "logo"},   {"land01.3do", "landscape"},
    {"landtext.jpg", "landscape"}, {"malla.3do", "mesh"},     {"sphere03.3do", "mesh"},
    {"deforme.jpg", "mesh"},     {"deforme2.jpg", "mesh"},    {"bicho.3do", "city"},
    {"city01.3do", "city"},      {"city02.3do", "city"},      {"sphere02.3do", "city"},
    {"cartel.3do", "city"},      {"skin.jpg", "city"},        {"build.jpg", "city"},
    {"cielo.jpg", "city"},       {"tierra.jpg", "city"},      {"credit01.jpg", "city"},
    {"credit02.jpg", "city"},    {"credit03.jpg", "city"},    {"credit04.jpg", "city"},
    {"credit05.jpg", "city"},    {"credit06.jpg", "city"},    {"greet1.jpg", "city"},
    {"greet2.jpg", "city"},      {"greet3.jpg", "city"},      {"greet4.jpg", "city"},
    {"greet5.jpg", "city"},      {"greet6.jpg", "city"},      {"greet7.jpg", "city"},
    {"greet8.jpg", "city"},      {"greet9.jpg", "city"},      {"greet10.jpg", "city"},
    {"fondo.3do", "cake"},       {"tarta.3do", "cake"},       {"velas.3do", "cake"},
    {"tarta.jpg", "cake"},       {"llama.jpg", "cake"},       {"pcr.jpg", "cake"}};

std::string MissingData() {
    std::string missing;
    for (const DataFile& f : kDataFiles)
        if (!std::filesystem::exists(std::filesystem::path(DataDir()) / f.name))
            missing += (missing.empty() ? "" : ", ") + std::string(f.name);
    return missing;
}

uint64_t HeapFree() { return uint64_t{heap::FreeBytes()} + heap::Size() - heap::TopRef(); }

std::string DataDir() { return capture::DataDirectory(); }

capture::TimeSpec At(const std::string& moment) {
    const auto t = capture::ParseTime(moment);
    EXPECT_TRUE(t) << moment;
    return t.value_or(capture::TimeSpec{});
}

DemoRun RunDemo(const RunOptions& options) {
    DemoRun run;
    gWatch.run = &run;
    gWatch.escapeBeforeLoadOf = options.escapeBeforeLoadOf;

    void (*loads[6])() = {&Load<0>, &Load<1>, &Load<2>, &Load<3>, &Load<4>, &Load<5>};
    void (*runs[6])() = {&RunStep<0>, &RunStep<1>, &RunStep<2>, &RunStep<3>, &RunStep<4>, &RunStep<5>};
    void (*frees[6])() = {&Free<0>, &Free<1>, &Free<2>, &Free<3>, &Free<4>, &Free<5>};
    for (int i = 0; i < 6; ++i) {
        gScenes[i] = demo::Scene{kReal[i]->name, loads[i], runs[i], frees[i]};
        gScenePointers[i] = &gScenes[i];
    }
    demo::SetScenes(gScenePointers);

    os::SetMessageBoxHook([&run](const char* text, const char* caption) {
        run.boxes.push_back({text ? text : "", caption ? caption : "", demo::CurrentSceneName(),
                             os::clock::NowNanos()});
    });
    if (!options.dataDir.empty()) setenv("TESSARY_DATA", options.dataDir.c_str(), 1);

    capture::SessionConfig c;
    c.options.quiet = true;
    c.options.rate = options.rate;
    if (!options.escape.empty()) c.options.escape = At(options.escape);
    if (!options.end.empty()) c.options.end = At(options.end);
    c.options.frames = options.frames;
    c.output.format = options.frames.empty() ? capture::Format::kNone : capture::Format::kPng;
    c.output.path = options.framesDir;
    c.customOutput = options.output;
    c.inputs = options.inputs;
    c.onPresent = [&run](uint64_t now) {
        run.presents.push_back({demo::CurrentSceneName(), demo::lastMusicPosition,
                                demo::syncCounter, now});
    };
    run.result = capture::RunSession(c);
    os::SetMessageBoxHook(nullptr);
    demo::SetScenes(nullptr);
    gWatch = {};
    return run;
}

}  // namespace e2e
