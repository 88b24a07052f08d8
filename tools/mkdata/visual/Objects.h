// The demo's 3D objects, built from code. Every face is wound so that its
// normal (B - A) x (C - A) points to the side it is meant to be seen from: the
// engine's rotation always mirrors, so after it such faces come out
// counter-clockwise on screen and survive clockwise culling.
#pragma once

#include <string>
#include <vector>

#include "tools/mkdata/threedo/ThreedoWriter.h"

namespace mkdata {

struct NamedObject {
    std::string file;  // "panel.3do"
    ObjectData object;
};

std::vector<NamedObject> BuildObjects();

// Sizes the scenes rely on; tests check the placed objects against them.
namespace dims {
// The panel covers 95% of the picture at depth 8 and all of it at depth 5,
// with the logo's one-unit tremble.
constexpr float kPanelHalfWidth = 11.4f, kPanelHalfHeight = 8.55f;
constexpr float kSkyRadius = 500.0f;
constexpr float kLandHalfSize = 1000.0f;
constexpr int kLandGrid = 24;
}  // namespace dims

}  // namespace mkdata
