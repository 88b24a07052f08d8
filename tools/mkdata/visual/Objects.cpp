#include "tools/mkdata/visual/Objects.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/mkdata/visual/Image.h"

namespace mkdata {
namespace {

constexpr float kPi = 3.14159265358979f;

struct V3 {
    float x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Normalise(V3 a) {
    const float l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0f / l) : a;
}

struct Uv {
    float u = 0, v = 0;
};

class Mesh {
public:
    int Add(V3 p) {
        obj_.vertices.push_back({p.x, p.y, p.z});
        return int(obj_.vertices.size()) - 1;
    }
    V3 P(int i) const {
        const Vertex& v = obj_.vertices[size_t(i)];
        return {v.x, v.y, v.z};
    }
    // One face whose normal points along `towards` (the winding is swapped if needed).
    void Tri(int a, int b, int c, Uv ua, Uv ub, Uv uc, V3 towards, int material = 0) {
        const V3 n = Cross(P(b) - P(a), P(c) - P(a));
        if (Dot(n, towards) < 0) {
            std::swap(b, c);
            std::swap(ub, uc);
        }
        Face f{};
        f.offsetA = a * 12;
        f.offsetB = b * 12;
        f.offsetC = c * 12;
        f.uA = ua.u;
        f.vA = ua.v;
        f.uB = ub.u;
        f.vB = ub.v;
        f.uC = uc.u;
        f.vC = uc.v;
        f.material = material;
        obj_.faces.push_back(f);
    }
    // Quad a-b-c-d (in order around its edge) as two faces.
    void Quad(int a, int b, int c, int d, Uv ua, Uv ub, Uv uc, Uv ud, V3 towards, int material = 0) {
        Tri(a, b, c, ua, ub, uc, towards, material);
        Tri(a, c, d, ua, uc, ud, towards, material);
    }
    ObjectData& Data() { return obj_; }

private:
    ObjectData obj_;
};

Material ColouredMaterial(uint32_t a, uint32_t b, uint32_t c, bool additive) {
    Material m{};
    m.coloured = 1;
    m.additive = additive ? 1 : 0;
    m.colourA = a;
    m.colourB = b;
    m.colourC = c;
    return m;
}

// Material 0 of every object is given its texture (or colour) by its scene; the
// stored one is a plain grey so that the file draws something sensible anyway.
void DefaultMaterial(ObjectData& o) { o.materials.push_back(ColouredMaterial(0x808080, 0x808080, 0x808080, false)); }

// ---- shapes ----

using UvMap = std::function<Uv(float lon01, float lat01, V3 local)>;

// Ellipsoid from a pole-to-pole grid without duplicated seam vertices (texture
// coordinates live in the faces). inward: faces seen from inside.
void Ellipsoid(Mesh& m, V3 centre, V3 radii, int segs, int rings, const UvMap& map,
               bool inward = false, int material = 0) {
    const int top = m.Add(centre + V3{0, radii.y, 0});
    std::vector<int> ring;
    for (int r = 1; r < rings; ++r) {
        const float lat = kPi * float(r) / float(rings);
        for (int s = 0; s < segs; ++s) {
            const float lon = 2 * kPi * float(s) / float(segs);
            V3 local{std::sin(lat) * std::sin(lon), std::cos(lat), std::sin(lat) * std::cos(lon)};
            ring.push_back(m.Add(centre + V3{local.x * radii.x, local.y * radii.y, local.z * radii.z}));
        }
    }
    const int bottom = m.Add(centre - V3{0, radii.y, 0});
    auto at = [&](int r, int s) { return ring[size_t((r - 1) * segs + (s % segs))]; };
    auto uv = [&](int r, int s) {
        const float lon01 = float(s) / float(segs), lat01 = float(r) / float(rings);
        const float lat = kPi * lat01, lon = 2 * kPi * lon01;
        return map(lon01, lat01, {std::sin(lat) * std::sin(lon), std::cos(lat), std::sin(lat) * std::cos(lon)});
    };
    auto face = [&](int a, int b, int c, Uv ua, Uv ub, Uv uc) {
        const V3 mid = (m.P(a) + m.P(b) + m.P(c)) * (1.0f / 3.0f);
        V3 out = mid - centre;
        out = {out.x / (radii.x * radii.x), out.y / (radii.y * radii.y), out.z / (radii.z * radii.z)};
        m.Tri(a, b, c, ua, ub, uc, inward ? out * -1.0f : out, material);
    };
    for (int s = 0; s < segs; ++s) {
        Uv pole = uv(0, s);
        pole.u = uv(1, s).u * 0.5f + uv(1, s + 1).u * 0.5f;
        face(top, at(1, s), at(1, s + 1), pole, uv(1, s), uv(1, s + 1));
        for (int r = 1; r + 1 < rings; ++r)
            m.Quad(at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1), uv(r, s), uv(r + 1, s),
                   uv(r + 1, s + 1), uv(r, s + 1),
                   inward ? centre - (m.P(at(r, s)) + m.P(at(r + 1, s + 1))) * 0.5f
                          : (m.P(at(r, s)) + m.P(at(r + 1, s + 1))) * 0.5f - centre,
                   material);
        Uv south = uv(rings, s);
        south.u = uv(rings - 1, s).u * 0.5f + uv(rings - 1, s + 1).u * 0.5f;
        face(bottom, at(rings - 1, s + 1), at(rings - 1, s), south, uv(rings - 1, s + 1),
             uv(rings - 1, s));
    }
}

// Closed box between lo and hi; walls get u along the wall and v down from the
// top (scaled by texel units), the top and bottom the fixed coordinate roof.
void Box(Mesh& m, V3 lo, V3 hi, float unitsPerRepeatU, float unitsPerRepeatV, float vOffset,
         Uv roof, int material = 0, bool bottom = false) {
    int c[8];
    for (int i = 0; i < 8; ++i)
        c[i] = m.Add({(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z});
    const V3 centre = (lo + hi) * 0.5f;
    const float h = hi.y - lo.y;
    auto wall = [&](int a, int b, float len, float u0) {
        // a, b: bottom corners; the top corners are a + 2, b + 2.
        const Uv ba{u0, vOffset + h / unitsPerRepeatV}, bb{u0 + len / unitsPerRepeatU, vOffset + h / unitsPerRepeatV};
        const Uv ta{u0, vOffset}, tb{u0 + len / unitsPerRepeatU, vOffset};
        const V3 mid = (m.P(c[a]) + m.P(c[b + 2])) * 0.5f;
        m.Quad(c[a], c[b], c[b + 2], c[a + 2], ba, bb, tb, ta, mid - centre, material);
    };
    const float w = hi.x - lo.x, d = hi.z - lo.z;
    wall(0, 1, w, 0);                  // z = lo
    wall(5, 4, w, w / unitsPerRepeatU);  // z = hi
    wall(4, 0, d, 0.37f);              // x = lo
    wall(1, 5, d, 0.61f);              // x = hi
    m.Quad(c[2], c[3], c[7], c[6], roof, roof, roof, roof, {0, 1, 0}, material);
    if (bottom) m.Quad(c[0], c[1], c[5], c[4], roof, roof, roof, roof, {0, -1, 0}, material);
}

// Vertical prism of n sides (a cylinder when n is large), with caps.
void Prism(Mesh& m, V3 base, float radius, float height, int n, float topScale,
           const std::function<Uv(float around01, float up01)>& map, bool caps, int material = 0) {
    std::vector<int> lo, hi;
    for (int i = 0; i < n; ++i) {
        const float a = 2 * kPi * float(i) / float(n);
        lo.push_back(m.Add(base + V3{std::sin(a) * radius, 0, std::cos(a) * radius}));
        hi.push_back(m.Add(base + V3{std::sin(a) * radius * topScale, height, std::cos(a) * radius * topScale}));
    }
    const V3 axisMid = base + V3{0, height * 0.5f, 0};
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const float a0 = float(i) / float(n), a1 = float(i + 1) / float(n);
        V3 out = (m.P(lo[size_t(i)]) + m.P(hi[size_t(j)])) * 0.5f - axisMid;
        out.y = 0;
        m.Quad(lo[size_t(i)], lo[size_t(j)], hi[size_t(j)], hi[size_t(i)], map(a0, 0), map(a1, 0),
               map(a1, 1), map(a0, 1), out, material);
    }
    if (caps) {
        const int top = m.Add(base + V3{0, height, 0});
        const int bot = m.Add(base);
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            m.Tri(top, hi[size_t(i)], hi[size_t(j)], map(0, 1.0f), map(0, 1.0f), map(0, 1.0f), {0, 1, 0}, material);
            m.Tri(bot, lo[size_t(j)], lo[size_t(i)], map(0, 0), map(0, 0), map(0, 0), {0, -1, 0}, material);
        }
    }
}

