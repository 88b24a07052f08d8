// Direct3D-8-shaped objects over a software reference rasterizer.
//
// Only the operations the engine relies on exist. Objects are reference
// counted (AddRef/Release); results are HRESULT-like 32-bit values, negative on
// failure. The device draws into a real R5G6B5 back buffer (rows of width * 2
// bytes) and a 16-bit depth buffer; Present hands the back buffer to the
// window through os::PresentToWindow.
#pragma once

#include <cstdint>

namespace os {
struct Window;
}

namespace d3d8 {

using HRESULT = int32_t;
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

constexpr uint32_t D3D_SDK_VERSION = 120;

enum D3DFORMAT : uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_D16 = 80,
};

enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1 };
enum D3DSWAPEFFECT : uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2 };
enum D3DBACKBUFFER_TYPE : uint32_t { D3DBACKBUFFER_TYPE_MONO = 0 };
enum D3DPOOL : uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2 };
enum D3DPRIMITIVETYPE : uint32_t { D3DPT_TRIANGLELIST = 4 };
enum D3DTRANSFORMSTATETYPE : uint32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_WORLD = 256,
};
enum D3DRENDERSTATETYPE : uint32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_LIGHTING = 137,
};
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DBLEND : uint32_t { D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2 };

constexpr uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr uint32_t D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 1;
constexpr uint32_t D3DCLEAR_TARGET = 1;
constexpr uint32_t D3DCLEAR_ZBUFFER = 2;
constexpr uint32_t D3DUSAGE_SOFTWAREPROCESSING = 0x10;
constexpr uint32_t D3DLOCK_NOSYSLOCK = 0x800;
constexpr uint32_t D3DFVF_XYZ = 0x002;
constexpr uint32_t D3DFVF_DIFFUSE = 0x040;
constexpr uint32_t D3DFVF_TEX1 = 0x100;

struct D3DDISPLAYMODE {
    uint32_t Width, Height, RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    uint32_t BackBufferWidth, BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    uint32_t BackBufferCount;
    uint32_t MultiSampleType;
    D3DSWAPEFFECT SwapEffect;
    os::Window* hDeviceWindow;
    int32_t Windowed;
    int32_t EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    uint32_t Flags;
    uint32_t FullScreen_RefreshRateInHz;
    uint32_t FullScreen_PresentationInterval;
};

struct D3DVIEWPORT8 {
    uint32_t X, Y, Width, Height;
    float MinZ, MaxZ;
};

struct D3DMATRIX {
    float m[4][4];  // m[row][column]; points are row vectors: p * M
};

struct D3DLOCKED_RECT {
    int32_t Pitch;
    void* pBits;
};

struct RECT {
    int32_t left, top, right, bottom;
};

// Base of every object: a reference count; the object is destroyed when the
// count reaches zero.
class Unknown {
public:
    uint32_t AddRef();
    uint32_t Release();

protected:
    Unknown() = default;
    virtual ~Unknown() = default;
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;

private:
    uint32_t refs_ = 1;
};

class Surface;
class VertexBuffer;
struct Access;  // the device's own factory (platform/d3d8 only)
class Texture;
class Device;

class Direct3D : public Unknown {
public:
    HRESULT GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode);
    HRESULT CreateDevice(uint32_t adapter, D3DDEVTYPE type, os::Window* focusWindow,
                         uint32_t behaviourFlags, D3DPRESENT_PARAMETERS* parameters,
                         Device** deviceOut);
};

// The classes below keep their state behind a private implementation pointer
// (or private members) owned by platform/d3d8; the public surface is fixed.

class Surface : public Unknown {
public:
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags);
    HRESULT UnlockRect();
    struct Impl;
    Impl* impl = nullptr;

private:
    ~Surface() override;
    friend class Device;
    friend class Texture;
    friend struct Access;
    Surface() = default;
};

class VertexBuffer : public Unknown {
public:
    HRESULT Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags);
    HRESULT Unlock();
    struct Impl;
    Impl* impl = nullptr;

private:
    ~VertexBuffer() override;
    friend class Device;
    friend struct Access;
    VertexBuffer() = default;
};

class Texture : public Unknown {
public:
    HRESULT LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags);
    HRESULT UnlockRect(uint32_t level);
    uint32_t GetLevelCount();
    struct Impl;
    Impl* impl = nullptr;

private:
    ~Texture() override;
    friend class Device;
    friend struct Access;
    Texture() = default;
};

class Device : public Unknown {
public:
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT Present(const RECT* source, const RECT* dest, os::Window* destWindow,
                    const void* dirtyRegion);
    HRESULT GetBackBuffer(uint32_t index, D3DBACKBUFFER_TYPE type, Surface** surfaceOut);
    HRESULT SetViewport(const D3DVIEWPORT8* viewport);
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value);
    HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                               VertexBuffer** bufferOut);
    HRESULT Clear(uint32_t rectCount, const RECT* rects, uint32_t flags, uint32_t colour,
                  float z, uint32_t stencil);
    HRESULT SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t stride);
    HRESULT SetVertexShader(uint32_t fvf);
    HRESULT SetTexture(uint32_t stage, Texture* texture);
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount);
    HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                          D3DFORMAT format, D3DPOOL pool, Texture** textureOut);
    struct Impl;
    Impl* impl = nullptr;

private:
    ~Device() override;
    friend class Direct3D;
    friend struct Access;
    Device() = default;
};

// The texture loader's short form: a texture holding the whole image of a
// JPEG file; a negative result (and no texture) when the file cannot be read.
HRESULT D3DXCreateTextureFromFileA(Device* device, const char* fileName, Texture** textureOut);

// Null when the runtime cannot be created (or a test forces it).
Direct3D* Direct3DCreate8(uint32_t sdkVersion);

}  // namespace d3d8
