// The software rasterizer against hand-worked pictures: coverage and the fill
// rule, culling, depth, clipping at the near plane, blending, sampling and
// perspective, the camera's projection, and independence of the thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/d3d8/rig.h"

using rig::Coloured;
using rig::Rgb565;
using rig::Rig;
using rig::Textured;

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;

struct P {
    double x, y;
};

// Independent coverage reference: edge functions on 1/256-pixel corners with
// the top-left rule, for a triangle of either winding.
std::vector<int> ReferenceCoverage(uint32_t w, uint32_t h, P a, P b, P c) {
    auto fx = [](double v) { return int64_t(std::llround(v * 256.0)); };
    int64_t x[3] = {fx(a.x), fx(b.x), fx(c.x)}, y[3] = {fx(a.y), fx(b.y), fx(c.y)};
    int64_t s = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    std::vector<int> out(size_t{w} * h, 0);
    if (s == 0) return out;
    if (s < 0) {
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
    }
    for (uint32_t py = 0; py < h; ++py)
        for (uint32_t px = 0; px < w; ++px) {
            bool in = true;
            for (int e = 0; e < 3 && in; ++e) {
                int64_t ax = x[e], ay = y[e], bx = x[(e + 1) % 3], by = y[(e + 1) % 3];
                int64_t dx = bx - ax, dy = by - ay;
                int64_t E = dx * (int64_t(py) * 256 - ay) - dy * (int64_t(px) * 256 - ax);
                bool topLeft = dy < 0 || (dy == 0 && dx > 0);
                in = E > 0 || (E == 0 && topLeft);
            }
            out[py * w + px] = in;
        }
    return out;
}

// Screen winding of three pixel-space corners: >0 clockwise (y down).
double Winding(P a, P b, P c) { return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y); }

std::vector<Coloured> Tri(P a, P b, P c, uint32_t colour, float z = 0.5f) {
    return {{float(a.x), float(a.y), z, colour}, {float(b.x), float(b.y), z, colour},
            {float(c.x), float(c.y), z, colour}};
}

// Orders the corners counter-clockwise on screen, so CULLMODE CW keeps them.
std::vector<Coloured> CcwTri(P a, P b, P c, uint32_t colour, float z = 0.5f) {
    if (Winding(a, b, c) > 0) std::swap(b, c);
    return Tri(a, b, c, colour, z);
}

}  // namespace

TEST(Raster, TriangleCoverageFollowsTheTopLeftRule) {
    // Corners on pixel centres: the left edge x = 1 and the top edge y = 1 are
    // in, the hypotenuse x + y = 10 (a right edge) is out: 8 + 7 + ... + 1.
    Rig r(16, 16, true);
    r.Draw(CcwTri({1, 1}, {9, 1}, {1, 9}, kWhite));
    std::vector<uint16_t> px = r.Pixels();
    int count = 0;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            bool in = x >= 1 && y >= 1 && x + y <= 9;
            EXPECT_EQ(px[y * 16 + x], in ? 0xFFFF : 0) << x << "," << y;
            count += px[y * 16 + x] != 0;
        }
    EXPECT_EQ(count, 36);

    // The documented example: a rectangle from (0,0) to (5,5) covers 25 pixels.
    Rig q(8, 8, true);
    std::vector<Coloured> rect = CcwTri({0, 0}, {5, 0}, {5, 5}, kWhite);
    std::vector<Coloured> second = CcwTri({0, 0}, {5, 5}, {0, 5}, kWhite);
    rect.insert(rect.end(), second.begin(), second.end());
    q.Draw(rect);
    int lit = 0;
    for (uint16_t p : q.Pixels()) lit += p != 0;
    EXPECT_EQ(lit, 25);
}

