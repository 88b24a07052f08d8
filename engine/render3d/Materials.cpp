// Small in-place changes to an object between draws: placement, materials,
// texture scrolling and restoring a deformed clone. A null object is ignored.
#include "engine/Engine.h"
#include "engine/memory/HeapRef.h"

namespace {

Material& MaterialAt(Object3D* object, int32_t index) {
    return heap::FromRef<Material>(object->materials)[index];
}

}  // namespace

void Engine::SetObjectAngles(Object3D* object, int32_t a, int32_t b, int32_t c) {
    if (!object) return;
    object->angleA = a;
    object->angleB = b;
    object->angleC = c;
}

void Engine::SetObjectPosition(Object3D* object, int32_t x, int32_t y, int32_t z) {
    if (!object) return;
    object->positionX = x;
    object->positionY = y;
    object->positionZ = z;
}

void Engine::SetMaterialColor(Object3D* object, int32_t index, uint32_t colourA, uint32_t colourB,
                              uint32_t colourC, int32_t additive) {
    if (!object) return;
    Material& m = MaterialAt(object, index);
    m.colourA = colourA;
    m.colourB = colourB;
    m.colourC = colourC;
    m.coloured = 1;
    m.textured = 0;
    m.texture = kNoTexture;
    m.reserved = 0;
    m.additive = additive;
}

void Engine::SetMaterialTexture(Object3D* object, int32_t index, TextureHandle texture,
                                int32_t additive) {
    if (!object) return;
    Material& m = MaterialAt(object, index);
    m.colourA = 0;
    m.colourB = 0;
    m.colourC = 0;
    m.coloured = 0;
    m.textured = 1;
    m.texture = texture;
    m.reserved = 0;
    m.additive = additive;
}

void Engine::ScrollTexture(Object3D* object, float du, float dv) {
    if (!object) return;
    Face* face = heap::FromRef<Face>(object->faces);
    for (int32_t i = 0; i < object->faceCount; ++i, ++face) {
        face->uA += du;
        face->uB += du;
        face->uC += du;
        face->vA += dv;
        face->vB += dv;
        face->vC += dv;
    }
}

void Engine::CopyVertices(Object3D* source, Object3D* destination) {
    if (!source || !destination || source->totalSize != destination->totalSize) return;
    if (source->totalSize <= int32_t{sizeof(Object3D)}) return;
    constexpr uint32_t kHeader = sizeof(Object3D);
    this->MemCopy(reinterpret_cast<const uint8_t*>(source) + kHeader,
                  reinterpret_cast<uint8_t*>(destination) + kHeader,
                  uint32_t(source->totalSize) - kHeader);
}

Vertex* Engine::GetVertices(Object3D* object) {
    return object ? heap::FromRef<Vertex>(object->vertices) : nullptr;
}

int32_t Engine::GetVertexCount(Object3D* object) { return object ? object->vertexCount : 0; }
