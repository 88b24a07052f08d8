// The device's software rasterizer.
//
// Fixed rules, so that a frame is the same bit for bit on every run, machine
// and thread count:
//  - vertices are transformed as row vectors, p * (world * view * projection);
//  - polygons are clipped in clip space against 0 <= z <= w and a guard band
//    of |x|, |y| <= 4w (beyond it nothing is visible); a new vertex is always
//    interpolated from the inside corner towards the outside one, so two
//    triangles sharing an edge get the very same clipped edge;
//  - screen x = X + (1 + x/w) * Width/2, y = Y + (1 - y/w) * Height/2, snapped
//    to 1/256 pixel; depth = MinZ + (z/w) * (MaxZ - MinZ);
//  - coverage is exact integer arithmetic on the snapped corners: pixel
//    centres sit at integer coordinates, a centre on a left or a flat top edge
//    is inside, on a right or a flat bottom edge outside (top-left rule);
//  - culling by the sign of the snapped corners' area on screen (y down): a
//    positive area is clockwise;
//  - attributes are planes in screen space through the snapped corners; 1/w,
//    u/w, v/w and colour/w are interpolated and divided per pixel (perspective
//    correct), depth is interpolated as is and stored as floor(d * 65535 + 0.5);
//  - textures: point sampling of level 0, texel floor(u * W) mod W, likewise
//    for v; modulated with the diffuse colour (white when the vertex has none,
//    black with lighting on, since no vertex carries a normal); no texture
//    reads as white;
//  - colours go to 5-6-5 by rounding to nearest, without dithering; blending
//    with factors ONE/ZERO adds the rounded channels, saturating each.
// Draws are recorded and rasterised together: the picture is cut into bands
// of 16 rows, every thread owns every n-th band and draws all triangles of all
// recorded draws in their order into it.
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <immintrin.h>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/d3d8/Internal.h"