TEST(Raster, CoverageMatchesTheEdgeFunctionReference) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> coord(-8 * 256, 40 * 256);  // partly off the 32x32 target
    Rig r(32, 32, true);
    for (int i = 0; i < 60; ++i) {
        P p[3];
        for (P& v : p) v = {coord(rng) / 256.0, coord(rng) / 256.0};
        if (i % 3 == 0) p[1].y = p[0].y;  // flat edges matter for the rule
        if (Winding(p[0], p[1], p[2]) == 0) continue;
        r.Clear(0);
        r.Draw(CcwTri(p[0], p[1], p[2], kWhite));
        std::vector<int> expect = ReferenceCoverage(32, 32, p[0], p[1], p[2]);
        std::vector<uint16_t> got = r.Pixels();
        int wrong = 0;
        for (size_t k = 0; k < got.size(); ++k) wrong += (got[k] != 0) != (expect[k] != 0);
        EXPECT_EQ(wrong, 0) << "triangle " << i << ": (" << p[0].x << "," << p[0].y << ") (" << p[1].x
                            << "," << p[1].y << ") (" << p[2].x << "," << p[2].y << ")";
    }
}

TEST(Raster, TrianglesSharingEdgesCoverEveryPixelOnce) {
    // A fan around an off-grid centre and a quad cut along its diagonal, drawn
    // additively with a colour adding 1 to blue: every pixel must read 0 or 1.
    const uint32_t one = 0x00000008;  // blue 8/255 rounds to 1/31
    Rig r(48, 48, true);
    std::vector<Coloured> all;
    P centre{23.37, 21.81};
    const int spokes = 13;
    for (int i = 0; i < spokes; ++i) {
        double a0 = 2 * M_PI * i / spokes, a1 = 2 * M_PI * (i + 1) / spokes;
        P p0{centre.x + 20 * std::cos(a0), centre.y + 20 * std::sin(a0)};
        P p1{centre.x + 20 * std::cos(a1), centre.y + 20 * std::sin(a1)};
        // snapped to 1/256 so both neighbours see exactly the same corner
        p0 = {std::round(p0.x * 256) / 256, std::round(p0.y * 256) / 256};
        p1 = {std::round(p1.x * 256) / 256, std::round(p1.y * 256) / 256};
        std::vector<Coloured> t = CcwTri(centre, p0, p1, one);
        all.insert(all.end(), t.begin(), t.end());
    }
    r.Draw(all, true);
    std::vector<uint16_t> px = r.Pixels();
    for (size_t k = 0; k < px.size(); ++k) EXPECT_LE(px[k], 1) << "pixel " << k % 48 << "," << k / 48;
    // No hole near the centre, where all spokes meet.
    for (int y = 15; y < 28; ++y)
        for (int x = 17; x < 30; ++x) EXPECT_EQ(px[y * 48 + x], 1) << x << "," << y;

    r.Clear(0);
    P a{2.3, 3.9}, b{40.6, 1.2}, c{45.1, 44.7}, d{5.5, 41.02};
    std::vector<Coloured> quad = CcwTri(a, b, c, one);
    std::vector<Coloured> other = CcwTri(a, c, d, one);
    quad.insert(quad.end(), other.begin(), other.end());
    r.Draw(quad, true);
    px = r.Pixels();
    std::vector<int> e1 = ReferenceCoverage(48, 48, a, b, c), e2 = ReferenceCoverage(48, 48, a, c, d);
    for (size_t k = 0; k < px.size(); ++k) {
        EXPECT_EQ(e1[k] + e2[k] <= 1, true);
        EXPECT_EQ(px[k], e1[k] + e2[k]) << "pixel " << k % 48 << "," << k / 48;
    }
}

TEST(Raster, CullModeDecidesByScreenWinding) {
    P a{1, 1}, b{9, 1}, c{1, 9};  // a -> b -> c is clockwise on screen
    struct Case {
        uint32_t cull;
        bool cwDrawn, ccwDrawn;
    } cases[] = {{d3d8::D3DCULL_CW, false, true},
                 {d3d8::D3DCULL_CCW, true, false},
                 {d3d8::D3DCULL_NONE, true, true}};
    for (const Case& k : cases) {
        Rig r(16, 16, true);
        r.device()->SetRenderState(d3d8::D3DRS_CULLMODE, k.cull);
        r.Draw(Tri(a, b, c, kWhite));
        EXPECT_EQ(r.Pixel(2, 2) != 0, k.cwDrawn) << "cull " << k.cull;
        r.Clear(0);
        r.Draw(Tri(a, c, b, kWhite));
        EXPECT_EQ(r.Pixel(2, 2) != 0, k.ccwDrawn) << "cull " << k.cull;
    }
}