// ---- the objects ----

ObjectData Panel() {
    Mesh m;
    const float w = dims::kPanelHalfWidth, h = dims::kPanelHalfHeight;
    const int tl = m.Add({-w, h, 0}), tr = m.Add({w, h, 0}), br = m.Add({w, -h, 0}), bl = m.Add({-w, -h, 0});
    // Drawn at angles (0, 384, 0): x and y stay, z turns round, so the face
    // is seen from its +z side with u along +x and v down.
    m.Quad(bl, br, tr, tl, {0, 1}, {1, 1}, {1, 0}, {0, 0}, {0, 0, 1});
    DefaultMaterial(m.Data());
    return m.Data();
}

float LandHeight(float x, float z) {
    // Ridged hills over rolling ground, 0 at the lowest; the peak stays well
    // below the camera's closest approach to the tilted plane.
    const float s = 1.0f / 380.0f;
    const float base = Fbm(x * s + 10.3f, z * s + 4.1f, 0, 0, 4, 7101u);
    const float r = 1.0f - std::fabs(2.0f * Fbm(x * s * 0.7f + 3.7f, z * s * 0.7f + 8.2f, 0, 0, 3, 7202u) - 1.0f);
    const float h = 0.45f * base + 0.55f * r * r;
    return std::max(0.0f, (h - 0.3f) * 95.0f);
}