namespace d3d8 {

namespace {

constexpr int kSubBits = 8;
constexpr int32_t kSub = 1 << kSubBits;
constexpr float kGuard = 4.0f;
constexpr int32_t kBandRows = 16;
constexpr int kMaxThreads = 8;
constexpr uint32_t kChunkTriangles = 256;  // triangles set up by one thread at a time

enum Attr { kZ, kQ, kUQ, kVQ, kRQ, kGQ, kBQ, kAttrCount };

struct ClipVertex {
    float p[4];  // x, y, z, w
    float u, v, r, g, b;
};

// One triangle ready to rasterise (two cache lines).
struct alignas(64) Setup {
    int32_t xT, yT, xM, yM, xB, yB;  // snapped corners sorted by y (top, middle, bottom)
    int32_t rowFirst, rowEnd;        // rows it covers, within the viewport
    bool longEdgeLeft;
    float x0, y0;  // reference point of the planes, in pixels
    float a0[kAttrCount], ax[kAttrCount], ay[kAttrCount];
};

// ---- worker threads ----

class Pool {
public:
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    // Runs job(0..count-1), job 0 on the calling thread; returns when all end.
    void Run(int count, const std::function<void(int)>& job) {
        if (count <= 1) {
            job(0);
            return;
        }
        while (int(threads_.size()) < count - 1) {
            int index = int(threads_.size()) + 1;
            threads_.emplace_back([this, index] { Worker(index); });
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            jobCount_ = count;
            pending_ = count - 1;
            ++generation_;
        }
        wake_.notify_all();
        job(0);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return pending_ == 0; });
        job_ = nullptr;
    }

private:
    void Worker(int index) {
        uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
            if (index >= jobCount_) continue;
            const std::function<void(int)>* job = job_;
            lock.unlock();
            (*job)(index);
            lock.lock();
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> threads_;
    const std::function<void(int)>* job_ = nullptr;
    int jobCount_ = 0;
    int pending_ = 0;
    uint64_t generation_ = 0;
    bool stop_ = false;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

std::mutex drawMutex;  // one draw at a time uses the pool and the scratch below

int ThreadCount() {
    int n = detail::RasterThreads();
    if (n <= 0) n = int(std::thread::hardware_concurrency());
    return std::clamp(n, 1, kMaxThreads);
}

// ---- geometry ----

// floor(a / b) for b > 0, exact: a double estimate (the values here stay far
// below 2^53) corrected with integer steps, cheaper than a 64-bit division.
inline int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = int64_t(std::floor(double(a) / double(b)));
    int64_t r = a - q * b;
    while (r < 0) {
        --q;
        r += b;
    }
    while (r >= b) {
        ++q;
        r -= b;
    }
    return q;
}
inline int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// Distance of v inside clip plane i (>= 0 is inside).
inline float PlaneDistance(const ClipVertex& v, int i) {
    switch (i) {
        case 0: return v.p[2];                      // near: z >= 0
        case 1: return v.p[3] - v.p[2];             // far: z <= w
        case 2: return kGuard * v.p[3] + v.p[0];    // left guard
        case 3: return kGuard * v.p[3] - v.p[0];    // right guard
        case 4: return kGuard * v.p[3] + v.p[1];    // bottom guard
        default: return kGuard * v.p[3] - v.p[1];   // top guard
    }
}
constexpr int kPlaneCount = 6;

inline ClipVertex Lerp(const ClipVertex& in, const ClipVertex& out, float t) {
    ClipVertex r;
    for (int k = 0; k < 4; ++k) r.p[k] = in.p[k] + t * (out.p[k] - in.p[k]);
    r.u = in.u + t * (out.u - in.u);
    r.v = in.v + t * (out.v - in.v);
    r.r = in.r + t * (out.r - in.r);
    r.g = in.g + t * (out.g - in.g);
    r.b = in.b + t * (out.b - in.b);
    return r;
}

// Sutherland-Hodgman against every plane; returns the corner count (0 when
// nothing is left). poly has room for 3 + kPlaneCount corners.
int ClipPolygon(ClipVertex* poly, int n) {
    ClipVertex tmp[3 + kPlaneCount];
    for (int plane = 0; plane < kPlaneCount; ++plane) {
        float d[3 + kPlaneCount];
        bool allIn = true, allOut = true;
        for (int i = 0; i < n; ++i) {
            d[i] = PlaneDistance(poly[i], plane);
            allIn = allIn && d[i] >= 0.0f;
            allOut = allOut && !(d[i] >= 0.0f);
        }
        if (allOut) return 0;
        if (allIn) continue;
        int m = 0;
        for (int i = 0; i < n; ++i) {
            int j = (i + 1) % n;
            bool inI = d[i] >= 0.0f, inJ = d[j] >= 0.0f;
            if (inI) tmp[m++] = poly[i];
            if (inI != inJ) {
                // From the inside corner towards the outside one.
                const ClipVertex& a = inI ? poly[i] : poly[j];
                const ClipVertex& b = inI ? poly[j] : poly[i];
                float da = inI ? d[i] : d[j], db = inI ? d[j] : d[i];
                tmp[m++] = Lerp(a, b, da / (da - db));
            }
        }
        n = m;
        std::memcpy(poly, tmp, sizeof(ClipVertex) * size_t(n));
    }
    return n;
}

struct ScreenVertex {
    int32_t x, y;  // 1/256 pixel
    float z, q, uq, vq, rq, gq, bq;
};

struct Context {
    const RasterTarget* target;
    const RasterState* state;
    const RasterTexture* texture;
    const RasterInput* input;
    bool textured, diffuse;
    float halfW, halfH, zScale;
};

ScreenVertex Project(const Context& c, const ClipVertex& v) {
    const D3DVIEWPORT8& vp = c.target->viewport;
    float q = 1.0f / v.p[3];
    float sx = float(vp.X) + (1.0f + v.p[0] * q) * c.halfW;
    float sy = float(vp.Y) + (1.0f - v.p[1] * q) * c.halfH;
    ScreenVertex s;
    s.x = int32_t(std::floor(sx * float(kSub) + 0.5f));
    s.y = int32_t(std::floor(sy * float(kSub) + 0.5f));
    s.z = vp.MinZ + v.p[2] * q * c.zScale;
    s.q = q;
    s.uq = v.u * q;
    s.vq = v.v * q;
    s.rq = v.r * q;
    s.gq = v.g * q;
    s.bq = v.b * q;
    return s;
}

void AddSetup(const Context& c, const ScreenVertex& a, const ScreenVertex& b,
              const ScreenVertex& d, std::vector<Setup>& out) {
    int64_t area = int64_t(b.x - a.x) * (d.y - a.y) - int64_t(d.x - a.x) * (b.y - a.y);
    if (area == 0) return;
    if (c.state->cull == D3DCULL_CW && area > 0) return;
    if (c.state->cull == D3DCULL_CCW && area < 0) return;

    const ScreenVertex* v[3] = {&a, &b, &d};
    if (v[1]->y < v[0]->y) std::swap(v[0], v[1]);
    if (v[2]->y < v[1]->y) std::swap(v[1], v[2]);
    if (v[1]->y < v[0]->y) std::swap(v[0], v[1]);
    Setup s;
    s.xT = v[0]->x;
    s.yT = v[0]->y;
    s.xM = v[1]->x;
    s.yM = v[1]->y;
    s.xB = v[2]->x;
    s.yB = v[2]->y;
    int64_t side = int64_t(s.xB - s.xT) * (s.yM - s.yT) - int64_t(s.yB - s.yT) * (s.xM - s.xT);
    s.longEdgeLeft = side < 0;
    const D3DVIEWPORT8& vp = c.target->viewport;
    s.rowFirst = std::max(int32_t(CeilDiv(s.yT, kSub)), int32_t(vp.Y));
    s.rowEnd = std::min(int32_t(CeilDiv(s.yB, kSub)), int32_t(vp.Y + vp.Height));
    if (s.rowFirst >= s.rowEnd) return;

    // Planes through the snapped corners.
    const float inv = 1.0f / float(kSub);
    float x0 = float(a.x) * inv, y0 = float(a.y) * inv;
    float dx1 = float(b.x - a.x) * inv, dy1 = float(b.y - a.y) * inv;
    float dx2 = float(d.x - a.x) * inv, dy2 = float(d.y - a.y) * inv;
    float det = float(area) * inv * inv;
    float rdet = 1.0f / det;
    const float va[kAttrCount] = {a.z, a.q, a.uq, a.vq, a.rq, a.gq, a.bq};
    const float vb[kAttrCount] = {b.z, b.q, b.uq, b.vq, b.rq, b.gq, b.bq};
    const float vd[kAttrCount] = {d.z, d.q, d.uq, d.vq, d.rq, d.gq, d.bq};
    s.x0 = x0;
    s.y0 = y0;
    for (int k = 0; k < kAttrCount; ++k) {
        float e1 = vb[k] - va[k], e2 = vd[k] - va[k];
        s.a0[k] = va[k];
        s.ax[k] = (e1 * dy2 - e2 * dy1) * rdet;
        s.ay[k] = (e2 * dx1 - e1 * dx2) * rdet;
    }
    out.push_back(s);
}

ClipVertex Fetch(const Context& c, uint32_t index) {
    const RasterInput& in = *c.input;
    const uint8_t* p = in.vertices + size_t{index} * in.stride;
    float pos[3];
    std::memcpy(pos, p, 12);
    ClipVertex v;
    const D3DMATRIX& m = in.transform;
    for (int j = 0; j < 4; ++j)
        v.p[j] = pos[0] * m.m[0][j] + pos[1] * m.m[1][j] + pos[2] * m.m[2][j] + m.m[3][j];
    size_t offset = 12;
    v.r = v.g = v.b = 255.0f;
    if (in.fvf & D3DFVF_DIFFUSE) {
        uint32_t colour;
        std::memcpy(&colour, p + offset, 4);
        offset += 4;
        v.r = float((colour >> 16) & 0xFF);
        v.g = float((colour >> 8) & 0xFF);
        v.b = float(colour & 0xFF);
    }
    if (c.state->lighting) v.r = v.g = v.b = 0.0f;
    v.u = v.v = 0.0f;
    if (in.fvf & D3DFVF_TEX1) {
        float uv[2];
        std::memcpy(uv, p + offset, 8);
        v.u = uv[0];
        v.v = uv[1];
    }
    return v;
}

void SetupTriangle(const Context& c, uint32_t t, std::vector<Setup>& out) {
    ClipVertex poly[3 + kPlaneCount];
    for (int i = 0; i < 3; ++i) poly[i] = Fetch(c, 3 * t + uint32_t(i));
    int n = ClipPolygon(poly, 3);
    if (n < 3) return;
    ScreenVertex s[3 + kPlaneCount];
    for (int i = 0; i < n; ++i) {
        if (!(poly[i].p[3] > 1e-30f)) return;
        s[i] = Project(c, poly[i]);
    }
    for (int i = 1; i + 1 < n; ++i) AddSetup(c, s[0], s[i], s[i + 1], out);
}

// ---- pixels ----

inline bool DepthPasses(uint32_t func, uint32_t z, uint32_t stored) {
    switch (func) {
        case 1: return false;
        case 2: return z < stored;
        case 3: return z == stored;
        case 4: return z <= stored;
        case 5: return z > stored;
        case 6: return z != stored;
        case 7: return z >= stored;
        default: return true;
    }
}

inline uint32_t Round5(float x) { return uint32_t(std::clamp(x * 31.0f + 0.5f, 0.0f, 31.0f)); }
inline uint32_t Round6(float x) { return uint32_t(std::clamp(x * 63.0f + 0.5f, 0.0f, 63.0f)); }

inline uint32_t Wrap(int32_t i, uint32_t size, bool pow2) {
    if (pow2) return uint32_t(i) & (size - 1);
    int32_t m = i % int32_t(size);
    return uint32_t(m < 0 ? m + int32_t(size) : m);
}

inline int32_t FloorToInt(float f) {
    f = std::clamp(f, -1073741824.0f, 1073741824.0f);
    int32_t t = int32_t(f);
    return float(t) > f ? t - 1 : t;
}

// The stored texel as channels in 0..1.
void TexelChannels(const RasterTexture& t, uint32_t x, uint32_t y, float ch[3]) {
    const uint8_t* row = t.level0 + size_t{y} * t.pitch;
    if (t.format == D3DFMT_R5G6B5) {
        uint16_t p;
        std::memcpy(&p, row + 2 * x, 2);
        ch[0] = float(p >> 11) / 31.0f;
        ch[1] = float((p >> 5) & 63) / 63.0f;
        ch[2] = float(p & 31) / 31.0f;
    } else {
        uint32_t p;
        std::memcpy(&p, row + 4 * x, 4);
        ch[0] = float((p >> 16) & 0xFF) / 255.0f;
        ch[1] = float((p >> 8) & 0xFF) / 255.0f;
        ch[2] = float(p & 0xFF) / 255.0f;
    }
}

inline uint16_t Blend(uint16_t src, uint16_t dst, bool srcOne, bool dstOne) {
    uint32_t sr = srcOne ? (src >> 11) : 0, sg = srcOne ? ((src >> 5) & 63) : 0,
             sb = srcOne ? (src & 31) : 0;
    uint32_t dr = dstOne ? (dst >> 11) : 0, dg = dstOne ? ((dst >> 5) & 63) : 0,
             db = dstOne ? (dst & 31) : 0;
    uint32_t r = std::min(sr + dr, 31u), g = std::min(sg + dg, 63u), b = std::min(sb + db, 31u);
    return uint16_t((r << 11) | (g << 5) | b);
}

// Colour of one pixel before blending.
struct Shader {
    const Context* c;
    bool textured, diffuse, fastTexel;
    bool pow2W, pow2H;
    float texW, texH;