TEST(Raster, DepthTestIsLessOrEqualWithWrites) {
    Rig r(16, 16, true);
    const uint16_t red = Rgb565(31, 0, 0), green = Rgb565(0, 63, 0), blue = Rgb565(0, 0, 31);
    P a{0, 0}, b{16, 0}, c{0, 16};
    r.Draw(CcwTri(a, b, c, 0x00FF0000, 0.25f));  // red near
    r.Draw(CcwTri(a, b, c, 0x0000FF00, 0.75f));  // green behind: rejected
    EXPECT_EQ(r.Pixel(3, 3), red);
    EXPECT_EQ(r.Depth(3, 3), uint16_t(0.25f * 65535 + 0.5f));
    r.Draw(CcwTri(a, b, c, 0x000000FF, 0.25f));  // blue at equal depth: passes
    EXPECT_EQ(r.Pixel(3, 3), blue);
    r.Draw(CcwTri(a, b, c, 0x0000FF00, 0.1f));  // green nearer: passes, writes
    EXPECT_EQ(r.Pixel(3, 3), green);
    EXPECT_EQ(r.Depth(3, 3), uint16_t(0.1f * 65535 + 0.5f));
    // Depth writes off: the nearer triangle draws but leaves the depth alone.
    r.device()->SetRenderState(d3d8::D3DRS_ZWRITEENABLE, 0);
    r.Draw(CcwTri(a, b, c, 0x00FF0000, 0.05f));
    EXPECT_EQ(r.Pixel(3, 3), red);
    EXPECT_EQ(r.Depth(3, 3), uint16_t(0.1f * 65535 + 0.5f));
}

TEST(Raster, ClearGivesBlackAndFarthestDepth) {
    Rig r(16, 16, true);
    r.Draw(CcwTri({0, 0}, {16, 0}, {0, 16}, kWhite, 0.3f));
    r.Clear(0, 1.0f);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            EXPECT_EQ(r.Pixel(x, y), 0);
            EXPECT_EQ(r.Depth(x, y), 0xFFFF);
        }
    // Depth 1.0 still accepts a triangle at 1.0 (less or equal).
    r.Draw(CcwTri({0, 0}, {16, 0}, {0, 16}, kWhite, 1.0f));
    EXPECT_EQ(r.Pixel(1, 1), 0xFFFF);
}

TEST(Raster, AdditiveBlendingSaturatesEachChannel) {
    Rig r(8, 8, true);
    // Background (20, 40, 30); adding (20, 10, 5) gives (31, 50, 31).
    r.Clear((uint32_t(20 * 255 / 31 + 1) << 16) | (uint32_t(40 * 255 / 63 + 1) << 8) |
            uint32_t(30 * 255 / 31 + 1));
    ASSERT_EQ(r.Pixel(0, 0), Rgb565(20, 40, 30));
    uint32_t src = (uint32_t(20 * 255 / 31 + 1) << 16) | (uint32_t(10 * 255 / 63 + 1) << 8) |
                   uint32_t(5 * 255 / 31 + 1);
    r.Draw(CcwTri({0, 0}, {8, 0}, {0, 8}, src), true);
    EXPECT_EQ(r.Pixel(1, 1), Rgb565(31, 50, 31));
    // Off: the colour replaces what was there.
    r.Draw(CcwTri({0, 0}, {8, 0}, {0, 8}, src, 0.2f), false);
    EXPECT_EQ(r.Pixel(1, 1), Rgb565(20, 10, 5));
}

