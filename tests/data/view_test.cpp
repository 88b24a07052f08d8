// Each object as its scene places it, seen from the fixed camera: the faces
// meant to be seen survive the clockwise culling that follows the engine's
// mirroring rotation, nothing is see-through, sizes cover what they should,
// pictures read the right way round and nothing reaches the camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/data/Model.h"

namespace {

using model::Placed;

std::vector<Placed> Join(std::vector<Placed> a, const std::vector<Placed>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Placed> Only(const std::vector<Placed>& faces, int material) {
    std::vector<Placed> out;
    for (const Placed& f : faces)
        if (f.material == material) out.push_back(f);
    return out;
}

// Pictures must read left to right and top to bottom where they face us.
void ExpectUpright(const std::vector<Placed>& faces, const char* what) {
    int seen = 0;
    for (const Placed& f : faces) {
        if (!model::Survives(f)) continue;
        const model::TexAxes t = model::TextureAxes(f);
        if (!std::isfinite(t.dudx)) continue;
        ++seen;
        EXPECT_GT(t.dudx, 0) << what;
        EXPECT_GT(t.dvdy, 0) << what;
        EXPECT_LT(std::fabs(t.dudy), std::fabs(t.dudx) * 0.2f) << what;
        EXPECT_LT(std::fabs(t.dvdx), std::fabs(t.dvdy) * 0.2f) << what;
    }
    EXPECT_GT(seen, 0) << what << ": no face is drawn";
}

TEST(DataView, TheModelCullsLikeTheScreenDoes) {
    // The scene-space judgement used throughout agrees with the winding on
    // screen, for faces in front of the near plane.
    const model::Object sphere = model::LoadObject("sphere03.3do");
    int compared = 0;
    for (int b = 0; b < 512; b += 37)
        for (const Placed& f : model::Place(sphere, 5, -3, 20, 13, b, 7)) {
            const auto onScreen = model::SurvivesOnScreen(f);
            ASSERT_TRUE(onScreen.has_value());
            EXPECT_EQ(*onScreen, model::Survives(f));
            ++compared;
        }
    EXPECT_GT(compared, 0);
    // And the rotation at angles 0 exchanges x and z.
    const model::P3 p = model::Transform(model::BuildRotation(0, 0, 0), {1, 2, 3}, 10, 20, 30);
    EXPECT_FLOAT_EQ(p.x, 13);
    EXPECT_FLOAT_EQ(p.y, 22);
    EXPECT_FLOAT_EQ(p.z, 31);
}

TEST(DataView, ThePanelFacesTheViewerAndNearlyFillsThePicture) {
    const model::Object panel = model::LoadObject("panel.3do");
    // Resting at depth 8 in the opening.
    const auto rest = model::Place(panel, 0, 0, 8, 0, 384, 0);
    EXPECT_GE(model::Coverage(rest), 0.78f);
    EXPECT_EQ(model::SeeThrough(rest).holes, 0);
    ExpectUpright(rest, "panel");
    // Flying away, it stays facing.
    EXPECT_EQ(model::SeeThrough(model::Place(panel, 0, 0, 500, 0, 384, 0)).holes, 0);
    // The trembling logo at depth 5 covers all of it whichever way it shakes.
    for (int x = 0; x <= 1; ++x)
        for (int y = 0; y <= 1; ++y) EXPECT_GE(model::Coverage(model::Place(panel, x, y, 5, 0, 384, 0)), 0.99f);
}

TEST(DataView, BothLandscapeCopiesShowTheirReliefAndNeverReachTheCamera) {
    const model::Object land = model::LoadObject("land01.3do");
    float worstCover = 1;
    for (int c = 0; c < 512; c += 32)
        for (int b = 0; b < 512; b += 32) {
            const int a = int(std::lround(model::Sine(c) * 50.0f));
            const auto up = model::Place(land, 0, 150, 50, a, b, 0);
            const auto down = model::Place(land, 0, -150, 50, a, b, 0);
            const auto both = Join(up, down);
            EXPECT_GE(model::CameraDistance(both), 20.0f) << "a " << a << " b " << b;
            worstCover = std::min(worstCover, model::Coverage(both));
            if (b % 128 == 0) {
                EXPECT_EQ(model::SeeThrough(up, 24, 18).holes, 0) << "upper, a " << a << " b " << b;
                EXPECT_EQ(model::SeeThrough(down, 24, 18).holes, 0) << "lower, a " << a << " b " << b;
            }
        }
    // Floor and ceiling leave at most a band round the horizon dark.
    EXPECT_GE(worstCover, 0.6f);
}

TEST(DataView, TheRipplingMeshIsTheWholeBackground) {
    const model::Object mesh = model::LoadObject("malla.3do");
    for (int phase = 0; phase < 513; phase += 57) {
        std::vector<Vertex> v = mesh.vertices;
        int p = phase;
        for (Vertex& q : v) {
            const float s = model::Sine(p) * 15.0f;
            q.x = (q.x + s) * 4.0f;
            q.y *= 4.0f;
            q.z *= 4.0f;
            p += 2;
        }
        const auto placed = model::Place(v, mesh.faces, 0, 0, 135, 0, 251, 0);
        EXPECT_GE(model::Coverage(placed), 0.995f) << "phase " << phase;
        // Behind the sphere pair however far the wave reaches: the sphere (at
        // 110) swells to twice its radius.
        float nearest = 1e9f;
        for (const Placed& f : placed) nearest = std::min({nearest, f.a.z, f.b.z, f.c.z});
        EXPECT_GT(nearest, 110.0f + 2.0f * 12.0f) << "phase " << phase;
        EXPECT_EQ(model::SeeThrough(placed, 32, 24).holes, 0) << "phase " << phase;
    }
    // Flat, the sheet's picture reads the right way round.
    std::vector<Vertex> flat = mesh.vertices;
    for (Vertex& q : flat) q = {q.x * 4.0f, q.y * 4.0f, q.z * 4.0f};
    ExpectUpright(model::Place(flat, mesh.faces, 0, 0, 135, 0, 251, 0), "mesh");
}

TEST(DataView, TheSphereIsSolidFromEverySide) {
    const model::Object sphere = model::LoadObject("sphere03.3do");
    for (int a = 0; a < 512; a += 96)
        for (int b = 0; b < 512; b += 80) {
            const auto placed = model::Place(sphere, 0, 0, 110, a, b, 0);
            const model::Holes h = model::SeeThrough(placed, 32, 24);
            EXPECT_GT(h.hits, 0);
            EXPECT_EQ(h.holes, 0) << "a " << a << " b " << b;
        }
}

// The city group as the scene places it; depth is the per-frame z offset.
std::vector<Placed> CityGroup(const std::vector<model::Object>& objects, int a, int b, int depth, bool withSky) {
    std::vector<Placed> all;
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!withSky && i + 1 == objects.size()) continue;
        all = Join(all, model::Place(objects[i], 0, -20, depth + 50, a, b, 0));
    }
    return all;
}