    uint16_t Shade(const Setup& s, float dx, const float rowA[kAttrCount]) const {
        if (!textured && !diffuse) return 0xFFFF;
        float q = rowA[kQ] + s.ax[kQ] * dx;
        float w = 1.0f / q;
        uint32_t tx = 0, ty = 0;
        if (textured) {
            const RasterTexture& t = *c->texture;
            float u = (rowA[kUQ] + s.ax[kUQ] * dx) * w;
            float v = (rowA[kVQ] + s.ax[kVQ] * dx) * w;
            tx = Wrap(FloorToInt(u * texW), t.width, pow2W);
            ty = Wrap(FloorToInt(v * texH), t.height, pow2H);
            if (fastTexel) return t.texels565[size_t{ty} * t.width + tx];
        }
        float ch[3] = {1.0f, 1.0f, 1.0f};
        if (textured) TexelChannels(*c->texture, tx, ty, ch);
        if (diffuse) {
            const float k = 1.0f / 255.0f;
            ch[0] *= (rowA[kRQ] + s.ax[kRQ] * dx) * w * k;
            ch[1] *= (rowA[kGQ] + s.ax[kGQ] * dx) * w * k;
            ch[2] *= (rowA[kBQ] + s.ax[kBQ] * dx) * w * k;
        }
        return uint16_t((Round5(ch[0]) << 11) | (Round6(ch[1]) << 5) | Round5(ch[2]));
    }
};

// Steps the first pixel column at or right of an edge, row by row, exactly.
struct EdgeWalk {
    int64_t q, r, stepQ, stepR, den;

