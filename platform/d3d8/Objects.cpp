// The object model of the software device: reference counts, the Direct3D
// object, the device's state and its resources. Drawing is in Raster.cpp.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "platform/d3d8/Internal.h"
#include "platform/d3d8/Testing.h"
#include "platform/os/Present.h"

namespace d3d8 {

namespace {
std::atomic<uint32_t> forcedFailures{0};
std::atomic<int> rasterThreads{0};
std::atomic<bool> fastSpans{true};

// The stand-in's desktop: 16-bit, so a windowed device gets the same back
// buffer format as a full-screen one.
constexpr D3DDISPLAYMODE kDesktopMode{640, 480, 60, D3DFMT_R5G6B5};

constexpr uint32_t kMaxSize = 8192;
constexpr uint32_t kRenderStateCount = 256;

// Render states the device knows and their initial values (with a depth
// buffer; ZENABLE starts FALSE without one).
struct StateDefault {
    D3DRENDERSTATETYPE state;
    uint32_t value;
};
constexpr StateDefault kStateDefaults[] = {
    {D3DRS_ZENABLE, 1},          {D3DRS_ZWRITEENABLE, 1},     {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO}, {D3DRS_CULLMODE, D3DCULL_CCW}, {D3DRS_ZFUNC, 4},
    {D3DRS_ALPHABLENDENABLE, 0}, {D3DRS_LIGHTING, 1},
};

bool KnownState(uint32_t state) {
    for (const StateDefault& d : kStateDefaults)
        if (d.state == state) return true;
    return false;
}

bool ValidStateValue(D3DRENDERSTATETYPE state, uint32_t value) {
    switch (state) {
        case D3DRS_SRCBLEND:
        case D3DRS_DESTBLEND: return value == D3DBLEND_ZERO || value == D3DBLEND_ONE;
        case D3DRS_CULLMODE: return value >= D3DCULL_NONE && value <= D3DCULL_CCW;
        case D3DRS_ZFUNC: return value >= 1 && value <= 8;
        default: return true;
    }
}

uint32_t BytesPerTexel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R5G6B5: return 2;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8R8G8B8: return 4;
        default: return 0;
    }
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

// Bytes of one vertex of a flexible vertex format the device draws, or 0.
uint32_t VertexSize(uint32_t fvf) {
    if ((fvf & ~(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1)) != 0 || !(fvf & D3DFVF_XYZ)) return 0;
    return 12 + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) + ((fvf & D3DFVF_TEX1) ? 8 : 0);
}
}  // namespace

namespace detail {
bool Forced(uint32_t failure) { return (forcedFailures.load(std::memory_order_relaxed) & failure) != 0; }
int RasterThreads() { return rasterThreads.load(std::memory_order_relaxed); }
bool FastSpans() { return fastSpans.load(std::memory_order_relaxed); }
}  // namespace detail

namespace testing {
void ForceFailure(uint32_t mask) { forcedFailures.store(mask, std::memory_order_relaxed); }
void SetRasterThreads(int count) { rasterThreads.store(std::max(count, 0), std::memory_order_relaxed); }
void SetFastSpans(bool enabled) { fastSpans.store(enabled, std::memory_order_relaxed); }
uint16_t DepthAt(Device* device, uint32_t x, uint32_t y) {
    RasterFlush(*device->impl->queue);
    const Surface::Impl* s = device->impl->backBuffer->impl;
    if (x >= s->width || y >= s->height || device->impl->depth.empty()) return 0;
    return device->impl->depth[size_t{y} * s->width + x];
}
}  // namespace testing

// ---- reference counts ----

uint32_t Unknown::AddRef() { return ++refs_; }

uint32_t Unknown::Release() {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

// ---- Direct3D object ----

Direct3D* Direct3DCreate8(uint32_t sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || detail::Forced(testing::kCreate)) return nullptr;
    return Access::New<Direct3D>();
}