TEST(Raster, GouraudColoursAreInterpolatedAndRounded) {
    Rig r(8, 1, true);
    // Red from 0 at x = -0.5 to 255 at x = 7.5: pixel x gets (x + 0.5) * 255 / 8.
    std::vector<Coloured> v = {{-0.5f, -1, 0.5f, 0}, {7.5f, -1, 0.5f, 0x00FF0000}, {-0.5f, 3, 0.5f, 0},
                               {7.5f, -1, 0.5f, 0x00FF0000}, {7.5f, 3, 0.5f, 0x00FF0000},
                               {-0.5f, 3, 0.5f, 0}};
    for (size_t i = 0; i < v.size(); i += 3)
        if (Winding({v[i].x, v[i].y}, {v[i + 1].x, v[i + 1].y}, {v[i + 2].x, v[i + 2].y}) > 0)
            std::swap(v[i + 1], v[i + 2]);
    r.Draw(v);
    for (uint32_t x = 0; x < 8; ++x) {
        double red = (x + 0.5) * 255.0 / 8.0;
        uint32_t r5 = uint32_t(std::floor(red / 255.0 * 31 + 0.5));
        EXPECT_EQ(r.Pixel(x, 0), Rgb565(r5, 0, 0)) << x;
    }
}

TEST(Raster, WhiteComesFromNoDiffuseNoTextureAndLightingMakesBlack) {
    Rig r(8, 8, true);
    std::vector<Textured> t = {{0, 0, 0.5f, 0, 0}, {0, 8, 0.5f, 0, 1}, {8, 0, 0.5f, 1, 0}};
    r.Draw(t, false, nullptr);
    EXPECT_EQ(r.Pixel(1, 1), 0xFFFF) << "no texture reads as white";
    r.Clear(0x00FF00FF);
    r.device()->SetRenderState(d3d8::D3DRS_LIGHTING, 1);
    r.Draw(t, false, nullptr);
    EXPECT_EQ(r.Pixel(1, 1), 0) << "lit vertices without normals are black";
}

TEST(Raster, PointSamplingPicksFloorOfUTimesWidthAndWraps) {
    Rig r(16, 4, true);
    std::vector<uint16_t> texels(4 * 2);
    for (uint32_t i = 0; i < 8; ++i) texels[i] = uint16_t(0x1000 + i);  // texel (x, y) = 0x1000 + 4y + x
    d3d8::Texture* tex = r.MakeTexture(4, 2, texels);
    // u runs from -1.25 to 2.75 across 16 pixels, v from 0.3 to 0.7 over 4
    // rows (rows 0..1 read texel row 0, rows 2..3 row 1).
    struct Corner {
        float x, y, u, v;
    } c[4] = {{-0.5f, -0.5f, -1.25f, 0.3f}, {15.5f, -0.5f, 2.75f, 0.3f}, {15.5f, 3.5f, 2.75f, 0.7f},
              {-0.5f, 3.5f, -1.25f, 0.7f}};
    auto V = [&](int i) { return Textured{c[i].x, c[i].y, 0.5f, c[i].u, c[i].v}; };
    // Both triangles counter-clockwise on screen.
    r.Draw(std::vector<Textured>{V(0), V(3), V(1), V(1), V(3), V(2)}, false, tex);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            double u = -1.25 + (x + 0.5) * 4.0 / 16.0;
            double v = 0.3 + (y + 0.5) * 0.4 / 4.0;
            int tx = ((int(std::floor(u * 4)) % 4) + 4) % 4;
            int ty = ((int(std::floor(v * 2)) % 2) + 2) % 2;
            EXPECT_EQ(r.Pixel(x, y), 0x1000 + 4 * ty + tx) << x << "," << y << " u " << u;
        }
    tex->Release();
}

