// The device's object model: creation, failures, back buffer access, scenes,
// Clear, Present and reference counts.
#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d8/Testing.h"
#include "platform/d3d8/d3d8.h"
#include "platform/os/Present.h"

using namespace d3d8;

namespace {

D3DPRESENT_PARAMETERS FullScreen(uint32_t w, uint32_t h) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = w;
    p.BackBufferHeight = h;
    p.BackBufferFormat = D3DFMT_R5G6B5;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_FLIP;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    return p;
}

struct DeviceFixture : ::testing::Test {
    Direct3D* d3d = nullptr;
    Device* device = nullptr;
    void SetUp() override {
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p = FullScreen(8, 4);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &p, &device),
                  D3D_OK);
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override {
        ::d3d8::testing::ForceFailure(::d3d8::testing::kNone);
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
    }
    std::vector<uint16_t> ReadBack() {
        Surface* s = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s), D3D_OK);
        D3DLOCKED_RECT r{};
        EXPECT_EQ(s->LockRect(&r, nullptr, 0), D3D_OK);
        auto* p = static_cast<uint16_t*>(r.pBits);
        std::vector<uint16_t> out(p, p + 32);
        s->UnlockRect();
        s->Release();
        return out;
    }
};

}  // namespace

TEST(Direct3D, CreateNeedsTheSdkVersionAndObeysTheFailureSeam) {
    EXPECT_EQ(Direct3DCreate8(119), nullptr);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kCreate);
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION), nullptr);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kNone);
    Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(Direct3D, DisplayModeIsSixteenBitAndCanBeForcedToFail) {
    Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    EXPECT_LT(d3d->GetAdapterDisplayMode(1, &mode), 0);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kDisplayMode);
    EXPECT_LT(d3d->GetAdapterDisplayMode(0, &mode), 0);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kNone);
    d3d->Release();
}

TEST(Direct3D, CreateDeviceRejectsWhatItCannotMakeAndObeysTheSeam) {
    Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    struct Case {
        const char* what;
        void (*change)(D3DPRESENT_PARAMETERS&);
    } cases[] = {
        {"zero width", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferWidth = 0; }},
        {"32-bit back buffer", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_X8R8G8B8; }},
        {"two back buffers", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferCount = 2; }},
        {"depth not D16", [](D3DPRESENT_PARAMETERS& p) { p.AutoDepthStencilFormat = D3DFMT_R5G6B5; }},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = FullScreen(640, 480);
        c.change(p);
        Device* device = reinterpret_cast<Device*>(1);
        EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x20, &p, &device), 0) << c.what;
        EXPECT_EQ(device, nullptr) << c.what;
    }
    D3DPRESENT_PARAMETERS p = FullScreen(640, 480);
    Device* device = nullptr;
    ::d3d8::testing::ForceFailure(::d3d8::testing::kCreateDevice);
    EXPECT_LT(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x20, &p, &device), 0);
    EXPECT_EQ(device, nullptr);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kNone);
    d3d->Release();
}

TEST_F(DeviceFixture, BackBufferIsALockableR5G6B5ArrayOfWidthTimesTwoByteRows) {
    Surface* s = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s), D3D_OK);
    D3DLOCKED_RECT r{};
    ASSERT_EQ(s->LockRect(&r, nullptr, 0), D3D_OK);
    EXPECT_EQ(r.Pitch, 16);
    EXPECT_LT(s->LockRect(&r, nullptr, 0), 0) << "locked twice";
    auto* p = static_cast<uint16_t*>(r.pBits);
    for (int i = 0; i < 32; ++i) p[i] = uint16_t(i);
    EXPECT_EQ(s->UnlockRect(), D3D_OK);
    EXPECT_LT(s->UnlockRect(), 0);
    RECT sub{2, 1, 4, 3};
    ASSERT_EQ(s->LockRect(&r, &sub, 0), D3D_OK);
    EXPECT_EQ(*static_cast<uint16_t*>(r.pBits), 10);
    s->UnlockRect();
    RECT outside{0, 0, 9, 1};
    EXPECT_LT(s->LockRect(&r, &outside, 0), 0);
    EXPECT_EQ(s->Release(), 1u) << "the device still holds its back buffer";
    EXPECT_EQ(ReadBack()[31], 31);
}

