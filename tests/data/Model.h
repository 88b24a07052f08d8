// What the engine and the fixed camera make of the generated objects, worked
// out on the CPU: the .3do load checks, the rotation of three angles (the
// engine's own matrix, with its mirroring), placement, projection onto the
// 640 x 480 picture, clockwise culling, coverage and ray casts. The data tests
// use it to check that each scene shows what it should.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/render3d/Records.h"

namespace model {

// The data folder the build generated (env TESSARY_DATA).
std::string DataDir();
std::vector<uint8_t> ReadFile(const std::string& path);

// A .3do file checked the way LoadObject checks it; error is empty when it
// passes (length == totalSize, arrays inside the block, at least one vertex,
// corner offsets multiples of 12 below 12 * vertexCount, material indices
// below materialCount).
struct Object {
    Object3D header{};
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    std::vector<Material> materials;
};
std::string CheckObject(const std::vector<uint8_t>& bytes, Object* out);
Object LoadObject(const std::string& file);  // from DataDir(); fails the test when bad

struct P3 {
    float x = 0, y = 0, z = 0;
};

// The engine's rotation for angles (a, b, c), 512 steps per turn.
struct Rotation {
    float m[3][3];
};
Rotation BuildRotation(int a, int b, int c);
P3 Transform(const Rotation& r, P3 p, int tx, int ty, int tz);
float Sine(int angle);  // the float table's value

// One object as drawn: its faces placed in the scene, with the texture
// coordinates and material of each.
struct Placed {
    P3 a, b, c;
    float ua, va, ub, vb, uc, vc;
    int material;
};
std::vector<Placed> Place(const std::vector<Vertex>& vertices, const std::vector<Face>& faces, int tx, int ty,
                          int tz, int a, int b, int c);
std::vector<Placed> Place(const Object& o, int tx, int ty, int tz, int a, int b, int c);
// The box CreateBox(h, w, d) makes.
Object Box(float halfHeight, float halfWidth, float halfDepth);

// Screen: pixels of the 640 x 480 picture, y down.
struct S2 {
    float x, y;
};
constexpr float kNear = 1.0f;  // w = z + 10 at the near plane
// Whether the face survives clockwise culling (it is drawn), judged in
// scene space: its normal (B - A) x (C - A) points away from the camera.
bool Survives(const Placed& f);
// The same judged on screen, for faces wholly in front of the near plane.
std::optional<bool> SurvivesOnScreen(const Placed& f);
S2 Project(P3 p);

// Fraction of a grid of sample points over the picture covered by faces
// that survive culling.
float Coverage(const std::vector<Placed>& faces, int gridW = 64, int gridH = 48);

// Casts a ray through each sample point; for each, the nearest face (culled
// or not) that it hits. Returns the number of samples whose nearest face is
// culled, i.e. where the viewer would see through a surface.
struct Holes {
    int samples = 0, hits = 0, holes = 0;
};
Holes SeeThrough(const std::vector<Placed>& faces, int gridW = 48, int gridH = 36);

// Texture direction of a face on screen: d(u)/d(screen x) and so on.
struct TexAxes {
    float dudx, dudy, dvdx, dvdy;
};
TexAxes TextureAxes(const Placed& f);

// Smallest distance from the camera (0, 0, -10) to any of the faces.
float CameraDistance(const std::vector<Placed>& faces);

// Projected bounding box of every corner, in screen pixels.
struct Box2 {
    float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
};
Box2 ScreenBounds(const std::vector<Placed>& faces);

}  // namespace model