ObjectData Land() {
    // Two surfaces: the relief facing +y and its mirror image facing -y, so
    // that the copy below the camera shows hills rising towards it and the copy
    // above shows the same hills hanging towards it.
    Mesh m;
    const int n = dims::kLandGrid;
    const float half = dims::kLandHalfSize, step = 2 * half / float(n);
    for (int side = 0; side < 2; ++side) {
        const float sign = side == 0 ? 1.0f : -1.0f;
        const int first = int(m.Data().vertices.size());
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                const float x = -half + step * float(i), z = -half + step * float(j);
                m.Add({x, sign * LandHeight(x, z), z});
            }
        auto at = [&](int i, int j) { return first + j * (n + 1) + i; };
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                // One texture repeat per cell: with the scene's scroll of 0.1 per
                // frame the ground slides by a tenth of a cell each frame.
                const Uv a{float(i), float(j)}, b{float(i + 1), float(j)}, c{float(i + 1), float(j + 1)},
                    d{float(i), float(j + 1)};
                m.Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), a, b, c, d, {0, sign, 0});
            }
    }
    DefaultMaterial(m.Data());
    return m.Data();
}

ObjectData Malla() {
    // A sheet in the y-z plane, drawn at angles (0, 251, 0), which turns object z
    // into screen -x and object x into depth; the scene's wave moves x. Vertices
    // run down each column, so the wave's phase advances 2 * rows per column: 6
    // rows give a wavelength of 43 columns, about 1.7 waves across, gentle
    // enough for folds of +-60 in depth.
    // The sheet stands 19 units back along x (76 in depth once enlarged), so
    // that the crests of the wave (60 nearer) stay behind the pulsing sphere
    // at depth 110, whose radius grows to 24; it is large enough to fill the
    // picture at its farthest, depth 283 (its slight turn adds 12 either way).
    Mesh m;
    const int rows = 6, cols = 72;
    const float halfZ = 52.0f, halfY = 39.0f, back = -19.0f;
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            m.Add({back, halfY - 2 * halfY * float(r) / float(rows - 1), halfZ - 2 * halfZ * float(c) / float(cols - 1)});
    auto at = [&](int c, int r) { return c * rows + r; };
    auto uv = [&](int c, int r) { return Uv{float(c) / float(cols - 1), float(r) / float(rows - 1)}; };
    for (int c = 0; c + 1 < cols; ++c)
        for (int r = 0; r + 1 < rows; ++r)
            for (float side : {1.0f, -1.0f})  // the folds show both faces
                m.Quad(at(c, r), at(c + 1, r), at(c + 1, r + 1), at(c, r + 1), uv(c, r), uv(c + 1, r),
                       uv(c + 1, r + 1), uv(c, r + 1), {side, 0, 0});
    DefaultMaterial(m.Data());
    return m.Data();
}

