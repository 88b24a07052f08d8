// A headless device with helpers to draw vertex lists and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/d3d8/Testing.h"
#include "platform/d3d8/d3d8.h"

namespace rig {

struct Coloured {
    float x, y, z;
    uint32_t colour;
};
struct Textured {
    float x, y, z, u, v;
};

inline uint16_t Rgb565(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t((r << 11) | (g << 5) | b);
}

// The engine's fixed camera: z + 10, then (1.5x, 2y, w - 1, w).
inline d3d8::D3DMATRIX CameraView() {
    d3d8::D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    m.m[3][2] = 10.0f;
    return m;
}
inline d3d8::D3DMATRIX CameraProjection() {
    d3d8::D3DMATRIX m{};
    m.m[0][0] = 1.5f;
    m.m[1][1] = 2.0f;
    m.m[2][2] = 1.0f;
    m.m[2][3] = 1.0f;
    m.m[3][2] = -1.0f;
    return m;
}

class Rig {
public:
    // pixelSpace: vertices are given in pixels (x right, y down, w = 1), z is
    // the depth; otherwise the engine's camera applies.
    Rig(uint32_t width, uint32_t height, bool pixelSpace) : w_(width), h_(height) {
        d3d_ = d3d8::Direct3DCreate8(d3d8::D3D_SDK_VERSION);
        d3d8::D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = width;
        p.BackBufferHeight = height;
        p.BackBufferFormat = d3d8::D3DFMT_R5G6B5;
        p.BackBufferCount = 1;
        p.SwapEffect = d3d8::D3DSWAPEFFECT_FLIP;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = d3d8::D3DFMT_D16;
        p.Flags = d3d8::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        EXPECT_EQ(d3d_->CreateDevice(0, d3d8::D3DDEVTYPE_HAL, nullptr, 0x20, &p, &device_), 0);
        EXPECT_EQ(device_->CreateVertexBuffer(60000, 0, 0x102, d3d8::D3DPOOL_MANAGED, &vb_), 0);
        d3d8::D3DMATRIX view{}, projection{};
        if (pixelSpace) {
            for (int i = 0; i < 4; ++i) view.m[i][i] = 1.0f;
            for (int i = 0; i < 4; ++i) projection.m[i][i] = 1.0f;
            projection.m[0][0] = 2.0f / float(width);
            projection.m[3][0] = -1.0f;
            projection.m[1][1] = -2.0f / float(height);
            projection.m[3][1] = 1.0f;
        } else {
            view = CameraView();
            projection = CameraProjection();
        }
        device_->SetTransform(d3d8::D3DTS_VIEW, &view);
        device_->SetTransform(d3d8::D3DTS_PROJECTION, &projection);
        device_->SetRenderState(d3d8::D3DRS_LIGHTING, 0);
        device_->SetRenderState(d3d8::D3DRS_CULLMODE, d3d8::D3DCULL_CW);
        device_->SetRenderState(d3d8::D3DRS_SRCBLEND, d3d8::D3DBLEND_ONE);
        device_->SetRenderState(d3d8::D3DRS_DESTBLEND, d3d8::D3DBLEND_ONE);
        Clear(0);
    }
    ~Rig() {
        vb_->Release();
        EXPECT_EQ(device_->Release(), 0u);
        d3d_->Release();
    }

    d3d8::Device* device() { return device_; }

    void Clear(uint32_t colour, float z = 1.0f) {
        device_->Clear(0, nullptr, d3d8::D3DCLEAR_TARGET | d3d8::D3DCLEAR_ZBUFFER, colour, z, 0);
    }

    template <typename V>
    void Draw(const std::vector<V>& vertices, bool additive = false, d3d8::Texture* texture = nullptr) {
        ASSERT_EQ(vertices.size() % 3, 0u);
        ASSERT_LE(vertices.size() * sizeof(V), 60000u);
        uint8_t* p = nullptr;
        ASSERT_EQ(vb_->Lock(0, 0, &p, 0), 0);
        std::memcpy(p, vertices.data(), vertices.size() * sizeof(V));
        vb_->Unlock();
        uint32_t fvf = sizeof(V) == sizeof(Textured) ? 0x102 : 0x42;
        device_->SetStreamSource(0, vb_, sizeof(V));
        device_->SetVertexShader(fvf);
        device_->SetTexture(0, texture);
        device_->SetRenderState(d3d8::D3DRS_ALPHABLENDENABLE, additive ? 1 : 0);
        ASSERT_EQ(device_->BeginScene(), 0);
        ASSERT_EQ(device_->DrawPrimitive(d3d8::D3DPT_TRIANGLELIST, 0, uint32_t(vertices.size() / 3)), 0);
        device_->EndScene();
    }

    std::vector<uint16_t> Pixels() {
        d3d8::Surface* s = nullptr;
        device_->GetBackBuffer(0, d3d8::D3DBACKBUFFER_TYPE_MONO, &s);
        d3d8::D3DLOCKED_RECT r{};
        s->LockRect(&r, nullptr, 0);
        auto* p = static_cast<uint16_t*>(r.pBits);
        std::vector<uint16_t> out(p, p + size_t{w_} * h_);
        s->UnlockRect();
        s->Release();
        return out;
    }
    uint16_t Pixel(uint32_t x, uint32_t y) { return Pixels()[size_t{y} * w_ + x]; }
    uint16_t Depth(uint32_t x, uint32_t y) { return d3d8::testing::DepthAt(device_, x, y); }

    // A width x height R5G6B5 texture with the given texels (rows top down).
    d3d8::Texture* MakeTexture(uint32_t width, uint32_t height, const std::vector<uint16_t>& texels) {
        d3d8::Texture* t = nullptr;
        EXPECT_EQ(device_->CreateTexture(width, height, 1, 0, d3d8::D3DFMT_R5G6B5,
                                         d3d8::D3DPOOL_MANAGED, &t),
                  0);
        d3d8::D3DLOCKED_RECT r{};
        t->LockRect(0, &r, nullptr, 0);
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t*>(r.pBits) + y * uint32_t(r.Pitch), &texels[y * width],
                        width * 2);
        t->UnlockRect(0);
        return t;
    }

    uint32_t width() const { return w_; }
    uint32_t height() const { return h_; }

private:
    uint32_t w_, h_;
    d3d8::Direct3D* d3d_ = nullptr;
    d3d8::Device* device_ = nullptr;
    d3d8::VertexBuffer* vb_ = nullptr;
};

}  // namespace rig
