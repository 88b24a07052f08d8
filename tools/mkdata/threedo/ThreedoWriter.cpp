#include "tools/mkdata/threedo/ThreedoWriter.h"

#include <cstdio>
#include <cstring>

namespace mkdata {

std::vector<uint8_t> Write3do(const ObjectData& object) {
    const size_t vertexBytes = object.vertices.size() * sizeof(Vertex);
    const size_t faceBytes = object.faces.size() * sizeof(Face);
    const size_t materialBytes = object.materials.size() * sizeof(Material);
    std::vector<uint8_t> out(sizeof(Object3D) + vertexBytes + faceBytes + materialBytes, 0);

    Object3D header{};
    header.totalSize = static_cast<int32_t>(out.size());
    header.positionX = object.position[0];
    header.positionY = object.position[1];
    header.positionZ = object.position[2];
    header.angleA = object.angles[0];
    header.angleB = object.angles[1];
    header.angleC = object.angles[2];
    header.vertexCount = static_cast<int32_t>(object.vertices.size());
    header.faceCount = static_cast<int32_t>(object.faces.size());
    header.materialCount = static_cast<int32_t>(object.materials.size());
    header.vertices = sizeof(Object3D);
    header.faces = static_cast<uint32_t>(sizeof(Object3D) + vertexBytes);
    header.materials = static_cast<uint32_t>(sizeof(Object3D) + vertexBytes + faceBytes);

    std::memcpy(out.data(), &header, sizeof header);
    if (vertexBytes) std::memcpy(out.data() + header.vertices, object.vertices.data(), vertexBytes);
    if (faceBytes) std::memcpy(out.data() + header.faces, object.faces.data(), faceBytes);
    if (materialBytes)
        std::memcpy(out.data() + header.materials, object.materials.data(), materialBytes);
    return out;
}

bool Write3doFile(const std::string& path, const ObjectData& object) {
    const std::vector<uint8_t> bytes = Write3do(object);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace mkdata