HRESULT Direct3D::GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) {
    if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
    if (detail::Forced(testing::kDisplayMode)) return D3DERR_NOTAVAILABLE;
    *mode = kDesktopMode;
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(uint32_t adapter, D3DDEVTYPE type, os::Window* focusWindow,
                               uint32_t /*behaviourFlags*/, D3DPRESENT_PARAMETERS* p,
                               Device** deviceOut) {
    if (!deviceOut) return D3DERR_INVALIDCALL;
    *deviceOut = nullptr;
    if (adapter != 0 || type != D3DDEVTYPE_HAL || !p) return D3DERR_INVALIDCALL;
    if (detail::Forced(testing::kCreateDevice)) return D3DERR_NOTAVAILABLE;
    if (p->BackBufferWidth == 0 || p->BackBufferHeight == 0 || p->BackBufferWidth > kMaxSize ||
        p->BackBufferHeight > kMaxSize || p->BackBufferFormat != D3DFMT_R5G6B5 ||
        p->BackBufferCount > 1 || p->MultiSampleType != 0)
        return D3DERR_INVALIDCALL;
    if (p->EnableAutoDepthStencil && p->AutoDepthStencilFormat != D3DFMT_D16)
        return D3DERR_INVALIDCALL;

    Device* device = Access::New<Device>();
    if (!device) return E_OUTOFMEMORY;
    Device::Impl* d = new (std::nothrow) Device::Impl();
    Surface* back = Access::New<Surface>();
    Surface::Impl* s = new (std::nothrow) Surface::Impl();
    RasterQueue* queue = new (std::nothrow) RasterQueue();
    if (!d || !back || !s || !queue) {
        delete queue;
        delete s;
        if (back) back->Release();
        delete d;
        device->Release();
        return E_OUTOFMEMORY;
    }
    device->impl = d;
    back->impl = s;
    d->queue = queue;
    s->queue = queue;
    s->width = p->BackBufferWidth;
    s->height = p->BackBufferHeight;
    s->pixels.assign(size_t{s->width} * s->height, 0);
    d->backBuffer = back;
    d->window = p->hDeviceWindow ? p->hDeviceWindow : focusWindow;
    if (p->EnableAutoDepthStencil) d->depth.assign(size_t{s->width} * s->height, 0xFFFF);
    d->viewport = {0, 0, s->width, s->height, 0.0f, 1.0f};
    d->view = d->projection = d->world = Identity();
    for (const StateDefault& sd : kStateDefaults) d->states[sd.state] = sd.value;
    if (!p->EnableAutoDepthStencil) d->states[D3DRS_ZENABLE] = 0;
    *deviceOut = device;
    return D3D_OK;
}

// ---- surfaces ----

Surface::~Surface() { delete impl; }

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t /*flags*/) {
    if (!locked || impl->locked) return D3DERR_INVALIDCALL;
    if (impl->queue) RasterFlush(*impl->queue);
    uint32_t x = 0, y = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left ||
            rect->bottom <= rect->top || uint32_t(rect->right) > impl->width ||
            uint32_t(rect->bottom) > impl->height)
            return D3DERR_INVALIDCALL;
        x = uint32_t(rect->left);
        y = uint32_t(rect->top);
    }
    impl->locked = true;
    locked->Pitch = int32_t(impl->width * 2);
    locked->pBits = impl->pixels.data() + size_t{y} * impl->width + x;
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    if (!impl->locked) return D3DERR_INVALIDCALL;
    impl->locked = false;
    return D3D_OK;
}

// ---- vertex buffers ----

VertexBuffer::~VertexBuffer() { delete impl; }

HRESULT VertexBuffer::Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t /*flags*/) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    uint64_t length = impl->data.size();
    if (impl->locked || offset > length || (size != 0 && uint64_t{offset} + size > length))
        return D3DERR_INVALIDCALL;
    impl->locked = true;
    *data = impl->data.data() + offset;
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
    if (!impl->locked) return D3DERR_INVALIDCALL;
    impl->locked = false;
    return D3D_OK;
}