    void Start(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t row) {
        int64_t dy = int64_t(y1) - y0, dx = int64_t(x1) - x0;
        den = dy * kSub;
        int64_t n = int64_t(x0) * dy + dx * (int64_t(row) * kSub - y0);
        q = CeilDiv(n, den);
        r = q * den - n;  // in [0, den)
        int64_t step = dx * kSub;
        stepQ = FloorDiv(step, den);
        stepR = step - stepQ * den;
    }
    void Step() {
        q += stepQ;
        r -= stepR;
        if (r < 0) {
            r += den;
            q += 1;
        }
    }
};

// One row of one triangle: where it lies and its attributes at x = 0 of the
// triangle's reference point.
struct Span {
    const Setup* s;
    int32_t y, x0, x1;
    float rowA[kAttrCount];
    uint16_t* colour;  // row start
    uint16_t* depth;   // row start, null without depth buffer
    int32_t rowEnd;    // pixels in the row
};

// Per-pixel reference path: every state and format.
void SpanGeneric(const Context& c, const Shader& sh, const Span& sp, int32_t from) {
    const RasterState& st = *c.state;
    const Setup& s = *sp.s;
    bool blend = st.alphaBlend && !(st.srcBlend == D3DBLEND_ONE && st.destBlend == D3DBLEND_ZERO);
    bool srcOne = st.srcBlend == D3DBLEND_ONE, dstOne = st.destBlend == D3DBLEND_ONE;
    for (int32_t x = from; x < sp.x1; ++x) {
        float dx = float(x) - s.x0;
        if (st.zEnable) {
            float z = sp.rowA[kZ] + s.ax[kZ] * dx;
            uint32_t z16 = uint32_t(std::clamp(z * 65535.0f + 0.5f, 0.0f, 65535.0f));
            if (!DepthPasses(st.zFunc, z16, sp.depth[x])) continue;
            if (st.zWrite) sp.depth[x] = uint16_t(z16);
        }
        uint16_t src = sh.Shade(s, dx, sp.rowA);
        sp.colour[x] = blend ? Blend(src, sp.colour[x], srcOne, dstOne) : src;
    }
}

// Eight pixels at a time for the common states: depth test less-or-equal,
// replace or ONE/ONE add, and either a texture alone (power-of-two size) or a
// vertex colour alone. Each lane does exactly the generic path's float
// operations, so the two give the same pixels; the last pixels of a row go
// through the generic path.
// The helpers are internal and inlined, so the note that 32-byte vectors pass
// differently with AVX does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"
using f8 = float __attribute__((vector_size(32)));
using i8 = int32_t __attribute__((vector_size(32)));
using u16x8 = uint16_t __attribute__((vector_size(16)));

__attribute__((target("avx2"))) inline f8 Splat(float v) { return f8{v, v, v, v, v, v, v, v}; }
__attribute__((target("avx2"))) inline i8 SplatI(int32_t v) { return i8{v, v, v, v, v, v, v, v}; }
__attribute__((target("avx2"))) inline f8 Min(f8 a, f8 b) { return a < b ? a : b; }
__attribute__((target("avx2"))) inline f8 Max(f8 a, f8 b) { return a > b ? a : b; }
__attribute__((target("avx2"))) inline i8 MinI(i8 a, i8 b) { return a < b ? a : b; }

__attribute__((target("avx2"))) inline i8 FloorToInt8(f8 f) {
    f = Min(Max(f, Splat(-1073741824.0f)), Splat(1073741824.0f));
    i8 t = __builtin_convertvector(f, i8);
    return t + (__builtin_convertvector(t, f8) > f);  // true lanes are -1
}

__attribute__((target("avx2"))) inline i8 Round8(f8 v, float scale) {
    return __builtin_convertvector(Min(Max(v * Splat(scale) + Splat(0.5f), Splat(0.0f)), Splat(scale)), i8);
}

template <bool Textured, bool Add>
__attribute__((target("avx2"))) void SpanFast(const Context& c, const Shader& sh, const Span& sp) {
    const Setup& s = *sp.s;
    const RasterState& st = *c.state;
    const f8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const f8 ax = Splat(s.ax[kZ]), rz = Splat(sp.rowA[kZ]);
    const f8 aq = Splat(s.ax[kQ]), rq = Splat(sp.rowA[kQ]);
    const f8 a1 = Splat(s.ax[Textured ? kUQ : kRQ]), r1 = Splat(sp.rowA[Textured ? kUQ : kRQ]);
    const f8 a2 = Splat(s.ax[Textured ? kVQ : kGQ]), r2 = Splat(sp.rowA[Textured ? kVQ : kGQ]);
    const f8 a3 = Splat(s.ax[kBQ]), r3 = Splat(sp.rowA[kBQ]);
    const RasterTexture* t = c.texture;
    const uint16_t* texels = Textured ? t->texels565 : nullptr;
    const f8 texW = Splat(sh.texW), texH = Splat(sh.texH);
    const i8 maskW = SplatI(Textured ? int32_t(t->width - 1) : 0);
    const i8 maskH = SplatI(Textured ? int32_t(t->height - 1) : 0);
    const int shiftW = Textured ? __builtin_ctz(t->width) : 0;
    const bool zWrite = st.zWrite;
    const i8 laneI = {0, 1, 2, 3, 4, 5, 6, 7};
    int32_t x = sp.x0;
    for (; x < sp.x1; x += 8) {
        // Lanes past the span keep what they read; past the row they would
        // touch another thread's row, so the generic path ends such a row.
        if (x + 8 > sp.rowEnd) break;
        f8 dx = (Splat(float(x)) + lane) - Splat(s.x0);
        f8 z = rz + ax * dx;
        i8 z16 = __builtin_convertvector(Min(Max(z * Splat(65535.0f) + Splat(0.5f), Splat(0.0f)), Splat(65535.0f)), i8);
        u16x8 stored16;
        std::memcpy(&stored16, sp.depth + x, 16);
        i8 stored = __builtin_convertvector(stored16, i8);
        i8 pass = (z16 <= stored) & (laneI < SplatI(sp.x1 - x));
        if (_mm256_movemask_ps(__m256(pass)) == 0) continue;
        if (zWrite) {
            u16x8 out = __builtin_convertvector(pass ? z16 : stored, u16x8);
            std::memcpy(sp.depth + x, &out, 16);
        }
        f8 w = Splat(1.0f) / (rq + aq * dx);
        i8 src;
        if constexpr (Textured) {
            f8 u = (r1 + a1 * dx) * w;
            f8 v = (r2 + a2 * dx) * w;
            i8 tx = FloorToInt8(u * texW) & maskW;
            i8 ty = FloorToInt8(v * texH) & maskH;
            i8 index = (ty << shiftW) | tx;
            // Eight plain loads (gathers are slow on some cores).
            src = i8(_mm256_setr_epi32(texels[index[0]], texels[index[1]], texels[index[2]],
                                       texels[index[3]], texels[index[4]], texels[index[5]],
                                       texels[index[6]], texels[index[7]]));
        } else {
            const float k = 1.0f / 255.0f;
            i8 r = Round8((r1 + a1 * dx) * w * Splat(k), 31.0f);
            i8 g = Round8((r2 + a2 * dx) * w * Splat(k), 63.0f);
            i8 b = Round8((r3 + a3 * dx) * w * Splat(k), 31.0f);
            src = (r << 11) | (g << 5) | b;
        }
        u16x8 old16;
        std::memcpy(&old16, sp.colour + x, 16);
        i8 old = __builtin_convertvector(old16, i8);
        if constexpr (Add) {
            i8 r = MinI((src >> 11) + (old >> 11), SplatI(31));
            i8 g = MinI(((src >> 5) & 63) + ((old >> 5) & 63), SplatI(63));
            i8 b = MinI((src & 31) + (old & 31), SplatI(31));
            src = (r << 11) | (g << 5) | b;
        }
        u16x8 out = __builtin_convertvector(pass ? src : old, u16x8);
        std::memcpy(sp.colour + x, &out, 16);
    }
    SpanGeneric(c, sh, sp, x);
}

using SpanFn = void (*)(const Context&, const Shader&, const Span&);

void SpanAll(const Context& c, const Shader& sh, const Span& sp) { SpanGeneric(c, sh, sp, sp.x0); }

SpanFn ChooseSpan(const Context& c, const Shader& sh) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const RasterState& st = *c.state;
    if (!avx2 || !detail::FastSpans() || !st.zEnable || st.zFunc != 4) return SpanAll;
    bool replace = !st.alphaBlend || (st.srcBlend == D3DBLEND_ONE && st.destBlend == D3DBLEND_ZERO);
    bool add = st.alphaBlend && st.srcBlend == D3DBLEND_ONE && st.destBlend == D3DBLEND_ONE;
    if (!replace && !add) return SpanAll;
    if (sh.fastTexel && sh.pow2W && sh.pow2H)
        return replace ? SpanFast<true, false> : SpanFast<true, true>;
    if (!sh.textured && sh.diffuse) return replace ? SpanFast<false, false> : SpanFast<false, true>;
    return SpanAll;
}