ObjectData Sphere03() {
    Mesh m;
    Ellipsoid(m, {0, 0, 0}, {12, 12, 12}, 24, 16, [](float lon, float lat, V3) { return Uv{lon, lat}; });
    DefaultMaterial(m.Data());
    return m.Data();
}

ObjectData Sphere02() {
    Mesh m;
    Ellipsoid(m, {0, 0, 0}, {dims::kSkyRadius, dims::kSkyRadius, dims::kSkyRadius}, 32, 16,
              [](float lon, float lat, V3) { return Uv{lon * 2.0f, lat}; }, /*inward=*/true);
    DefaultMaterial(m.Data());
    return m.Data();
}

// skin.jpg: u 0..0.75 the skin (tiling across), u 0.75..1 small pictures, one
// per quarter of v: eye, mouth, antenna tips, claws.
UvMap SkinWrap(float uRepeats = 1.0f) {
    return [uRepeats](float lon, float lat, V3) { return Uv{lon * 0.75f * uRepeats, lat}; };
}
UvMap SkinPicture(int slot, V3 forward) {
    return [slot, forward](float, float, V3 local) {
        // Planar projection along forward: the picture faces that way.
        V3 right = Normalise(Cross({0, 1, 0}, forward));
        if (Dot(right, right) == 0) right = {1, 0, 0};
        const V3 up = Cross(forward, right);
        const float px = Dot(local, right), py = Dot(local, up);
        return Uv{0.75f + 0.25f * (0.5f + 0.46f * px), 0.25f * float(slot) + 0.25f * (0.5f - 0.46f * py)};
    };
}

ObjectData Bicho() {
    Mesh m;
    const float k = 0.92f;
    auto P = [k](float x, float y, float z) { return V3{x * k, y * k, z * k}; };
    auto R = [k](float x, float y, float z) { return V3{x * k, y * k, z * k}; };
    Ellipsoid(m, P(0, 10, 0), R(6.5f, 7.5f, 6.0f), 18, 12, SkinWrap());           // body
    Ellipsoid(m, P(0, 19, 0.6f), R(5.2f, 4.8f, 5.0f), 18, 12, SkinWrap());        // head
    for (float s : {-1.0f, 1.0f}) {
        Ellipsoid(m, P(2.1f * s, 20.2f, 4.3f), R(1.8f, 1.9f, 1.5f), 12, 8, SkinPicture(0, {0, 0, 1}));
        Ellipsoid(m, P(3.0f * s, 2.4f, 0.2f), R(2.1f, 2.6f, 2.2f), 12, 8, SkinWrap());   // leg
        Ellipsoid(m, P(3.2f * s, 0.9f, 1.4f), R(2.3f, 1.0f, 3.0f), 12, 6, SkinPicture(3, {0, 1, 0}));  // foot
        Ellipsoid(m, P(7.6f * s, 12.0f, 0.8f), R(3.2f, 1.5f, 1.5f), 12, 8, SkinWrap());  // arm
        Ellipsoid(m, P(10.6f * s, 12.6f, 1.0f), R(1.3f, 1.3f, 1.3f), 10, 6, SkinPicture(3, {0, 0, 1}));  // hand
        // Antenna: a thin stalk leaning out, a glowing ball on top.
        Prism(m, P(1.6f * s, 22.6f, 0), 0.35f * k, 3.6f * k, 6, 0.7f,
              [](float a, float u) { return Uv{0.6f * a, 0.5f * u}; }, false);
        Ellipsoid(m, P(1.6f * s, 26.6f, 0), R(1.0f, 1.0f, 1.0f), 10, 6, SkinPicture(2, {0, 0, 1}));
    }
    Ellipsoid(m, P(0, 16.6f, 4.7f), R(2.2f, 0.7f, 0.8f), 12, 6, SkinPicture(1, {0, 0, 1}));  // mouth
    DefaultMaterial(m.Data());
    return m.Data();
}

constexpr float kPostX = 13.5f;  // the billboard's posts

struct Footprint {
    float x, z, r;
};