// ---- textures ----

Texture::~Texture() { delete impl; }

void Texture::Impl::Rebuild565() {
    const TextureLevel& l = levels[0];
    texels565.resize(size_t{l.width} * l.height);
    for (uint32_t y = 0; y < l.height; ++y) {
        const uint8_t* row = l.bits.data() + size_t{y} * l.pitch;
        uint16_t* out = texels565.data() + size_t{y} * l.width;
        if (format == D3DFMT_R5G6B5) {
            std::memcpy(out, row, size_t{l.width} * 2);
        } else {
            for (uint32_t x = 0; x < l.width; ++x) {
                uint32_t t;
                std::memcpy(&t, row + 4 * x, 4);
                out[x] = To565(t);
            }
        }
    }
}

HRESULT Texture::LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect,
                          uint32_t /*flags*/) {
    if (!locked || level >= impl->levels.size() || level >= 32 ||
        (impl->lockedLevels & (1u << level)))
        return D3DERR_INVALIDCALL;
    if (detail::Forced(testing::kTextureLock)) return D3DERR_INVALIDCALL;
    RasterFlushAll();  // draws recorded with the old texels come first
    TextureLevel& l = impl->levels[level];
    uint32_t x = 0, y = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left ||
            rect->bottom <= rect->top || uint32_t(rect->right) > l.width ||
            uint32_t(rect->bottom) > l.height)
            return D3DERR_INVALIDCALL;
        x = uint32_t(rect->left);
        y = uint32_t(rect->top);
    }
    impl->lockedLevels |= 1u << level;
    locked->Pitch = int32_t(l.pitch);
    locked->pBits = l.bits.data() + size_t{y} * l.pitch + size_t{x} * BytesPerTexel(impl->format);
    return D3D_OK;
}

HRESULT Texture::UnlockRect(uint32_t level) {
    if (level >= impl->levels.size() || level >= 32 || !(impl->lockedLevels & (1u << level)))
        return D3DERR_INVALIDCALL;
    impl->lockedLevels &= ~(1u << level);
    if (level == 0) impl->Rebuild565();
    return D3D_OK;
}

uint32_t Texture::GetLevelCount() { return uint32_t(impl->levels.size()); }

// Creates a texture of zero texels (levels 0: the whole chain down to 1x1).
HRESULT CreateTextureObject(uint32_t width, uint32_t height, uint32_t levels, D3DFORMAT format,
                            Texture** textureOut) {
    if (!textureOut) return D3DERR_INVALIDCALL;
    *textureOut = nullptr;
    uint32_t bpp = BytesPerTexel(format);
    if (width == 0 || height == 0 || width > kMaxSize || height > kMaxSize || bpp == 0)
        return D3DERR_INVALIDCALL;
    uint32_t chain = 1;
    while ((width >> chain) || (height >> chain)) ++chain;
    if (levels == 0) levels = chain;
    if (levels > chain) return D3DERR_INVALIDCALL;
    Texture* t = Access::New<Texture>();
    if (!t) return E_OUTOFMEMORY;
    t->impl = new (std::nothrow) Texture::Impl();
    if (!t->impl) {
        t->Release();
        return E_OUTOFMEMORY;
    }
    t->impl->format = format;
    t->impl->levels.resize(levels);
    for (uint32_t i = 0; i < levels; ++i) {
        TextureLevel& l = t->impl->levels[i];
        l.width = std::max(width >> i, 1u);
        l.height = std::max(height >> i, 1u);
        l.pitch = l.width * bpp;
        l.bits.assign(size_t{l.pitch} * l.height, 0);
    }
    t->impl->Rebuild565();
    *textureOut = t;
    return D3D_OK;
}

// ---- device ----

Device::~Device() {
    if (impl) {
        if (impl->queue) {
            RasterDiscard(*impl->queue);
            if (impl->backBuffer) impl->backBuffer->impl->queue = nullptr;
            delete impl->queue;
        }
        if (impl->texture) impl->texture->Release();
        if (impl->stream) impl->stream->Release();
        if (impl->backBuffer) impl->backBuffer->Release();
        delete impl;
    }
}

