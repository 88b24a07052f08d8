// Object records: loading .3do files, the box, clones and freeing.
//
// A record is one heap block; its three array fields are heap references.
// Loading turns the file's offsets into references by adding the block's own
// reference, cloning moves them by the distance between the two blocks.
#include <cstring>

#include "engine/Engine.h"
#include "engine/memory/HeapRef.h"
#include "engine/render3d/ObjectOps.h"
#include "platform/os/MessageBox.h"

namespace render3d {
namespace {

constexpr uint32_t kMissingFileSize = 0xFFFFFFFFu;
constexpr const char* kFileCaption = "TFS TESSARY";
constexpr const char* kBadObjectText = "Bad 3DO object file!";

// An array of count records of recordSize bytes at offset lies inside the
// block, after the header, on a 4-byte boundary.
bool ArrayInside(uint32_t offset, int32_t count, uint32_t recordSize, uint32_t length) {
    if (count < 0 || offset < sizeof(Object3D) || offset % 4 != 0) return false;
    const uint64_t end = uint64_t{offset} + uint64_t(count) * recordSize;
    return end <= length;
}

}  // namespace

bool IsSoundObjectFile(const uint8_t* block, uint32_t length) {
    if (length < sizeof(Object3D)) return false;
    Object3D header;
    std::memcpy(&header, block, sizeof header);
    if (header.totalSize < 0 || uint32_t(header.totalSize) != length) return false;
    if (header.vertexCount < 1) return false;
    if (!ArrayInside(header.vertices, header.vertexCount, sizeof(Vertex), length) ||
        !ArrayInside(header.faces, header.faceCount, sizeof(Face), length) ||
        !ArrayInside(header.materials, header.materialCount, sizeof(Material), length))
        return false;
    const int64_t vertexBytes = int64_t{header.vertexCount} * int64_t{sizeof(Vertex)};
    for (int32_t i = 0; i < header.faceCount; ++i) {
        Face face;
        std::memcpy(&face, block + header.faces + uint64_t(i) * sizeof(Face), sizeof face);
        for (int32_t offset : {face.offsetA, face.offsetB, face.offsetC})
            if (offset < 0 || offset >= vertexBytes || offset % int32_t{sizeof(Vertex)} != 0)
                return false;
        if (face.material < 0 || face.material >= header.materialCount) return false;
    }
    return true;
}

Object3D* LoadObject(IEngine* engine, const char* name) {
    const FileHandle file = engine->FileOpen(name);
    const uint32_t length = engine->FileSize(file);
    // A missing file was reported by FileOpen already.
    if (length == kMissingFileSize) {
        engine->FileClose(file);
        return nullptr;
    }
    if (length < sizeof(Object3D)) {
        engine->FileClose(file);
        os::ShowMessageBox(kBadObjectText, kFileCaption);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(engine->MemAlloc(length));
    if (!block) {  // the heap has said why
        engine->FileClose(file);
        return nullptr;
    }
    engine->FileRead(file, block, length);
    engine->FileClose(file);
    if (!IsSoundObjectFile(block, length)) {
        engine->MemFree(block, length);
        os::ShowMessageBox(kBadObjectText, kFileCaption);
        return nullptr;
    }
    auto* object = reinterpret_cast<Object3D*>(block);
    const uint32_t base = heap::ToRef(block);
    object->vertices += base;
    object->faces += base;
    object->materials += base;
    return object;
}

Object3D* CreateBox(IEngine* engine, float halfHeight, float halfWidth, float halfDepth) {
    constexpr uint32_t kBoxSize = 684;
    auto* block = static_cast<uint8_t*>(engine->MemAlloc(kBoxSize));
    if (!block) return nullptr;
    auto* box = reinterpret_cast<Object3D*>(block);
    // The reserved words are zeroed so that a box's image is fully defined.
    std::memset(box->reserved0, 0, sizeof box->reserved0);
    std::memset(box->reserved1, 0, sizeof box->reserved1);
    box->totalSize = kBoxSize;
    box->positionX = 0;
    box->positionY = 0;
    box->positionZ = 40;
    box->angleA = 40;
    box->angleB = 60;
    box->angleC = 70;
    box->vertexCount = 8;
    box->faceCount = 12;
    box->materialCount = 1;
    const uint32_t base = heap::ToRef(block);
    box->vertices = base + 76;
    box->faces = base + 172;
    box->materials = base + 652;

    const float w = halfWidth, h = halfHeight, d = halfDepth;
    static constexpr float kSigns[8][3] = {
        {-1, +1, -1}, {+1, +1, -1}, {-1, -1, -1}, {+1, -1, -1},
        {-1, +1, +1}, {+1, +1, +1}, {-1, -1, +1}, {+1, -1, +1},
    };
    Vertex* vertices = heap::FromRef<Vertex>(box->vertices);
    for (int i = 0; i < 8; ++i)
        vertices[i] = {w * kSigns[i][0], h * kSigns[i][1], d * kSigns[i][2]};

    static constexpr int32_t kCorners[12][3] = {
        {0, 1, 3}, {0, 3, 2}, {1, 5, 7}, {1, 7, 3}, {4, 0, 2}, {4, 2, 6},
        {5, 4, 6}, {5, 6, 7}, {2, 3, 7}, {2, 7, 6}, {4, 5, 1}, {4, 1, 0},
    };
    Face* faces = heap::FromRef<Face>(box->faces);
    for (int i = 0; i < 12; ++i) {
        Face& f = faces[i];
        f.offsetA = kCorners[i][0] * 12;
        f.offsetB = kCorners[i][1] * 12;
        f.offsetC = kCorners[i][2] * 12;
        if (i % 2 == 0) {
            f.uA = 0, f.vA = 1, f.uB = 1, f.vB = 1, f.uC = 1, f.vC = 0;
        } else {
            f.uA = 0, f.vA = 1, f.uB = 1, f.vB = 0, f.uC = 0, f.vC = 0;
        }
        f.material = 0;
    }

    Material& m = *heap::FromRef<Material>(box->materials);
    m.coloured = 1;
    m.additive = 0;
    m.textured = 0;
    m.texture = kNoTexture;
    m.reserved = 0;
    m.colourA = 0x0000FF;
    m.colourB = 0x00FF00;
    m.colourC = 0xFF0000;
    return box;
}

Object3D* CloneObject(IEngine* engine, const Object3D* source) {
    if (!source) return nullptr;
    const uint32_t size = uint32_t(source->totalSize);
    auto* copy = static_cast<Object3D*>(engine->MemAlloc(size));
    if (!copy) return nullptr;
    engine->MemCopy(source, copy, size);
    // Unsigned arithmetic: the distance may be negative and wraps back.
    const uint32_t shift = heap::ToRef(copy) - heap::ToRef(source);
    copy->vertices = source->vertices + shift;
    copy->faces = source->faces + shift;
    copy->materials = source->materials + shift;
    return copy;
}

void FreeObject(IEngine* engine, Object3D* object) {
    if (!object) return;
    engine->MemFree(object, uint32_t(object->totalSize));
}

}  // namespace render3d

Object3D* Engine::CreateBox(float halfHeight, float halfWidth, float halfDepth) {
    return render3d::CreateBox(this, halfHeight, halfWidth, halfDepth);
}
void Engine::FreeObject(Object3D* object) { render3d::FreeObject(this, object); }
Object3D* Engine::LoadObject(const char* name) { return render3d::LoadObject(this, name); }
Object3D* Engine::CloneObject(Object3D* object) { return render3d::CloneObject(this, object); }
