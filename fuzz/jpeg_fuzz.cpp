// JPEG textures: load through the engine, draw one textured triangle with the
// result, release it.
#include "engine/memory/Heap.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IEngine* e = fuzz::Engine();
    const std::string& name = fuzz::WriteScratch(data, size);
    const TextureHandle texture = e->LoadTexture(name.c_str());
    if (texture != kNoTexture) {
        Triangle t{};
        t.a = {-5, -5, 10, 0, 0};
        t.b = {0, 5, 10, 0.5f, 1};
        t.c = {5, -5, 10, 3.7f, -2.2f};
        t.texture = texture;
        t.textured = 1;
        e->AddTriangle(&t);
        e->ReleaseTexture(texture);
        e->FlushTriangles();
    }
    fuzz::CheckHeap();
    return 0;
}
