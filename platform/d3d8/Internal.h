// The software device's private state: what lies behind each object's impl
// pointer, and the rasterizer's entry point. Not for use outside platform/d3d8.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "platform/d3d8/d3d8.h"

namespace d3d8 {

// Creates the device's objects (their constructors are private).
struct Access {
    template <typename T>
    static T* New() {
        return new (std::nothrow) T();
    }
};

namespace detail {
// Test seam state (see Testing.h).
bool Forced(uint32_t failure);
int RasterThreads();
bool FastSpans();
}  // namespace detail

struct RasterQueue;

struct Surface::Impl {
    RasterQueue* queue = nullptr;  // the back buffer's device's draws, flushed before a lock
    uint32_t width = 0, height = 0;
    std::vector<uint16_t> pixels;  // R5G6B5, rows of width pixels
    bool locked = false;
};

struct VertexBuffer::Impl {
    std::vector<uint8_t> data;
    uint32_t fvf = 0;
    bool locked = false;
};

struct TextureLevel {
    uint32_t width = 0, height = 0, pitch = 0;
    std::vector<uint8_t> bits;
};

struct Texture::Impl {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<TextureLevel> levels;
    uint32_t lockedLevels = 0;  // bit per level (levels beyond 31 are never locked twice)
    // Level 0 as the rasterizer reads it: every texel already rounded to
    // R5G6B5, rebuilt whenever level 0 is unlocked.
    std::vector<uint16_t> texels565;
    void Rebuild565();
};

struct Device::Impl {
    os::Window* window = nullptr;  // where Present shows the frame; may be null
    Surface* backBuffer = nullptr;  // held by the device
    std::vector<uint16_t> depth;    // D16, same size as the back buffer; empty without one
    D3DVIEWPORT8 viewport{};
    D3DMATRIX view{}, projection{}, world{};
    uint32_t states[256] = {};
    VertexBuffer* stream = nullptr;  // held while bound
    uint32_t stride = 0;
    uint32_t fvf = 0;
    Texture* texture = nullptr;  // held while bound
    bool inScene = false;
    RasterQueue* queue = nullptr;  // owned
};

// A texture of zeroed texels; levels 0 makes the whole chain down to 1x1.
HRESULT CreateTextureObject(uint32_t width, uint32_t height, uint32_t levels, D3DFORMAT format,
                            Texture** textureOut);

// What one draw needs from the device.
struct RasterTarget {
    uint16_t* colour = nullptr;  // back buffer, pitch in pixels
    uint32_t colourPitch = 0;
    uint16_t* depth = nullptr;  // null without a depth buffer
    uint32_t depthPitch = 0;
    uint32_t height = 0;  // rows of both buffers
    D3DVIEWPORT8 viewport{};
};

struct RasterState {
    uint32_t cull = D3DCULL_CCW;
    bool zEnable = true;
    bool zWrite = true;
    uint32_t zFunc = 4;  // D3DCMP_LESSEQUAL
    uint32_t srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
    bool alphaBlend = false;
    bool lighting = true;
};

struct RasterTexture {
    const uint16_t* texels565 = nullptr;  // rows of width texels
    const uint8_t* level0 = nullptr;      // the stored texels, for modulation with a colour
    D3DFORMAT format = D3DFMT_UNKNOWN;
    uint32_t width = 0, height = 0, pitch = 0;
};

struct RasterInput {
    const uint8_t* vertices = nullptr;
    uint32_t stride = 0;
    uint32_t fvf = 0;
    uint32_t triangles = 0;
    D3DMATRIX transform{};  // world * view * projection
};

// One recorded draw: its states, target and viewport, texture and a copy of
// its vertices.
struct PendingDraw {
    RasterTarget target;
    RasterState state;
    RasterTexture texture;
    bool textured = false;
    Texture* hold = nullptr;  // referenced until the draw is rasterised
    RasterInput input;        // input.vertices points into vertices
    std::vector<uint8_t> vertices;
};

// A device's draws, recorded by DrawPrimitive and rasterised together when the
// picture is needed (Present, a back-buffer lock, Clear, a texture lock): one
// pass over the back buffer in bands instead of one pass per draw.
struct RasterQueue {
    std::vector<PendingDraw> draws;  // the first count are pending
    size_t count = 0;
};

// Records a triangle list; texture may be null (defined in Raster.cpp).
void RasterEnqueue(RasterQueue& queue, const RasterTarget& target, const RasterState& state,
                   Texture* texture, const RasterInput& input);
// Rasterises everything the queue holds, in order.
void RasterFlush(RasterQueue& queue);
// Drops what the queue holds (its device goes away).
void RasterDiscard(RasterQueue& queue);
// Rasterises every device's queue (a texture is about to change).
void RasterFlushAll();

// 0x00RRGGBB to R5G6B5, each channel rounded to nearest.
inline uint16_t To565(uint32_t rgb) {
    uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    r = (r * 31 + 127) / 255;
    g = (g * 63 + 127) / 255;
    b = (b * 31 + 127) / 255;
    return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

}  // namespace d3d8
