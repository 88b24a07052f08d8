// .3do objects: load with the engine's checks, then draw, flush and free what
// loaded. The heap must come back exactly as it was.
#include "engine/memory/Heap.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IEngine* e = fuzz::Engine();
    const uint32_t top = heap::TopRef();
    const uint32_t free = heap::FreeBytes();
    const std::string& name = fuzz::WriteScratch(data, size);
    if (Object3D* object = e->LoadObject(name.c_str())) {
        e->DrawObject(object);
        e->DrawObjectPlanar(object, 64.0f);
        Object3D* clone = e->CloneObject(object);
        e->CopyVertices(object, clone);
        e->ScrollTexture(clone, 0.1f, 0.1f);
        e->DrawObject(clone);
        e->FlushTriangles();
        e->FreeObject(clone);
        e->FreeObject(object);
    }
    fuzz::CheckHeap();
    if (heap::TopRef() != top || heap::FreeBytes() != free) __builtin_trap();
    return 0;
}
