// The engine object: factory, interface identifiers and identity operations.
#include "engine/Engine.h"

#include <cstring>
#include <new>

const Guid IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const Guid IID_IEngine = {0xF7798884, 0x1ADD, 0x400C, {0x97, 0x5E, 0xA3, 0xC7, 0x74, 0x3C, 0x6E, 0x7A}};

IEngine* CreateEngine() { return new (std::nothrow) Engine(); }

void DestroyEngine(IEngine* engine) { ::operator delete(static_cast<Engine*>(engine)); }

Status Engine::QueryInterface(const Guid* iid, void** out) {
    if (std::memcmp(iid, &IID_IUnknown, sizeof(Guid)) == 0 ||
        std::memcmp(iid, &IID_IEngine, sizeof(Guid)) == 0) {
        IEngine* self = this;
        *out = self;
        self->AddRef();
        return kStatusOk;
    }
    *out = nullptr;
    return kStatusNoInterface;
}

int32_t Engine::AddRef() { return refCount_.fetch_add(1) + 1; }

int32_t Engine::Release() {
    if (refCount_.fetch_sub(1) - 1 != 0) return refCount_.load();
    delete this;
    return 0;
}
