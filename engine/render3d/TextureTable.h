// The engine's texture table: 32-bit texture handles for the device's
// texture objects. A handle is never 0 (no texture) and never 0xFFFFFFFF.
// The batcher marks the handles its queued triangles use, so a texture
// released during a frame lives until those triangles are drawn or dropped.
#pragma once

#include <cstdint>

#include "engine/IEngine.h"

namespace d3d8 {
class Texture;
}

namespace textures {

// Enters a texture (the table takes over the caller's reference); 0 when the
// table is full, and then the texture is released.
TextureHandle Register(d3d8::Texture* texture);

// The texture of a live handle (also one released while still queued), or null.
d3d8::Texture* Find(TextureHandle handle);

// A batch starts or stops using a handle. Unknown handles are ignored.
void Queue(TextureHandle handle);
void Unqueue(TextureHandle handle);

// Drops the table's reference; the entry goes once nothing queued uses it.
void Release(TextureHandle handle);

// Live entries (released-but-queued ones included), for tests.
int32_t LiveCount();

}  // namespace textures
