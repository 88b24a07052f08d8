// Object operations written against the interface they are called through.
// Engine's own overrides pass `this`; tests pass a forwarding IEngine to watch
// the calls an operation makes (file reads, allocations, queued triangles).
#pragma once

#include "engine/IEngine.h"

namespace render3d {

// Reads and checks a .3do file; null when it is missing or damaged (a damaged
// file is reported once, caption "TFS TESSARY").
Object3D* LoadObject(IEngine* engine, const char* name);
Object3D* CreateBox(IEngine* engine, float halfHeight, float halfWidth, float halfDepth);
Object3D* CloneObject(IEngine* engine, const Object3D* source);
void FreeObject(IEngine* engine, Object3D* object);

void DrawObject(IEngine* engine, const Object3D* object);
void DrawObjectPlanar(IEngine* engine, const Object3D* object, float scale);

// The file checks of LoadObject on a block holding a whole file of `length`
// bytes with file offsets still in the array fields. True when it is sound.
bool IsSoundObjectFile(const uint8_t* block, uint32_t length);

}  // namespace render3d
