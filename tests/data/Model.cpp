#include "tests/data/Model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace model {

std::string DataDir() {
    const char* dir = std::getenv("TESSARY_DATA");
    return dir ? std::string(dir) + "/" : std::string("data/");
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string CheckObject(const std::vector<uint8_t>& bytes, Object* out) {
    if (bytes.size() < sizeof(Object3D)) return "shorter than the 76-byte header";
    Object3D h;
    std::memcpy(&h, bytes.data(), sizeof h);
    if (h.totalSize < 0 || size_t(h.totalSize) != bytes.size())
        return "totalSize " + std::to_string(h.totalSize) + " but the file has " + std::to_string(bytes.size());
    if (h.vertexCount < 1) return "vertexCount " + std::to_string(h.vertexCount);
    if (h.faceCount < 0 || h.materialCount < 0) return "negative count";
    auto inside = [&](uint32_t offset, int64_t count, int64_t size) {
        return offset >= sizeof(Object3D) && int64_t(offset) + count * size <= int64_t(bytes.size());
    };
    if (!inside(h.vertices, h.vertexCount, 12)) return "vertex array outside the block";
    if (!inside(h.faces, h.faceCount, 40)) return "face array outside the block";
    if (!inside(h.materials, h.materialCount, 32)) return "material array outside the block";
    Object o;
    o.header = h;
    o.vertices.resize(size_t(h.vertexCount));
    o.faces.resize(size_t(h.faceCount));
    o.materials.resize(size_t(h.materialCount));
    std::memcpy(o.vertices.data(), bytes.data() + h.vertices, o.vertices.size() * 12);
    if (h.faceCount) std::memcpy(o.faces.data(), bytes.data() + h.faces, o.faces.size() * 40);
    if (h.materialCount) std::memcpy(o.materials.data(), bytes.data() + h.materials, o.materials.size() * 32);
    for (size_t i = 0; i < o.faces.size(); ++i) {
        const Face& f = o.faces[i];
        for (int32_t off : {f.offsetA, f.offsetB, f.offsetC})
            if (off < 0 || off % 12 != 0 || off >= 12 * h.vertexCount)
                return "face " + std::to_string(i) + " corner offset " + std::to_string(off);
        if (f.material < 0 || f.material >= h.materialCount)
            return "face " + std::to_string(i) + " material " + std::to_string(f.material);
    }
    if (out) *out = std::move(o);
    return "";
}

Object LoadObject(const std::string& file) {
    Object o;
    const std::string error = CheckObject(ReadFile(DataDir() + file), &o);
    EXPECT_EQ(error, "") << file;
    return o;
}

float Sine(int angle) {
    return float(std::sin(3.14159265358979323846 / 256.0 * double(angle & 511)));
}
static float Cosine(int angle) {
    return float(std::cos(3.14159265358979323846 / 256.0 * double(angle & 511)));
}

Rotation BuildRotation(int a, int b, int c) {
    const float sA = Sine(a), cA = Cosine(a), sB = Sine(b), cB = Cosine(b), sC = Sine(c), cC = Cosine(c);
    Rotation r;
    r.m[0][0] = cB * sA * sC - sB * cC;
    r.m[0][1] = sB * sC + cB * sA * cC;
    r.m[0][2] = cB * cA;
    r.m[1][0] = cA * sC;
    r.m[1][1] = cA * cC;
    r.m[1][2] = -sA;
    r.m[2][0] = cB * cC + sB * sA * sC;
    r.m[2][1] = sB * sA * cC - cB * sC;
    r.m[2][2] = sB * cA;
    return r;
}

P3 Transform(const Rotation& r, P3 p, int tx, int ty, int tz) {
    return {(r.m[0][0] * p.x + (r.m[0][1] * p.y + r.m[0][2] * p.z)) + float(tx),
            (r.m[1][0] * p.x + (r.m[1][1] * p.y + r.m[1][2] * p.z)) + float(ty),
            (r.m[2][0] * p.x + (r.m[2][1] * p.y + r.m[2][2] * p.z)) + float(tz)};
}

std::vector<Placed> Place(const std::vector<Vertex>& vertices, const std::vector<Face>& faces, int tx, int ty,
                          int tz, int a, int b, int c) {
    const Rotation r = BuildRotation(a, b, c);
    std::vector<P3> placed;
    placed.reserve(vertices.size());
    for (const Vertex& v : vertices) placed.push_back(Transform(r, {v.x, v.y, v.z}, tx, ty, tz));
    std::vector<Placed> out;
    out.reserve(faces.size());
    for (const Face& f : faces)
        out.push_back({placed[size_t(f.offsetA / 12)], placed[size_t(f.offsetB / 12)], placed[size_t(f.offsetC / 12)],
                       f.uA, f.vA, f.uB, f.vB, f.uC, f.vC, f.material});
    return out;
}

std::vector<Placed> Place(const Object& o, int tx, int ty, int tz, int a, int b, int c) {
    return Place(o.vertices, o.faces, tx, ty, tz, a, b, c);
}

Object Box(float hh, float hw, float hd) {
    Object o;
    for (int i = 0; i < 8; ++i) {
        const float x = (i & 1) ? hw : -hw, y = (i & 2) ? -hh : hh, z = (i & 4) ? hd : -hd;
        o.vertices.push_back({x, y, z});
    }
    const int corners[12][3] = {{0, 1, 3}, {0, 3, 2}, {1, 5, 7}, {1, 7, 3}, {4, 0, 2}, {4, 2, 6},
                                {5, 4, 6}, {5, 6, 7}, {2, 3, 7}, {2, 7, 6}, {4, 5, 1}, {4, 1, 0}};
    for (int i = 0; i < 12; ++i) {
        Face f{};
        f.offsetA = corners[i][0] * 12;
        f.offsetB = corners[i][1] * 12;
        f.offsetC = corners[i][2] * 12;
        if (i % 2 == 0) {
            f.uA = 0, f.vA = 1, f.uB = 1, f.vB = 1, f.uC = 1, f.vC = 0;
        } else {
            f.uA = 0, f.vA = 1, f.uB = 1, f.vB = 0, f.uC = 0, f.vC = 0;
        }
        o.faces.push_back(f);
    }
    Material m{};
    m.coloured = 1;
    o.materials.push_back(m);
    o.header.totalSize = 684;
    o.header.vertexCount = 8;
    o.header.faceCount = 12;
    o.header.materialCount = 1;
    return o;
}

namespace {

P3 Sub(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 Add(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P3 Mul(P3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
double Dot(P3 a, P3 b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }
P3 Cross(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
const P3 kCamera{0, 0, -10};

// The face's polygon clipped to the near plane, projected.
std::vector<S2> ClipProject(const Placed& f) {
    const P3 in[3] = {f.a, f.b, f.c};
    std::vector<P3> poly;
    for (int i = 0; i < 3; ++i) {
        const P3 p = in[i], q = in[(i + 1) % 3];
        const float wp = p.z + 10, wq = q.z + 10;
        if (wp >= kNear) poly.push_back(p);
        if ((wp >= kNear) != (wq >= kNear)) {
            const float t = (kNear - wp) / (wq - wp);
            poly.push_back(Add(p, Mul(Sub(q, p), t)));
        }
    }
    std::vector<S2> out;
    for (const P3& p : poly) out.push_back(Project(p));
    return out;
}

float Cross2(S2 a, S2 b, S2 c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

}  // namespace

S2 Project(P3 p) {
    const float w = p.z + 10;
    return {320.0f * (1.0f + 1.5f * p.x / w), 240.0f * (1.0f - 2.0f * p.y / w)};
}

bool Survives(const Placed& f) {
    const P3 n = Cross(Sub(f.b, f.a), Sub(f.c, f.a));
    const P3 centre = Mul(Add(Add(f.a, f.b), f.c), 1.0f / 3.0f);
    return Dot(n, Sub(centre, kCamera)) > 0;
}

std::optional<bool> SurvivesOnScreen(const Placed& f) {
    if (f.a.z + 10 < kNear || f.b.z + 10 < kNear || f.c.z + 10 < kNear) return std::nullopt;
    // Clockwise on a y-down screen has a positive cross product: culled.
    return Cross2(Project(f.a), Project(f.b), Project(f.c)) < 0;
}

float Coverage(const std::vector<Placed>& faces, int gw, int gh) {
    std::vector<uint8_t> hit(size_t(gw) * gh, 0);
    for (const Placed& f : faces) {
        if (!Survives(f)) continue;
        const std::vector<S2> poly = ClipProject(f);
        if (poly.size() < 3) continue;
        for (size_t k = 1; k + 1 < poly.size(); ++k) {
            const S2 a = poly[0], b = poly[k], c = poly[k + 1];
            const float area = Cross2(a, b, c);
            if (area == 0) continue;
            const float x0 = std::min({a.x, b.x, c.x}), x1 = std::max({a.x, b.x, c.x});
            const float y0 = std::min({a.y, b.y, c.y}), y1 = std::max({a.y, b.y, c.y});
            const int i0 = std::max(0, int(std::floor(x0 / 640.0f * gw - 0.5f)));
            const int i1 = std::min(gw - 1, int(std::ceil(x1 / 640.0f * gw)));
            const int j0 = std::max(0, int(std::floor(y0 / 480.0f * gh - 0.5f)));
            const int j1 = std::min(gh - 1, int(std::ceil(y1 / 480.0f * gh)));
            for (int j = j0; j <= j1; ++j)
                for (int i = i0; i <= i1; ++i) {
                    const S2 p{(float(i) + 0.5f) * 640.0f / gw, (float(j) + 0.5f) * 480.0f / gh};
                    const float e0 = Cross2(a, b, p), e1 = Cross2(b, c, p), e2 = Cross2(c, a, p);
                    if ((area > 0 && e0 >= 0 && e1 >= 0 && e2 >= 0) || (area < 0 && e0 <= 0 && e1 <= 0 && e2 <= 0))
                        hit[size_t(j) * gw + i] = 1;
                }
        }
    }
    size_t n = 0;
    for (uint8_t h : hit) n += h;
    return float(n) / float(hit.size());
}

Holes SeeThrough(const std::vector<Placed>& faces, int gw, int gh) {
    Holes h;
    for (int j = 0; j < gh; ++j)
        for (int i = 0; i < gw; ++i) {
            ++h.samples;
            const float ndcX = ((float(i) + 0.5f) / gw) * 2 - 1, ndcY = 1 - ((float(j) + 0.5f) / gh) * 2;
            const P3 dir{ndcX / 1.5f, ndcY / 2.0f, 1.0f};
            double best = 1e30;
            const Placed* nearest = nullptr;
            for (const Placed& f : faces) {
                // Moller-Trumbore, double-sided.
                const P3 e1 = Sub(f.b, f.a), e2 = Sub(f.c, f.a);
                const P3 pv = Cross(dir, e2);
                const double det = Dot(e1, pv);
                if (std::fabs(det) < 1e-12) continue;
                const P3 tv = Sub(kCamera, f.a);
                const double u = Dot(tv, pv) / det;
                if (u < 0 || u > 1) continue;
                const P3 qv = Cross(tv, e1);
                const double v = Dot(dir, qv) / det;
                if (v < 0 || u + v > 1) continue;
                const double t = Dot(e2, qv) / det;
                if (t <= kNear) continue;
                // Faces that coincide (two-sided sheets) tie: the drawn one wins,
                // as the depth test lets the one that survives culling show.
                const bool tie = nearest && std::fabs(t - best) <= 1e-4 * best;
                if ((t < best && !tie) || (tie && Survives(f) && !Survives(*nearest))) {
                    best = std::min(best, t);
                    nearest = &f;
                }
            }
            if (!nearest) continue;
            ++h.hits;
            if (!Survives(*nearest)) ++h.holes;
        }
    return h;
}

TexAxes TextureAxes(const Placed& f) {
    const S2 a = Project(f.a), b = Project(f.b), c = Project(f.c);
    const float det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    auto grad = [&](float qa, float qb, float qc, float& dx, float& dy) {
        dx = ((qb - qa) * (c.y - a.y) - (qc - qa) * (b.y - a.y)) / det;
        dy = ((qc - qa) * (b.x - a.x) - (qb - qa) * (c.x - a.x)) / det;
    };
    TexAxes t{};
    grad(f.ua, f.ub, f.uc, t.dudx, t.dudy);
    grad(f.va, f.vb, f.vc, t.dvdx, t.dvdy);
    return t;
}

float CameraDistance(const std::vector<Placed>& faces) {
    // Closest point on each triangle (Ericson, Real-Time Collision Detection 5.1.5).
    double best = 1e30;
    for (const Placed& f : faces) {
        const P3 a = f.a, b = f.b, c = f.c, p = kCamera;
        const P3 ab = Sub(b, a), ac = Sub(c, a), ap = Sub(p, a);
        const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
        P3 q;
        if (d1 <= 0 && d2 <= 0) {
            q = a;
        } else {
            const P3 bp = Sub(p, b);
            const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
            const P3 cp = Sub(p, c);
            const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
            const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
            if (d3 >= 0 && d4 <= d3)
                q = b;
            else if (d6 >= 0 && d5 <= d6)
                q = c;
            else if (vc <= 0 && d1 >= 0 && d3 <= 0)
                q = Add(a, Mul(ab, float(d1 / (d1 - d3))));
            else if (vb <= 0 && d2 >= 0 && d6 <= 0)
                q = Add(a, Mul(ac, float(d2 / (d2 - d6))));
            else if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
                q = Add(b, Mul(Sub(c, b), float((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
            else {
                const double denom = 1.0 / (va + vb + vc);
                q = Add(a, Add(Mul(ab, float(vb * denom)), Mul(ac, float(vc * denom))));
            }
        }
        const P3 d = Sub(p, q);
        best = std::min(best, std::sqrt(Dot(d, d)));
    }
    return float(best);
}

Box2 ScreenBounds(const std::vector<Placed>& faces) {
    Box2 b;
    for (const Placed& f : faces)
        for (const P3& p : {f.a, f.b, f.c}) {
            const S2 s = Project(p);
            b.x0 = std::min(b.x0, s.x);
            b.x1 = std::max(b.x1, s.x);
            b.y0 = std::min(b.y0, s.y);
            b.y1 = std::max(b.y1, s.y);
        }
    return b;
}

}  // namespace model
