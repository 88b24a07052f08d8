#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "engine/DisplayState.h"
#include "engine/memory/Heap.h"
#include "platform/d3d8/d3d8.h"
#include "platform/os/MessageBox.h"

namespace fuzz {

IEngine* Engine() {
    static IEngine* engine = [] {
        os::SetMessageBoxHook([](const char*, const char*) {});
        IEngine* e = CreateEngine();
        e->MemInit(4 * 1024 * 1024);
        e->AllocLoadBuffer(256 * 1024);
        e->BuildSinCosTable();
        e->BuildAngleTables();
        static d3d8::Direct3D* d3d = d3d8::Direct3DCreate8(d3d8::D3D_SDK_VERSION);
        d3d8::D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        p.BackBufferFormat = d3d8::D3DFMT_R5G6B5;
        p.BackBufferCount = 1;
        p.SwapEffect = d3d8::D3DSWAPEFFECT_FLIP;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = d3d8::D3DFMT_D16;
        p.Flags = d3d8::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        d3d8::Device* device = nullptr;
        if (!d3d || d3d->CreateDevice(0, d3d8::D3DDEVTYPE_HAL, nullptr,
                                      d3d8::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device) < 0) {
            std::fprintf(stderr, "fuzz: no headless device\n");
            std::abort();
        }
        display::UseDevice(device, 640, 480);
        e->Init3D(1, 1, 500);
        return e;
    }();
    return engine;
}

const std::string& WriteScratch(const uint8_t* data, size_t size) {
    static const std::string name = "/tmp/tessary-fuzz-" + std::to_string(getpid()) + ".bin";
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return name;
}

void CheckHeap() {
    const std::string problem = heap::Check();
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz: heap invariant broken: %s\n", problem.c_str());
        std::abort();
    }
}

}  // namespace fuzz