HRESULT Device::BeginScene() {
    if (impl->inScene) return D3DERR_INVALIDCALL;
    impl->inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!impl->inScene) return D3DERR_INVALIDCALL;
    impl->inScene = false;
    return D3D_OK;
}

HRESULT Device::Present(const RECT* /*source*/, const RECT* /*dest*/, os::Window* destWindow,
                        const void* /*dirtyRegion*/) {
    RasterFlush(*impl->queue);
    os::Window* window = destWindow ? destWindow : impl->window;
    const Surface::Impl* s = impl->backBuffer->impl;
    if (window)
        os::PresentToWindow(window, s->pixels.data(), int32_t(s->width), int32_t(s->height),
                            int32_t(s->width * 2));
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(uint32_t index, D3DBACKBUFFER_TYPE type, Surface** surfaceOut) {
    if (!surfaceOut) return D3DERR_INVALIDCALL;
    *surfaceOut = nullptr;
    if (index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    impl->backBuffer->AddRef();
    *surfaceOut = impl->backBuffer;
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* v) {
    const Surface::Impl* s = impl->backBuffer->impl;
    if (!v || v->Width == 0 || v->Height == 0 || v->X > s->width || v->Y > s->height ||
        v->Width > s->width - v->X || v->Height > s->height - v->Y || !(v->MinZ >= 0.0f) ||
        !(v->MaxZ <= 1.0f) || !(v->MinZ <= v->MaxZ))
        return D3DERR_INVALIDCALL;
    impl->viewport = *v;
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DTS_VIEW: impl->view = *matrix; return D3D_OK;
        case D3DTS_PROJECTION: impl->projection = *matrix; return D3D_OK;
        case D3DTS_WORLD: impl->world = *matrix; return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (state >= kRenderStateCount || !KnownState(state) || !ValidStateValue(state, value))
        return D3DERR_INVALIDCALL;
    impl->states[state] = value;
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(uint32_t length, uint32_t /*usage*/, uint32_t fvf,
                                   D3DPOOL /*pool*/, VertexBuffer** bufferOut) {
    if (!bufferOut) return D3DERR_INVALIDCALL;
    *bufferOut = nullptr;
    if (length == 0 || (fvf != 0 && VertexSize(fvf) == 0)) return D3DERR_INVALIDCALL;
    if (detail::Forced(testing::kVertexBuffer)) return E_OUTOFMEMORY;
    VertexBuffer* b = Access::New<VertexBuffer>();
    if (!b) return E_OUTOFMEMORY;
    b->impl = new (std::nothrow) VertexBuffer::Impl();
    if (!b->impl) {
        b->Release();
        return E_OUTOFMEMORY;
    }
    b->impl->data.assign(length, 0);
    b->impl->fvf = fvf;
    *bufferOut = b;
    return D3D_OK;
}

HRESULT Device::Clear(uint32_t rectCount, const RECT* rects, uint32_t flags, uint32_t colour,
                      float z, uint32_t /*stencil*/) {
    if ((flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)) != 0 || flags == 0)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_ZBUFFER) && (impl->depth.empty() || !(z >= 0.0f && z <= 1.0f)))
        return D3DERR_INVALIDCALL;
    if (rectCount != 0 && !rects) return D3DERR_INVALIDCALL;
    RasterFlush(*impl->queue);
    Surface::Impl* s = impl->backBuffer->impl;
    const D3DVIEWPORT8& v = impl->viewport;
    uint16_t c = To565(colour);
    uint16_t d = uint16_t(z * 65535.0f + 0.5f);
    auto clearRect = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        x0 = std::max<int32_t>(x0, int32_t(v.X));
        y0 = std::max<int32_t>(y0, int32_t(v.Y));
        x1 = std::min<int32_t>(x1, int32_t(v.X + v.Width));
        y1 = std::min<int32_t>(y1, int32_t(v.Y + v.Height));
        for (int32_t y = y0; y < y1; ++y) {
            size_t row = size_t(y) * s->width;
            if (flags & D3DCLEAR_TARGET)
                std::fill(s->pixels.begin() + row + x0, s->pixels.begin() + row + x1, c);
            if (flags & D3DCLEAR_ZBUFFER)
                std::fill(impl->depth.begin() + row + x0, impl->depth.begin() + row + x1, d);
        }
    };
    if (rectCount == 0) {
        clearRect(0, 0, int32_t(s->width), int32_t(s->height));
    } else {
        for (uint32_t i = 0; i < rectCount; ++i)
            clearRect(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
    }
    return D3D_OK;
}