// The city's placement, shared by the textured blocks and the glass towers so
// that they do not overlap; radius at most 36 so that nothing comes near the
// camera while the group spins.
std::vector<Footprint> PlaceBlocks(int count, float rMin, float rMax, float sizeMin, float sizeMax,
                                   uint32_t seed, std::vector<Footprint>& taken) {
    Rng rng(seed);
    std::vector<Footprint> out;
    for (int tries = 0; tries < 4000 && int(out.size()) < count; ++tries) {
        const float a = rng.Range(0, 2 * kPi), r = rng.Range(rMin, rMax);
        const float size = rng.Range(sizeMin, sizeMax);
        Footprint f{std::sin(a) * r, std::cos(a) * r, size * 0.72f};
        // Keep the strip under the billboard (its posts and, for tall blocks,
        // the sign itself) clear.
        if (std::fabs(f.z) < f.r + 1.2f && std::fabs(f.x) < 18.5f + f.r) continue;
        bool free = true;
        for (const Footprint& t : taken)
            if (std::hypot(t.x - f.x, t.z - f.z) < t.r + f.r + 0.8f) free = false;
        if (!free) continue;
        taken.push_back(f);
        out.push_back(f);
    }
    return out;
}

struct CityPlan {
    std::vector<Footprint> blocks, towers;
};

CityPlan PlanCity() {
    std::vector<Footprint> taken{{0, 0, 10.5f}};  // the creature
    CityPlan plan;
    plan.blocks = PlaceBlocks(26, 15.0f, 35.0f, 4.0f, 8.0f, 99u, taken);
    plan.towers = PlaceBlocks(6, 17.0f, 31.0f, 3.8f, 5.0f, 777u, taken);
    return plan;
}

constexpr Uv kRoof{0.5f, 0.96f};  // build.jpg: the ledge colour between floors

ObjectData City01() {
    Mesh m;
    Rng rng(4242);
    const auto blocks = PlanCity().blocks;
    for (const Footprint& f : blocks) {
        const float half = f.r / 1.41f;
        const float dist = std::hypot(f.x, f.z);
        // A low town: from the camera, 20 units up, the creature's head and
        // body stay in view over the blocks that pass in front of it.
        float h = rng.Range(3.5f, 8.0f) + (dist < 24 ? rng.Range(1.0f, 3.0f) : 0.0f);
        const float w = half * rng.Range(0.85f, 1.0f), d = half * rng.Range(0.85f, 1.0f);
        const float vOff = float(rng.Int(0, 7)) * 0.125f;
        Box(m, {f.x - w, -1.0f, f.z - d}, {f.x + w, h, f.z + d}, 8.0f, 16.0f, vOff, kRoof);
        if (rng.Unit() < 0.55f) {
            // A set-back upper block and sometimes a mast.
            const float w2 = w * 0.62f, d2 = d * 0.62f, h2 = h + rng.Range(2.0f, 4.0f);
            Box(m, {f.x - w2, h, f.z - d2}, {f.x + w2, h2, f.z + d2}, 8.0f, 16.0f, vOff + 0.5f, kRoof);
            if (rng.Unit() < 0.5f)
                Box(m, {f.x - 0.15f, h2, f.z - 0.15f}, {f.x + 0.15f, h2 + 3.5f, f.z + 0.15f}, 8.0f, 16.0f,
                    0.9f, kRoof);
        }
    }
    DefaultMaterial(m.Data());
    return m.Data();
}

ObjectData City02() {
    // Glass towers, drawn flat grey and additive by the scene: they lighten
    // whatever stands behind them.
    Mesh m;
    const auto towers = PlanCity().towers;
    Rng rng(31337);
    const auto none = [](float, float) { return Uv{0, 0}; };
    for (size_t i = 0; i < towers.size(); ++i) {
        const Footprint& f = towers[i];
        Prism(m, {f.x, -1.0f, f.z}, f.r * 0.8f, rng.Range(22.0f, 32.0f), 6, 0.8f, none, true);
    }
    DefaultMaterial(m.Data());
    return m.Data();
}