TEST_F(DeviceFixture, TheBackBufferOutlivesTheDeviceWhileReferenced) {
    Surface* s = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    D3DLOCKED_RECT r{};
    ASSERT_EQ(s->LockRect(&r, nullptr, 0), D3D_OK);
    static_cast<uint16_t*>(r.pBits)[31] = 7;
    s->UnlockRect();
    EXPECT_EQ(s->Release(), 0u);
}

TEST_F(DeviceFixture, ScenesDoNotNest) {
    EXPECT_LT(device->EndScene(), 0);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_LT(device->BeginScene(), 0);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_LT(device->EndScene(), 0);
}

TEST_F(DeviceFixture, ClearFillsTheViewportWithTheRoundedColour) {
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF8040, 1.0f, 0), D3D_OK);
    // 0xFF -> 31, 0x80 -> round(128 * 63 / 255) = 32, 0x40 -> round(64 * 31 / 255) = 8
    const uint16_t c = (31 << 11) | (32 << 5) | 8;
    for (uint16_t p : ReadBack()) EXPECT_EQ(p, c);
    D3DVIEWPORT8 v{2, 1, 3, 2, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&v), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    std::vector<uint16_t> px = ReadBack();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(px[y * 8 + x], inside ? 0 : c) << x << "," << y;
        }
    EXPECT_LT(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0), 0);
    D3DVIEWPORT8 tooWide{4, 0, 5, 4, 0.0f, 1.0f};
    EXPECT_LT(device->SetViewport(&tooWide), 0);
}

TEST(Device, WithoutDepthBufferZClearFails) {
    Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p = FullScreen(4, 4);
    p.EnableAutoDepthStencil = 0;
    Device* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x20, &p, &device), D3D_OK);
    EXPECT_LT(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), 0);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    device->Release();
    d3d->Release();
}

TEST_F(DeviceFixture, BoundTextureAndStreamStayAliveWhileTheDeviceHoldsThem) {
    Texture* t = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t), D3D_OK);
    VertexBuffer* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(60, D3DUSAGE_SOFTWAREPROCESSING, 0x102, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    ASSERT_EQ(device->SetTexture(0, t), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 20), D3D_OK);
    EXPECT_EQ(t->Release(), 1u);
    EXPECT_EQ(vb->Release(), 1u);
    // Still usable: the device's references keep them.
    D3DLOCKED_RECT r{};
    EXPECT_EQ(t->LockRect(0, &r, nullptr, D3DLOCK_NOSYSLOCK), D3D_OK);
    EXPECT_EQ(r.Pitch, 8);
    t->UnlockRect(0);
    t->AddRef();
    EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(t->Release(), 0u);
    // The stream is released with the device (ASan checks nothing leaks).
}

TEST_F(DeviceFixture, VertexBufferLocksStayInside) {
    VertexBuffer* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(100, 0, 0x42, D3DPOOL_MANAGED, &vb), D3D_OK);
    uint8_t* data = nullptr;
    EXPECT_LT(vb->Lock(90, 20, &data, 0), 0);
    EXPECT_EQ(data, nullptr);
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    data[99] = 1;
    EXPECT_LT(vb->Lock(0, 0, &data, 0), 0);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_LT(vb->Unlock(), 0);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kVertexBuffer);
    VertexBuffer* none = nullptr;
    EXPECT_LT(device->CreateVertexBuffer(100, 0, 0x42, D3DPOOL_MANAGED, &none), 0);
    EXPECT_EQ(vb->Release(), 0u);
}

TEST_F(DeviceFixture, TexturesHaveTheirLevelsAndLockWhereAsked) {
    Texture* t = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 256, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t), D3D_OK);
    EXPECT_EQ(t->GetLevelCount(), 1u);
    D3DLOCKED_RECT r{};
    EXPECT_LT(t->LockRect(1, &r, nullptr, 0), 0);
    ASSERT_EQ(t->LockRect(0, &r, nullptr, D3DLOCK_NOSYSLOCK), D3D_OK);
    EXPECT_EQ(r.Pitch, 512);
    EXPECT_EQ(t->UnlockRect(0), D3D_OK);
    EXPECT_LT(t->UnlockRect(0), 0);
    t->Release();
    ASSERT_EQ(device->CreateTexture(8, 2, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    EXPECT_EQ(t->GetLevelCount(), 4u);  // 8x2, 4x1, 2x1, 1x1
    t->Release();
    EXPECT_LT(device->CreateTexture(0, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t), 0);
    ::d3d8::testing::ForceFailure(::d3d8::testing::kTexture);
    EXPECT_LT(device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t), 0);
    EXPECT_EQ(t, nullptr);
}
