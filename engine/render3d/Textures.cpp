// Textures: JPEG files and 256 x 256 16-bit images become device textures,
// known to the rest of the engine by 32-bit handles from a fixed table.
#include "engine/DisplayState.h"
#include "engine/Engine.h"
#include "engine/render3d/TextureTable.h"
#include "platform/d3d8/d3d8.h"

namespace textures {
namespace {

constexpr uint32_t kEntries = 1024;
constexpr uint32_t kImageSide = 256;
constexpr uint32_t kImageBytes = kImageSide * kImageSide * 2;

// handle = generation << 16 | (index + 1); the generation (1..0x7FFF) changes
// every time an entry is reused, so a stale handle finds nothing.
struct Entry {
    d3d8::Texture* texture = nullptr;
    uint32_t generation = 1;
    int32_t queued = 0;
    bool released = false;
};

struct {
    Entry entries[kEntries];
} table;

Entry* Lookup(TextureHandle handle) {
    uint32_t index = (handle & 0xFFFF) - 1;
    if (index >= kEntries) return nullptr;
    Entry& e = table.entries[index];
    if (!e.texture || e.generation != (handle >> 16)) return nullptr;
    return &e;
}

void Free(Entry& e) {
    e.texture->Release();
    e.texture = nullptr;
    e.queued = 0;
    e.released = false;
    e.generation = e.generation % 0x7FFF + 1;
}

}  // namespace

TextureHandle Register(d3d8::Texture* texture) {
    for (uint32_t i = 0; i < kEntries; ++i) {
        Entry& e = table.entries[i];
        if (e.texture) continue;
        e.texture = texture;
        e.queued = 0;
        e.released = false;
        return (e.generation << 16) | (i + 1);
    }
    texture->Release();
    return kNoTexture;
}

d3d8::Texture* Find(TextureHandle handle) {
    Entry* e = Lookup(handle);
    return e ? e->texture : nullptr;
}

void Queue(TextureHandle handle) {
    if (Entry* e = Lookup(handle)) ++e->queued;
}

void Unqueue(TextureHandle handle) {
    Entry* e = Lookup(handle);
    if (!e || e->queued == 0) return;
    if (--e->queued == 0 && e->released) Free(*e);
}

void Release(TextureHandle handle) {
    Entry* e = Lookup(handle);
    if (!e || e->released) return;
    if (e->queued > 0)
        e->released = true;
    else
        Free(*e);
}

int32_t LiveCount() {
    int32_t n = 0;
    for (const Entry& e : table.entries) n += e.texture != nullptr;
    return n;
}

}  // namespace textures

TextureHandle Engine::CreateTextureFromImage(const uint16_t* pixels) {
    d3d8::Device* device = display::CurrentDevice();
    if (!device || !pixels) return kBadTexture;
    d3d8::Texture* texture = nullptr;
    if (device->CreateTexture(textures::kImageSide, textures::kImageSide, 1, 0, d3d8::D3DFMT_R5G6B5,
                              d3d8::D3DPOOL_MANAGED, &texture) < 0)
        return kBadTexture;
    d3d8::D3DLOCKED_RECT locked{};
    if (texture->LockRect(0, &locked, nullptr, d3d8::D3DLOCK_NOSYSLOCK) < 0) {
        texture->Release();
        return kBadTexture;
    }
    MemCopy(pixels, locked.pBits, textures::kImageBytes);
    texture->UnlockRect(0);
    TextureHandle handle = textures::Register(texture);
    return handle == kNoTexture ? kBadTexture : handle;
}

void Engine::ReleaseTexture(TextureHandle texture) { textures::Release(texture); }

TextureHandle Engine::LoadTexture(const char* name) {
    d3d8::Device* device = display::CurrentDevice();
    if (!device || !name) return kNoTexture;
    d3d8::Texture* texture = nullptr;
    if (d3d8::D3DXCreateTextureFromFileA(device, name, &texture) < 0 || !texture) return kNoTexture;
    return textures::Register(texture);
}