ObjectData Cartel() {
    // A two-sided sign above the creature. The group spins about y; at b = 0
    // (when the picture changes) the sign is edge-on, at b = 128 and 384 it
    // faces the camera with its back and its front. Both sides read left to
    // right. Posts and frame take the pictures' border colour.
    Mesh m;
    const float hw = 17.0f, y0 = 27.0f, y1 = 44.0f, t = 0.32f;
    const Uv frame{0.012f, 0.5f};
    // Closed all round: the camera sees the underside while the group rocks.
    Box(m, {-hw - 0.45f, y0 - 0.45f, -t + 0.02f}, {hw + 0.45f, y1 + 0.45f, t - 0.02f}, 1000, 1000, 0, frame, 0,
        /*bottom=*/true);
    // Box() maps its walls from u 0 upwards; the frame needs one colour throughout.
    for (Face& f : m.Data().faces) {
        f.uA = f.uB = f.uC = frame.u;
        f.vA = f.vB = f.vC = frame.v;
    }
    for (float s : {-1.0f, 1.0f})
        Box(m, {kPostX * s - 0.45f, -1.0f, -0.45f}, {kPostX * s + 0.45f, y0, 0.45f}, 1000, 1000, 0, frame);
    for (Face& f : m.Data().faces) {
        f.uA = f.uB = f.uC = frame.u;
        f.vA = f.vB = f.vC = frame.v;
    }
    for (float side : {1.0f, -1.0f}) {
        const float z = side * t;
        const int a = m.Add({-hw, y1, z}), b = m.Add({hw, y1, z}), c = m.Add({hw, y0, z}), d = m.Add({-hw, y0, z});
        // Seen from +z, x runs left to right; from -z it runs right to left.
        const float uL = side > 0 ? 0.0f : 1.0f, uR = 1.0f - uL;
        m.Quad(a, b, c, d, {uL, 0}, {uR, 0}, {uR, 1}, {uL, 1}, {0, 0, side});
    }
    DefaultMaterial(m.Data());
    return m.Data();
}

// The cake and its candles share a frame: the plate's top at y = kCakeBase,
// the model's middle at the origin, so the tilted and swaying cake stays
// centred. tarta.jpg: top design in u,v 0..0.5; side band u 0.5..1, v 0..0.5;
// plate and cream in the lower half.
constexpr float kCakeScale = 0.8f;
constexpr float kCakeBase = -6.3f;
constexpr float kCakeRadius = 10.0f, kCakeHeight = 6.5f;

V3 CakeP(float x, float y, float z) { return {x * kCakeScale, (y + kCakeBase) * kCakeScale, z * kCakeScale}; }

ObjectData Tarta() {
    Mesh m;
    const int n = 48;
    // Plate: a flat disc with a rim.
    Prism(m, CakeP(0, -0.7f, 0), 12.8f * kCakeScale, 0.7f * kCakeScale, n, 1.0f,
          [](float a, float u) { return Uv{0.55f + 0.4f * a, 0.6f - 0.06f * u}; }, false);
    {
        const int c = m.Add(CakeP(0, 0, 0));
        const int cb = m.Add(CakeP(0, -0.7f, 0));
        std::vector<int> rim, rimB;
        for (int i = 0; i < n; ++i) {
            const float a = 2 * kPi * float(i) / float(n);
            rim.push_back(m.Add(CakeP(std::sin(a) * 12.8f, 0, std::cos(a) * 12.8f)));
            rimB.push_back(m.Add(CakeP(std::sin(a) * 12.8f, -0.7f, std::cos(a) * 12.8f)));
        }
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            const float a0 = 2 * kPi * float(i) / float(n), a1 = 2 * kPi * float(j) / float(n);
            auto plateUv = [](float a, float r) { return Uv{0.25f + 0.24f * r * std::sin(a), 0.75f + 0.24f * r * std::cos(a)}; };
            m.Tri(c, rim[size_t(i)], rim[size_t(j)], plateUv(0, 0), plateUv(a0, 1), plateUv(a1, 1), {0, 1, 0});
            m.Tri(cb, rimB[size_t(j)], rimB[size_t(i)], plateUv(0, 0), plateUv(a1, 1), plateUv(a0, 1), {0, -1, 0});
        }
    }
    // Body: the side band wraps once around.
    Prism(m, CakeP(0, 0, 0), kCakeRadius * kCakeScale, kCakeHeight * kCakeScale, n, 1.0f,
          [](float a, float u) { return Uv{0.5f + 0.5f * a, 0.49f - 0.47f * u}; }, false);
    {
        // Top: the design seen upright from the camera (u along +x, v along +z).
        const int c = m.Add(CakeP(0, kCakeHeight, 0));
        std::vector<int> rim;
        for (int i = 0; i < n; ++i) {
            const float a = 2 * kPi * float(i) / float(n);
            rim.push_back(m.Add(CakeP(std::sin(a) * kCakeRadius, kCakeHeight, std::cos(a) * kCakeRadius)));
        }
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            const float a0 = 2 * kPi * float(i) / float(n), a1 = 2 * kPi * float(j) / float(n);
            auto topUv = [](float a) { return Uv{0.25f + 0.245f * std::sin(a), 0.25f + 0.245f * std::cos(a)}; };
            m.Tri(c, rim[size_t(i)], rim[size_t(j)], {0.25f, 0.25f}, topUv(a0), topUv(a1), {0, 1, 0});
        }
    }
    // Cream: rosettes round the top edge and pearls round the foot.
    const auto cream = [](float, float, V3 l) { return Uv{0.75f + 0.2f * l.x, 0.85f - 0.1f * l.y}; };
    for (int i = 0; i < 18; ++i) {
        const float a = 2 * kPi * (float(i) + 0.5f) / 18.0f;
        Ellipsoid(m, CakeP(std::sin(a) * 9.1f, kCakeHeight + 0.25f, std::cos(a) * 9.1f),
                  V3{1.0f, 0.8f, 1.0f} * kCakeScale, 8, 5, cream);
    }
    for (int i = 0; i < 30; ++i) {
        const float a = 2 * kPi * float(i) / 30.0f;
        Ellipsoid(m, CakeP(std::sin(a) * 10.2f, 0.55f, std::cos(a) * 10.2f), V3{0.75f, 0.6f, 0.75f} * kCakeScale,
                  8, 5, cream);
    }
    DefaultMaterial(m.Data());
    return m.Data();
}