TEST(Raster, TexturesAreSampledPerspectiveCorrectly) {
    // A floor y = -4 from z = 0 to z = 90 seen by the camera; v runs 0..1 from
    // near to far across a 1 x 64 texture whose row i reads i. Affine
    // interpolation would pick rows far off.
    Rig r(640, 480, false);
    std::vector<uint16_t> texels(64);
    for (uint32_t i = 0; i < 64; ++i) texels[i] = uint16_t(i);
    d3d8::Texture* tex = r.MakeTexture(1, 64, texels);
    const float y = -4, z0 = 0, z1 = 90, x = 60;
    Textured n0{-x, y, z0, 0, 0}, n1{x, y, z0, 1, 0}, f0{-x, y, z1, 0, 1}, f1{x, y, z1, 1, 1};
    r.Draw(std::vector<Textured>{n0, n1, f0, n1, f1, f0}, false, tex);
    int checked = 0;
    for (uint32_t py = 250; py < 480; py += 7) {
        // The ray through row py meets the floor at w = 2 * -y / ((py - 240) / 240).
        double ndcY = 1.0 - py / 240.0;
        double w = 2.0 * y / ndcY;  // camera-space depth
        double z = w - 10.0;
        if (z < z0 || z > z1) continue;
        double v = (z - z0) / (z1 - z0);
        double row = v * 64;
        if (std::fabs(row - std::round(row)) < 0.02) continue;  // too near a texel edge
        EXPECT_EQ(r.Pixel(320, py), uint16_t(std::floor(row))) << "row " << py;
        ++checked;
    }
    EXPECT_GT(checked, 20);
    tex->Release();
}

TEST(Raster, TheCameraProjectsAsDocumented) {
    Rig r(640, 480, false);
    r.device()->SetRenderState(d3d8::D3DRS_CULLMODE, d3d8::D3DCULL_NONE);
    // (3, 4, 20): w = 30, NDC (0.15, 4/15), screen (368, 176), depth 29/30. A
    // triangle smaller than a pixel around it lights exactly that pixel.
    const float e = 0.02f;  // 1 pixel is 0.0625 at w = 30
    r.Draw(std::vector<Coloured>{{3 - e, 4 + e, 20, kWhite}, {3 + e, 4 + e, 20, kWhite}, {3, 4 - e, 20, kWhite}});
    std::vector<uint16_t> px = r.Pixels();
    for (uint32_t k = 0; k < px.size(); ++k)
        EXPECT_EQ(px[k] != 0, k == 176 * 640 + 368) << "pixel " << k % 640 << "," << k / 640;
    EXPECT_NEAR(r.Depth(368, 176) / 65535.0, 29.0 / 30.0, 1.0 / 65535);

    // z = -9 lies on the near plane (depth 0), z = -8 at depth one half.
    struct Case {
        float z;
        uint16_t depth;
    } cases[] = {{-9.0f, 0}, {-8.0f, 32768}};
    for (const Case& c : cases) {
        r.Clear(0);
        r.Draw(std::vector<Coloured>{{-1, -1, c.z, kWhite}, {1, -1, c.z, kWhite}, {0, 1, c.z, kWhite}});
        EXPECT_NE(r.Pixel(320, 240), 0) << "z " << c.z;
        EXPECT_EQ(r.Depth(320, 240), c.depth) << "z " << c.z;
    }
}

TEST(Raster, TrianglesCrossingTheNearPlaneAreClippedNotLost) {
    // A floor y = -2 from behind the camera (z = -30) to z = 100, wider than
    // the view: everything below its far edge's row must be covered, nothing
    // above. Its far edge (w = 110) projects to y = 240 + 960 / 110 = 248.7.
    Rig r(640, 480, false);
    const float y = -2;
    Coloured a{-400, y, -30, kWhite}, b{400, y, -30, kWhite}, c{-400, y, 100, kWhite},
        d{400, y, 100, kWhite};
    r.Draw(std::vector<Coloured>{a, b, c, b, d, c});
    std::vector<uint16_t> px = r.Pixels();
    int wrong = 0;
    for (uint32_t py = 0; py < 480; ++py)
        for (uint32_t x = 0; x < 640; ++x) wrong += (px[py * 640 + x] != 0) != (py >= 249);
    EXPECT_EQ(wrong, 0);
    // The bottom row is near the camera: w = 960 / 239 + ... small depth.
    double w = 2.0 * -y / (479 / 240.0 - 1.0);
    EXPECT_NEAR(r.Depth(320, 479) / 65535.0, (w - 1) / w, 2.0 / 65535);
}