TEST(DataView, TheCityGroupSpinsClearOfTheCameraUnderAClosedSky) {
    const std::vector<model::Object> objects = {model::LoadObject("bicho.3do"), model::LoadObject("city01.3do"),
                                                model::LoadObject("city02.3do"), model::LoadObject("cartel.3do"),
                                                model::LoadObject("sphere02.3do")};
    const model::Object ground = model::Box(10, 1000, 1000);
    float nearest = 1e9f, nearestSky = 1e9f;
    for (int a : {-20, -10, 0, 10, 20})
        for (int depth : {-10, 0, 10})
            for (int b = 0; b < 512; b += 4) {
                nearest = std::min(nearest, model::CameraDistance(CityGroup(objects, a, b, depth, false)));
                const auto sky = model::Place(objects.back(), 0, -20, depth + 50, a, b, 0);
                nearestSky = std::min(nearestSky, model::CameraDistance(sky));
            }
    EXPECT_GE(nearest, 8.0f);
    EXPECT_GE(nearestSky, 300.0f);
    // Sky and ground together leave nothing black; no surface is see-through.
    for (int a : {-20, 0, 20})
        for (int b = 0; b < 512; b += 64) {
            const auto scene = Join(CityGroup(objects, a, b, 0, true), model::Place(ground, 0, -30, 50, a, b, 0));
            EXPECT_GE(model::Coverage(scene), 0.999f) << "a " << a << " b " << b;
            EXPECT_EQ(model::SeeThrough(scene, 32, 24).holes, 0) << "a " << a << " b " << b;
        }
}