ObjectData Velas() {
    // Candles with flames (material 0, llama.jpg: wax on the left half, flame on
    // the right) and a soft additive halo round each flame (material 1, stored
    // coloured: the scene sets only material 0).
    Mesh m;
    const float top = kCakeHeight;
    std::vector<V3> spots;
    // A ring of eight between the lettering on the top and the rosettes.
    for (int i = 0; i < 8; ++i) {
        const float a = 2 * kPi * (float(i) + 0.5f) / 8.0f;
        spots.push_back({std::sin(a) * 7.3f, 0, std::cos(a) * 7.3f});
    }
    const float candleH = 4.6f;
    for (size_t i = 0; i < spots.size(); ++i) {
        const V3 s = spots[i];
        const float h = candleH + (i % 2 ? 0.6f : 0.0f);
        const float stripe = float(i % 3);
        Prism(m, CakeP(s.x, top, s.z), 0.42f * kCakeScale, h * kCakeScale, 10, 1.0f,
              [stripe](float a, float u) { return Uv{0.02f + 0.46f * a, 0.98f - 0.3f * u - 0.3333f * stripe}; }, true);
        // Flame: a teardrop turned on the lathe.
        const V3 base = CakeP(s.x, top + h + 0.15f, s.z);
        const int segs = 8, rings = 6;
        const float fh = 2.3f * kCakeScale;
        auto profile = [](float t) { return 0.55f * std::sin(kPi * std::pow(t, 0.75f)) * (1.0f - 0.35f * t); };
        const int bottom = m.Add(base);
        std::vector<int> ring;
        for (int r = 1; r < rings; ++r) {
            const float t = float(r) / float(rings);
            for (int k = 0; k < segs; ++k) {
                const float a = 2 * kPi * float(k) / float(segs);
                const float rr = profile(t) * kCakeScale;
                ring.push_back(m.Add(base + V3{std::sin(a) * rr, t * fh, std::cos(a) * rr}));
            }
        }
        const int tip = m.Add(base + V3{0, fh, 0});
        auto at = [&](int r, int k) { return ring[size_t((r - 1) * segs + (k % segs))]; };
        auto fuv = [](int r) { return Uv{0.75f, 0.97f - 0.94f * float(r) / float(rings)}; };
        const V3 axis = base + V3{0, fh * 0.45f, 0};
        for (int k = 0; k < segs; ++k) {
            m.Tri(bottom, at(1, k + 1), at(1, k), fuv(0), fuv(1), fuv(1), m.P(at(1, k)) - base + V3{0, -0.3f, 0});
            for (int r = 1; r + 1 < rings; ++r) {
                V3 out = (m.P(at(r, k)) + m.P(at(r + 1, k + 1))) * 0.5f - axis;
                out.y *= 0.2f;
                m.Quad(at(r, k), at(r, k + 1), at(r + 1, k + 1), at(r + 1, k), fuv(r), fuv(r), fuv(r + 1),
                       fuv(r + 1), out);
            }
            m.Tri(tip, at(rings - 1, k), at(rings - 1, k + 1), fuv(rings), fuv(rings - 1), fuv(rings - 1),
                  m.P(at(rings - 1, k)) - axis);
        }
        // Halo: a fan facing the camera at the scene's resting angles (64, 384, 0),
        // where the view runs along object (0, -1, -1).
        const V3 centre = base + V3{0, fh * 0.4f, 0};
        const V3 ax{1, 0, 0}, ay = Normalise({0, 1, -1}), facing = Normalise({0, 1, 1});
        const int hc = m.Add(centre);
        std::vector<int> rim;
        const int hn = 12;
        const float hr = 2.6f * kCakeScale;
        for (int k = 0; k < hn; ++k) {
            const float a = 2 * kPi * float(k) / float(hn);
            rim.push_back(m.Add(centre + ax * (std::cos(a) * hr) + ay * (std::sin(a) * hr * 1.25f)));
        }
        for (int k = 0; k < hn; ++k) {
            // Corner A is the centre: material 1 gives A the warm colour, B and C black.
            const int b = rim[size_t(k)], c = rim[size_t((k + 1) % hn)];
            const V3 n = Cross(m.P(b) - m.P(hc), m.P(c) - m.P(hc));
            if (Dot(n, facing) >= 0)
                m.Tri(hc, b, c, {}, {}, {}, facing, 1);
            else
                m.Tri(hc, c, b, {}, {}, {}, facing, 1);
        }
    }
    DefaultMaterial(m.Data());
    m.Data().materials.push_back(ColouredMaterial(0x9A6A28, 0x000000, 0x000000, true));
    return m.Data();
}

