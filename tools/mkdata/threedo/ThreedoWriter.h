// Writes .3do object files in the canonical layout: header, vertices at 76,
// faces right after, materials after those, reserved bytes zero, totalSize
// the file length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render3d/Records.h"

namespace mkdata {

struct ObjectData {
    std::vector<Vertex> vertices;
    std::vector<Face> faces;  // corner offsets are vertex index * 12
    std::vector<Material> materials;
    int32_t position[3] = {0, 0, 0};
    int32_t angles[3] = {0, 0, 0};
};

std::vector<uint8_t> Write3do(const ObjectData& object);

// False when the file cannot be written.
bool Write3doFile(const std::string& path, const ObjectData& object);

}  // namespace mkdata