TEST(DataView, TheBillboardReadsFromBothSidesAndTurnsEdgeOnAtTheChange) {
    const model::Object board = model::LoadObject("cartel.3do");
    // Front at b = 384, back at b = 128: both read left to right.
    for (int b : {384, 128}) {
        const auto placed = model::Place(board, 0, -20, 50, 0, b, 0);
        std::vector<Placed> picture;
        for (const Placed& f : placed)
            if (f.ua != f.ub || f.ua != f.uc) picture.push_back(f);
        ExpectUpright(picture, b == 384 ? "billboard front" : "billboard back");
        const model::Box2 box = model::ScreenBounds(placed);
        // The whole sign is on screen even at the group's nearest (depth 40).
        const model::Box2 nearBox = model::ScreenBounds(model::Place(board, 0, -20, 40, 0, b, 0));
        EXPECT_GT(nearBox.y0, 0.0f);
        EXPECT_GT(box.x1 - box.x0, 260.0f) << "large enough to read";
    }
    // At b = 0 (the picture changes) the sign is seen edge-on.
    const model::Box2 edge = model::ScreenBounds(model::Place(board, 0, -20, 50, 0, 0, 0));
    EXPECT_LT(edge.x1 - edge.x0, 30.0f);
}

TEST(DataView, TheCakeStaysInThePictureBeforeAFullBackground) {
    const model::Object cake = model::LoadObject("tarta.3do"), candles = model::LoadObject("velas.3do");
    model::Object back = model::LoadObject("fondo.3do");
    for (Vertex& v : back.vertices) {
        v.x *= 4.0f;
        v.y *= 4.0f;
        v.z *= 4.0f;
    }
    const auto background = model::Place(back, -7, 10, 200, 256, 384, 0);
    EXPECT_GE(model::Coverage(background), 1.0f);
    ExpectUpright(background, "background");
    for (int b = 368; b <= 400; b += 8) {
        const auto placed = Join(model::Place(cake, 0, 0, 20, 64, b, 0), model::Place(candles, 0, 0, 20, 64, b, 0));
        const model::Box2 box = model::ScreenBounds(placed);
        EXPECT_GT(box.x0, 20.0f) << b;
        EXPECT_LT(box.x1, 620.0f) << b;
        EXPECT_GT(box.y0, 15.0f) << b;
        EXPECT_LT(box.y1, 465.0f) << b;
        EXPECT_GT(box.y1 - box.y0, 300.0f) << "the cake is the picture's subject";
        // The halos (material 1 of the candles) face the camera while it sways.
        for (const Placed& f : Only(model::Place(candles, 0, 0, 20, 64, b, 0), 1)) EXPECT_TRUE(model::Survives(f));
        const auto solid = Join(model::Place(cake, 0, 0, 20, 64, b, 0), Only(model::Place(candles, 0, 0, 20, 64, b, 0), 0));
        EXPECT_EQ(model::SeeThrough(solid, 40, 30).holes, 0) << b;
    }
}

TEST(DataView, TheCreatureAndTheCityAreSolid) {
    for (const char* file : {"bicho.3do", "city01.3do", "city02.3do"}) {
        const model::Object o = model::LoadObject(file);
        for (int b = 0; b < 512; b += 64) {
            const model::Holes h = model::SeeThrough(model::Place(o, 0, -20, 50, 10, b, 0), 32, 24);
            EXPECT_GT(h.hits, 0) << file;
            EXPECT_EQ(h.holes, 0) << file << " b " << b;
        }
    }
}

}  // namespace