ObjectData Fondo() {
    // Drawn at angles (256, 384, 0), which turn y round (x' = x, y' = -y,
    // z' = z), at (-7, 10, 200) after the scene enlarges it four times. The
    // corners are chosen so that the placed picture spans x -150..150 and
    // y -113..113 at z = 200: the whole screen with a margin.
    Mesh m;
    const float X0 = -150, X1 = 150, Y0 = -113, Y1 = 113;
    auto obj = [](float X, float Y) { return V3{(X + 7.0f) / 4.0f, (10.0f - Y) / 4.0f, 0}; };
    const int gx = 4, gy = 3;
    std::vector<int> idx;
    for (int j = 0; j <= gy; ++j)
        for (int i = 0; i <= gx; ++i)
            idx.push_back(m.Add(obj(X0 + (X1 - X0) * float(i) / gx, Y1 - (Y1 - Y0) * float(j) / gy)));
    for (int j = 0; j < gy; ++j)
        for (int i = 0; i < gx; ++i) {
            auto at = [&](int a, int b) { return idx[size_t(b * (gx + 1) + a)]; };
            auto uv = [&](int a, int b) { return Uv{float(a) / gx, float(b) / gy}; };
            // Seen from the object's -z side.
            m.Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), uv(i, j), uv(i + 1, j), uv(i + 1, j + 1),
                   uv(i, j + 1), {0, 0, -1});
        }
    DefaultMaterial(m.Data());
    return m.Data();
}

}  // namespace

std::vector<NamedObject> BuildObjects() {
    std::vector<NamedObject> out;
    out.push_back({"panel.3do", Panel()});
    out.push_back({"land01.3do", Land()});
    out.push_back({"malla.3do", Malla()});
    out.push_back({"sphere03.3do", Sphere03()});
    out.push_back({"bicho.3do", Bicho()});
    out.push_back({"city01.3do", City01()});
    out.push_back({"city02.3do", City02()});
    out.push_back({"sphere02.3do", Sphere02()});
    out.push_back({"cartel.3do", Cartel()});
    out.push_back({"tarta.3do", Tarta()});
    out.push_back({"velas.3do", Velas()});
    out.push_back({"fondo.3do", Fondo()});
    return out;
}

}  // namespace mkdata