void RasterTriangle(const Context& c, const Shader& sh, SpanFn span, const Setup& s, int32_t bandFirst,
                    int32_t bandEnd) {
    const RasterTarget& tg = *c.target;
    const D3DVIEWPORT8& vp = tg.viewport;
    int32_t vx0 = int32_t(vp.X), vx1 = int32_t(vp.X + vp.Width);
    int32_t rowMid = int32_t(CeilDiv(s.yM, kSub));
    int32_t first = std::max(s.rowFirst, bandFirst), last = std::min(s.rowEnd, bandEnd);
    if (first >= last) return;

    EdgeWalk longEdge, shortEdge;
    longEdge.Start(s.xT, s.yT, s.xB, s.yB, first);
    bool upper = first < rowMid;
    if (upper)
        shortEdge.Start(s.xT, s.yT, s.xM, s.yM, first);
    else
        shortEdge.Start(s.xM, s.yM, s.xB, s.yB, first);

    Span sp;
    sp.s = &s;
    sp.rowEnd = int32_t(tg.colourPitch);
    for (int32_t y = first; y < last; ++y) {
        if (y == rowMid && upper) {
            shortEdge.Start(s.xM, s.yM, s.xB, s.yB, y);
            upper = false;
        }
        {
            int64_t left = s.longEdgeLeft ? longEdge.q : shortEdge.q;
            int64_t right = s.longEdgeLeft ? shortEdge.q : longEdge.q;
            sp.x0 = int32_t(std::max<int64_t>(left, vx0));
            sp.x1 = int32_t(std::min<int64_t>(right, vx1));
            if (sp.x0 < sp.x1) {
                sp.y = y;
                float dy = float(y) - s.y0;
                for (int k = 0; k < kAttrCount; ++k) sp.rowA[k] = s.a0[k] + s.ay[k] * dy;
                sp.colour = tg.colour + size_t(y) * tg.colourPitch;
                sp.depth = tg.depth ? tg.depth + size_t(y) * tg.depthPitch : nullptr;
                span(c, sh, sp);
            }
        }
        longEdge.Step();
        shortEdge.Step();
    }
}