// A busy scene of textured and coloured triangles, opaque and additive, with
// near-plane crossings and overdraw, rendered into a fresh rig.
std::vector<uint16_t> BusyScene(uint32_t w, uint32_t h) {
    Rig r(w, h, false);
    std::vector<uint16_t> texels(64 * 32);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint16_t(i * 2654435761u >> 7);
    d3d8::Texture* tex = r.MakeTexture(64, 32, texels);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> xy(-14, 14), zz(-14, 40), uv(-2, 3);
    std::uniform_int_distribution<uint32_t> colour(0, 0xFFFFFF);
    for (int pass = 0; pass < 4; ++pass) {
        r.device()->SetRenderState(d3d8::D3DRS_CULLMODE, pass == 1 ? d3d8::D3DCULL_NONE : d3d8::D3DCULL_CW);
        if (pass % 2 == 0) {
            std::vector<Textured> v;
            for (int i = 0; i < 240; ++i) v.push_back({xy(rng), xy(rng), zz(rng), uv(rng), uv(rng)});
            r.Draw(v, pass == 2, tex);
        } else {
            std::vector<Coloured> v;
            for (int i = 0; i < 240; ++i) v.push_back({xy(rng), xy(rng), zz(rng), colour(rng)});
            r.Draw(v, pass == 3);
        }
    }
    tex->Release();
    return r.Pixels();
}

TEST(Raster, SpansAndThePerPixelPathGiveTheSamePicture) {
    std::vector<uint16_t> fast = BusyScene(200, 120);
    d3d8::testing::SetFastSpans(false);
    std::vector<uint16_t> slow = BusyScene(200, 120);
    d3d8::testing::SetFastSpans(true);
    int lit = 0, differ = 0;
    for (size_t i = 0; i < fast.size(); ++i) {
        lit += fast[i] != 0;
        differ += fast[i] != slow[i];
    }
    EXPECT_GT(lit, 10000);
    EXPECT_EQ(differ, 0);
}

TEST(Raster, ThePictureDoesNotDependOnTheThreadCount) {
    std::vector<uint16_t> first;
    for (int threads : {1, 2, 3, 8}) {
        d3d8::testing::SetRasterThreads(threads);
        std::vector<uint16_t> picture = BusyScene(200, 120);
        if (first.empty())
            first = picture;
        else
            EXPECT_EQ(picture, first) << threads << " threads";
    }
    d3d8::testing::SetRasterThreads(0);
}

TEST(Raster, DrawsUseTheTexelsTheyWereGivenAndDeviceReleaseDropsPendingWork) {
    // Draws are rasterised when the picture is needed; changing a texture
    // after a draw must not change what that draw shows.
    Rig r(8, 8, true);
    d3d8::Texture* tex = r.MakeTexture(1, 1, {Rgb565(31, 0, 0)});
    std::vector<Textured> quad = {{0, 0, 0.5f, 0.5f, 0.5f}, {0, 8, 0.5f, 0.5f, 0.5f}, {8, 0, 0.5f, 0.5f, 0.5f}};
    r.Draw(quad, false, tex);
    d3d8::D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), 0);
    *static_cast<uint16_t*>(lr.pBits) = Rgb565(0, 0, 31);
    tex->UnlockRect(0);
    EXPECT_EQ(r.Pixel(1, 1), Rgb565(31, 0, 0));
    r.Clear(0);
    r.Draw(quad, false, tex);
    EXPECT_EQ(r.Pixel(1, 1), Rgb565(0, 0, 31));
    // A draw still pending when the device goes is dropped without leaks.
    r.Draw(quad, false, tex);
    tex->Release();
}