HRESULT Device::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    if (buffer) buffer->AddRef();
    if (impl->stream) impl->stream->Release();
    impl->stream = buffer;
    impl->stride = stride;
    return D3D_OK;
}

HRESULT Device::SetVertexShader(uint32_t fvf) {
    if (VertexSize(fvf) == 0) return D3DERR_INVALIDCALL;
    impl->fvf = fvf;
    return D3D_OK;
}

HRESULT Device::SetTexture(uint32_t stage, Texture* texture) {
    if (stage != 0) return D3DERR_INVALIDCALL;
    if (texture) texture->AddRef();
    if (impl->texture) impl->texture->Release();
    impl->texture = texture;
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex,
                              uint32_t primitiveCount) {
    if (type != D3DPT_TRIANGLELIST || !impl->inScene || !impl->stream || impl->fvf == 0)
        return D3DERR_INVALIDCALL;
    const VertexBuffer::Impl* vb = impl->stream->impl;
    uint32_t size = VertexSize(impl->fvf);
    uint64_t end = (uint64_t{startVertex} + uint64_t{primitiveCount} * 3) * impl->stride;
    if (vb->locked || impl->stride < size || end > vb->data.size()) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    if (impl->backBuffer->impl->locked) return D3DERR_INVALIDCALL;

    Surface::Impl* s = impl->backBuffer->impl;
    RasterTarget target;
    target.colour = s->pixels.data();
    target.colourPitch = s->width;
    target.depth = impl->depth.empty() ? nullptr : impl->depth.data();
    target.depthPitch = s->width;
    target.height = s->height;
    target.viewport = impl->viewport;

    const uint32_t* st = impl->states;
    RasterState state;
    state.cull = st[D3DRS_CULLMODE];
    state.zEnable = st[D3DRS_ZENABLE] != 0 && target.depth;
    state.zWrite = st[D3DRS_ZWRITEENABLE] != 0;
    state.zFunc = st[D3DRS_ZFUNC];
    state.srcBlend = st[D3DRS_SRCBLEND];
    state.destBlend = st[D3DRS_DESTBLEND];
    state.alphaBlend = st[D3DRS_ALPHABLENDENABLE] != 0;
    state.lighting = st[D3DRS_LIGHTING] != 0;

    Texture* texture = (impl->fvf & D3DFVF_TEX1) ? impl->texture : nullptr;

    RasterInput input;
    input.vertices = vb->data.data() + size_t{startVertex} * impl->stride;
    input.stride = impl->stride;
    input.fvf = impl->fvf;
    input.triangles = primitiveCount;
    input.transform = Multiply(Multiply(impl->world, impl->view), impl->projection);
    RasterEnqueue(*impl->queue, target, state, texture, input);
    return D3D_OK;
}

HRESULT Device::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                              D3DFORMAT format, D3DPOOL /*pool*/, Texture** textureOut) {
    if (textureOut) *textureOut = nullptr;
    if (usage != 0) return D3DERR_INVALIDCALL;
    if (detail::Forced(testing::kTexture)) return E_OUTOFMEMORY;
    return CreateTextureObject(width, height, levels, format, textureOut);
}

}  // namespace d3d8