// Scratch of a flush, guarded by drawMutex.
struct Chunk {
    uint32_t draw, begin, end;  // triangles [begin, end) of a draw
    std::vector<Setup> setups;
    std::vector<uint32_t> rows;  // rowFirst | rowEnd << 16 of each setup, for the band scan
};
struct Work {
    const Setup* setup;
    uint32_t draw;
};
struct {
    std::vector<Chunk> chunks;
    std::vector<Context> contexts;
    std::vector<Shader> shaders;
    std::vector<SpanFn> spans;
    std::vector<RasterQueue*> pending;  // queues holding draws
    std::vector<Work> work[kMaxThreads];  // one band's triangles, per thread
} scratch;

void Release(PendingDraw& d) {
    if (d.hold) d.hold->Release();
    d.hold = nullptr;
}

void FlushLocked(RasterQueue& q) {
    const size_t n = q.count;
    if (n == 0) return;
    scratch.contexts.assign(n, Context{});
    scratch.shaders.assign(n, Shader{});
    scratch.spans.assign(n, nullptr);
    size_t chunkCount = 0;
    uint32_t height = 0;
    for (size_t d = 0; d < n; ++d) {
        PendingDraw& draw = q.draws[d];
        Context& c = scratch.contexts[d];
        const RasterTexture* texture = draw.textured ? &draw.texture : nullptr;
        c.target = &draw.target;
        c.state = &draw.state;
        c.texture = texture;
        c.input = &draw.input;
        c.textured = texture != nullptr;
        c.diffuse = (draw.input.fvf & D3DFVF_DIFFUSE) || draw.state.lighting;
        c.halfW = float(draw.target.viewport.Width) * 0.5f;
        c.halfH = float(draw.target.viewport.Height) * 0.5f;
        c.zScale = draw.target.viewport.MaxZ - draw.target.viewport.MinZ;
        Shader& sh = scratch.shaders[d];
        sh.c = &c;
        sh.textured = c.textured;
        sh.diffuse = c.diffuse;
        sh.fastTexel = c.textured && !c.diffuse;
        sh.pow2W = texture && (texture->width & (texture->width - 1)) == 0;
        sh.pow2H = texture && (texture->height & (texture->height - 1)) == 0;
        sh.texW = texture ? float(texture->width) : 0.0f;
        sh.texH = texture ? float(texture->height) : 0.0f;
        scratch.spans[d] = ChooseSpan(c, sh);
        height = std::max(height, draw.target.height);
        for (uint32_t b = 0; b < draw.input.triangles; b += kChunkTriangles) {
            if (scratch.chunks.size() <= chunkCount) scratch.chunks.emplace_back();
            Chunk& k = scratch.chunks[chunkCount++];
            k.draw = uint32_t(d);
            k.begin = b;
            k.end = std::min(draw.input.triangles, b + kChunkTriangles);
            k.setups.clear();
            k.rows.clear();
        }
    }

    int threads = ThreadCount();
    ThePool().Run(threads, [&](int t) {
        for (size_t k = size_t(t); k < chunkCount; k += size_t(threads)) {
            Chunk& chunk = scratch.chunks[k];
            for (uint32_t i = chunk.begin; i < chunk.end; ++i)
                SetupTriangle(scratch.contexts[chunk.draw], i, chunk.setups);
            for (const Setup& st : chunk.setups)
                chunk.rows.push_back(uint32_t(st.rowFirst) | uint32_t(st.rowEnd) << 16);
        }
    });
    const int32_t bands = int32_t((height + kBandRows - 1) / kBandRows);
    ThePool().Run(threads, [&](int t) {
        std::vector<Work>& work = scratch.work[t];
        for (int32_t band = t; band < bands; band += threads) {
            uint32_t y0 = uint32_t(band * kBandRows), y1 = y0 + kBandRows;
            work.clear();
            for (size_t k = 0; k < chunkCount; ++k) {
                const Chunk& chunk = scratch.chunks[k];
                for (size_t i = 0; i < chunk.rows.size(); ++i) {
                    uint32_t r = chunk.rows[i];
                    if ((r & 0xFFFF) < y1 && (r >> 16) > y0) work.push_back({&chunk.setups[i], chunk.draw});
                }
            }
            for (size_t i = 0; i < work.size(); ++i) {
                if (i + 6 < work.size()) {
                    const char* next = reinterpret_cast<const char*>(work[i + 6].setup);
                    for (size_t b = 0; b < sizeof(Setup); b += 64) __builtin_prefetch(next + b);
                }
                uint32_t d = work[i].draw;
                RasterTriangle(scratch.contexts[d], scratch.shaders[d], scratch.spans[d], *work[i].setup,
                               int32_t(y0), int32_t(y1));
            }
        }
    });
    for (size_t d = 0; d < n; ++d) Release(q.draws[d]);
    q.count = 0;
    std::erase(scratch.pending, &q);
}

}  // namespace

