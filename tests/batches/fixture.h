// An engine with a 4 MB heap drawing through a headless 640 x 480 device.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "engine/DisplayState.h"
#include "engine/IEngine.h"
#include "platform/d3d8/Testing.h"
#include "platform/d3d8/d3d8.h"

constexpr uint32_t kHeapBytes = 4 * 1024 * 1024;

struct EngineFixture : ::testing::Test {
    IEngine* engine = nullptr;
    d3d8::Direct3D* d3d = nullptr;
    d3d8::Device* device = nullptr;

    void SetUp() override {
        engine = CreateEngine();
        ASSERT_NE(engine, nullptr);
        engine->MemInit(kHeapBytes);
        d3d = d3d8::Direct3DCreate8(d3d8::D3D_SDK_VERSION);
        d3d8::D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        p.BackBufferFormat = d3d8::D3DFMT_R5G6B5;
        p.BackBufferCount = 1;
        p.SwapEffect = d3d8::D3DSWAPEFFECT_FLIP;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = d3d8::D3DFMT_D16;
        p.Flags = d3d8::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        ASSERT_EQ(d3d->CreateDevice(0, d3d8::D3DDEVTYPE_HAL, nullptr, 0x20, &p, &device), 0);
        display::UseDevice(device, 640, 480);
    }
    void TearDown() override {
        d3d8::testing::ForceFailure(d3d8::testing::kNone);

        engine->Done3D();
        display::UseDevice(nullptr, 0, 0);
        if (device) device->Release();
        d3d->Release();
        engine->MemDone();
        DestroyEngine(engine);
    }

    // Drops the device as the window's destruction does.
    void LoseDevice() {
        display::UseDevice(nullptr, 0, 0);
        device->Release();
        device = nullptr;
    }

    // ShowFrame's part: a scene around FlushTriangles.
    void Frame() {
        if (device) device->BeginScene();
        engine->FlushTriangles();
        if (device) device->EndScene();
    }

    std::vector<uint16_t> Pixels() {
        d3d8::Surface* s = nullptr;
        device->GetBackBuffer(0, d3d8::D3DBACKBUFFER_TYPE_MONO, &s);
        d3d8::D3DLOCKED_RECT r{};
        s->LockRect(&r, nullptr, 0);
        auto* p = static_cast<uint16_t*>(r.pBits);
        std::vector<uint16_t> out(p, p + 640 * 480);
        s->UnlockRect();
        s->Release();
        return out;
    }
    uint16_t Pixel(int x, int y) { return Pixels()[size_t(y) * 640 + size_t(x)]; }

    // True when a block of nearly the whole heap can be had (nothing leaked).
    bool HeapNearlyEmpty() {
        const uint32_t bytes = kHeapBytes - 64 * 1024;
        void* p = engine->MemAlloc(bytes);
        if (!p) return false;
        engine->MemFree(p, bytes);
        return true;
    }

    // A 256 x 256 texture of one colour.
    TextureHandle SolidTexture(uint16_t colour) {
        std::vector<uint16_t> image(256 * 256, colour);
        return engine->CreateTextureFromImage(image.data());
    }
};

// A triangle counter-clockwise on screen (kept by the clockwise culling),
// covering the screen's centre, at depth z.
inline Triangle CentreTriangle(float z, float size = 1.0f) {
    Triangle t{};
    t.a = {-size, -size, z, 0.1f, 0.1f};
    t.b = {size, -size, z, 0.9f, 0.1f};
    t.c = {0.0f, size, z, 0.5f, 0.9f};
    return t;
}
inline Triangle Textured(float z, TextureHandle texture, int32_t additive, float size = 1.0f) {
    Triangle t = CentreTriangle(z, size);
    t.texture = texture;
    t.additive = additive;
    t.textured = 1;
    return t;
}
inline Triangle Coloured(float z, uint32_t colour, int32_t additive, float size = 1.0f) {
    Triangle t = CentreTriangle(z, size);
    t.colourA = t.colourB = t.colourC = colour;
    t.additive = additive;
    t.coloured = 1;
    return t;
}
