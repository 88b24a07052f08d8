// Object drawing: place every vertex once with the math service's transform,
// then queue one Triangle per face, in face order, with its material's state.
#include "engine/Engine.h"
#include "engine/memory/HeapRef.h"
#include "engine/render3d/ObjectOps.h"

namespace render3d {
namespace {

// Five spare vertices beyond the object's own, as the temporary always had.
constexpr uint32_t kSpareVertices = 5;

template <bool Planar>
void Draw(IEngine* engine, const Object3D* object, float scale) {
    // Nothing to place: no face of such an object can be drawn.
    if (!object || object->vertexCount < 1) return;
    engine->SetTranslation(object->positionX, object->positionY, object->positionZ);
    engine->SetAngles(object->angleA, object->angleB, object->angleC);
    engine->BuildRotation();

    const int32_t n = object->vertexCount;
    const uint32_t temporarySize = uint32_t(sizeof(Vertex)) * (uint32_t(n) + kSpareVertices);
    auto* placed = static_cast<uint8_t*>(engine->MemAlloc(temporarySize));
    if (!placed) return;  // the heap has said why
    engine->TransformPoints(heap::FromRef<Vertex>(object->vertices),
                            reinterpret_cast<Vertex*>(placed), n);

    // A zero scale would make every coordinate infinite or NaN; pin them at 0.
    const bool pinned = scale == 0.0f;
    const Face* face = heap::FromRef<Face>(object->faces);
    const Material* materials = heap::FromRef<Material>(object->materials);
    Triangle t;
    for (int32_t i = 0; i < object->faceCount; ++i, ++face) {
        const Vertex& a = *reinterpret_cast<const Vertex*>(placed + face->offsetA);
        const Vertex& b = *reinterpret_cast<const Vertex*>(placed + face->offsetB);
        const Vertex& c = *reinterpret_cast<const Vertex*>(placed + face->offsetC);
        if constexpr (Planar) {
            if (!pinned) {
                t.a = {a.x, a.y, a.z, a.z / scale, a.y / scale};
                t.b = {b.x, b.y, b.z, b.z / scale, b.y / scale};
                t.c = {c.x, c.y, c.z, c.z / scale, c.y / scale};
            } else {
                t.a = {a.x, a.y, a.z, 0.0f, 0.0f};
                t.b = {b.x, b.y, b.z, 0.0f, 0.0f};
                t.c = {c.x, c.y, c.z, 0.0f, 0.0f};
            }
        } else {
            t.a = {a.x, a.y, a.z, face->uA, face->vA};
            t.b = {b.x, b.y, b.z, face->uB, face->vB};
            t.c = {c.x, c.y, c.z, face->uC, face->vC};
        }
        const Material& m = materials[face->material];
        t.colourA = m.colourA;
        t.colourB = m.colourB;
        t.colourC = m.colourC;
        t.texture = m.texture;
        t.additive = m.additive;
        t.textured = m.textured;
        t.coloured = m.coloured;
        engine->AddTriangle(&t);
    }
    engine->MemFree(placed, temporarySize);
}

}  // namespace

void DrawObject(IEngine* engine, const Object3D* object) { Draw<false>(engine, object, 1.0f); }

void DrawObjectPlanar(IEngine* engine, const Object3D* object, float scale) {
    Draw<true>(engine, object, scale);
}

}  // namespace render3d

void Engine::DrawObject(Object3D* object) { render3d::DrawObject(this, object); }
void Engine::DrawObjectPlanar(Object3D* object, float scale) {
    render3d::DrawObjectPlanar(this, object, scale);
}