void RasterEnqueue(RasterQueue& q, const RasterTarget& target, const RasterState& state,
                   Texture* texture, const RasterInput& input) {
    std::lock_guard<std::mutex> lock(drawMutex);
    if (q.count == 0) scratch.pending.push_back(&q);
    if (q.draws.size() <= q.count) q.draws.emplace_back();
    PendingDraw& d = q.draws[q.count++];
    d.target = target;
    d.state = state;
    d.textured = texture != nullptr;
    d.hold = texture;
    if (texture) {
        texture->AddRef();
        const Texture::Impl* t = texture->impl;
        d.texture.texels565 = t->texels565.data();
        d.texture.level0 = t->levels[0].bits.data();
        d.texture.format = t->format;
        d.texture.width = t->levels[0].width;
        d.texture.height = t->levels[0].height;
        d.texture.pitch = t->levels[0].pitch;
    }
    d.vertices.assign(input.vertices, input.vertices + size_t{input.triangles} * 3 * input.stride);
    d.input = input;
    d.input.vertices = d.vertices.data();
}

void RasterFlush(RasterQueue& q) {
    std::lock_guard<std::mutex> lock(drawMutex);
    FlushLocked(q);
}

void RasterDiscard(RasterQueue& q) {
    std::lock_guard<std::mutex> lock(drawMutex);
    for (size_t d = 0; d < q.count; ++d) Release(q.draws[d]);
    q.count = 0;
    std::erase(scratch.pending, &q);
}

void RasterFlushAll() {
    std::lock_guard<std::mutex> lock(drawMutex);
    while (!scratch.pending.empty()) FlushLocked(*scratch.pending.back());
}

}  // namespace d3d8
