// Triangle batches: the device's fixed camera and states, and one batch per
// (texture, additive) key plus two coloured batches, collected in engine-heap
// buffers during a frame and drawn with one upload and one draw each.
//
// What the tables cannot hold is dropped until the next flush: a 5001st
// triangle of a batch, a key when only the table's last (terminating) entry
// is free, a triangle of a path Init3D did not enable, a textured triangle
// whose texture is the never-valid 0xFFFFFFFF (it would read as a free
// entry), and any triangle whose buffer the heap cannot supply.
#include "engine/DisplayState.h"
#include "engine/Engine.h"
#include "engine/memory/HeapRef.h"
#include "engine/render3d/BatchTable.h"
#include "engine/render3d/TextureTable.h"
#include "platform/d3d8/d3d8.h"

namespace {

using batches::kColouredBatchBytes;
using batches::kMaxTrianglesPerBatch;
using batches::kTexturedBatchBytes;

constexpr uint32_t kFree = 0xFFFFFFFFu;
constexpr uint32_t kTexturedFvf = d3d8::D3DFVF_XYZ | d3d8::D3DFVF_TEX1;
constexpr uint32_t kColouredFvf = d3d8::D3DFVF_XYZ | d3d8::D3DFVF_DIFFUSE;
constexpr uint32_t kTexturedTriangleBytes = 60;
constexpr uint32_t kColouredTriangleBytes = 48;

struct {
    d3d8::VertexBuffer* texturedVertexBuffer = nullptr;
    d3d8::VertexBuffer* colouredVertexBuffer = nullptr;
    Batch* texturedBatches = nullptr;  // in the engine heap
    int32_t maxBatches = 0;
    Batch* colouredBatches = nullptr;  // two entries in the engine heap
} state;

struct ColouredVertex {
    float x, y, z;
    uint32_t colour;
};
static_assert(sizeof(ColouredVertex) == 16);

d3d8::D3DMATRIX Identity() {
    d3d8::D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

// Returns every queued buffer to the heap and marks every entry free.
void EmptyBatches(IEngine* engine) {
    if (Batch* table = state.texturedBatches) {
        for (int32_t i = 0; i < state.maxBatches && table[i].texture != kFree; ++i) {
            Batch& b = table[i];
            engine->MemFree(heap::FromRef(b.buffer), kTexturedBatchBytes);
            textures::Unqueue(b.texture);
            b.texture = b.buffer = b.next = kFree;
            b.count = -1;
        }
    }
    if (Batch* table = state.colouredBatches) {
        for (int i = 0; i < 2; ++i) {
            Batch& b = table[i];
            if (b.count == -1) continue;
            engine->MemFree(heap::FromRef(b.buffer), kColouredBatchBytes);
            b.buffer = b.next = kFree;
            b.count = -1;
        }
    }
}

// Uploads one batch's vertices and draws them.
void DrawBatch(d3d8::Device* device, d3d8::VertexBuffer* vb, IEngine* engine, const Batch& b,
               uint32_t triangleBytes) {
    uint8_t* locked = nullptr;
    if (vb->Lock(0, 0, &locked, 0) < 0) return;
    engine->MemCopy(heap::FromRef(b.buffer), locked, uint32_t(b.count) * triangleBytes);
    vb->Unlock();
    device->DrawPrimitive(d3d8::D3DPT_TRIANGLELIST, 0, uint32_t(b.count));
}

void AddTextured(IEngine* engine, const Triangle* t) {
    Batch* table = state.texturedBatches;
    if (!table || t->texture == kFree) return;
    for (int32_t i = 0; i < state.maxBatches; ++i) {
        Batch& b = table[i];
        if (b.texture == kFree) {
            if (i == state.maxBatches - 1) return;  // the terminator stays free
            void* buffer = engine->MemAlloc(kTexturedBatchBytes);
            if (!buffer) return;
            b.texture = t->texture;
            b.additive = t->additive;
            b.buffer = heap::ToRef(buffer);
            b.count = 1;
            engine->MemCopy(t, buffer, kTexturedTriangleBytes);
            b.next = b.buffer + kTexturedTriangleBytes;
            textures::Queue(b.texture);
            return;
        }
        if (b.texture == t->texture && uint32_t(b.additive) == uint32_t(t->additive)) {
            if (b.count >= kMaxTrianglesPerBatch) return;
            ++b.count;
            engine->MemCopy(t, heap::FromRef(b.next), kTexturedTriangleBytes);
            b.next += kTexturedTriangleBytes;
            return;
        }
    }
}

void AddColoured(IEngine* engine, const Triangle* t) {
    if (!state.colouredBatches) return;
    Batch& b = state.colouredBatches[t->additive ? 0 : 1];
    if (b.count == -1) {
        void* buffer = engine->MemAlloc(kColouredBatchBytes);
        if (!buffer) return;
        b.buffer = b.next = heap::ToRef(buffer);
        b.count = 1;
    } else {
        if (b.count >= kMaxTrianglesPerBatch) return;
        ++b.count;
    }
    const ColouredVertex corners[3] = {{t->a.x, t->a.y, t->a.z, t->colourA},
                                       {t->b.x, t->b.y, t->b.z, t->colourB},
                                       {t->c.x, t->c.y, t->c.z, t->colourC}};
    engine->MemCopy(corners, heap::FromRef(b.next), kColouredTriangleBytes);
    b.next += kColouredTriangleBytes;
}

// Drops all queued triangles, frees both tables and releases the vertex buffers.
void Shutdown(IEngine* engine) {
    EmptyBatches(engine);
    if (state.texturedBatches)
        engine->MemFree(state.texturedBatches, uint32_t(state.maxBatches) * sizeof(Batch));
    if (state.colouredBatches) engine->MemFree(state.colouredBatches, 2 * sizeof(Batch));
    state.texturedBatches = state.colouredBatches = nullptr;
    state.maxBatches = 0;
    if (state.colouredVertexBuffer) state.colouredVertexBuffer->Release();
    if (state.texturedVertexBuffer) state.texturedVertexBuffer->Release();
    state.colouredVertexBuffer = state.texturedVertexBuffer = nullptr;
}

}  // namespace

namespace batches {

const Batch* TexturedTable() { return state.texturedBatches; }
int32_t TexturedCapacity() { return state.maxBatches; }
const Batch* ColouredTable() { return state.colouredBatches; }

bool Check() {
    if (const Batch* table = state.texturedBatches) {
        if (state.maxBatches < 1 || table[state.maxBatches - 1].texture != kFree) return false;
        bool inUse = true;
        for (int32_t i = 0; i < state.maxBatches; ++i) {
            const Batch& b = table[i];
            if (b.texture == kFree) {
                inUse = false;
                if (b.buffer != kFree || b.next != kFree || b.count != -1) return false;
            } else {
                if (!inUse || b.count < 1 || b.count > kMaxTrianglesPerBatch ||
                    b.next != b.buffer + uint32_t(b.count) * 60)
                    return false;
            }
        }
    }
    if (const Batch* table = state.colouredBatches) {
        for (int i = 0; i < 2; ++i) {
            const Batch& b = table[i];
            if (b.count == -1) {
                if (b.buffer != kFree || b.next != kFree) return false;
            } else if (b.count < 1 || b.count > kMaxTrianglesPerBatch ||
                       b.next != b.buffer + uint32_t(b.count) * 48) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace batches

int32_t Engine::Init3D(int32_t enableColoured, int32_t enableTextured, int32_t maxBatches) {
    Shutdown(this);
    d3d8::Device* device = display::CurrentDevice();
    if (!device) return -1;

    d3d8::D3DVIEWPORT8 viewport{0, 0, uint32_t(display::Width()), uint32_t(display::Height()), 0.0f,
                                1.0f};
    if (device->SetViewport(&viewport) < 0) return -1;

    // The camera sits at z = -10 looking along +z; the projection scales x by
    // 1.5 and y by 2 and puts the near plane at w = 1, the far one at infinity.
    d3d8::D3DMATRIX view = Identity();
    view.m[3][2] = 10.0f;
    d3d8::D3DMATRIX projection{};
    projection.m[0][0] = 1.5f;
    projection.m[1][1] = 2.0f;
    projection.m[2][2] = 1.0f;
    projection.m[2][3] = 1.0f;
    projection.m[3][2] = -1.0f;
    d3d8::D3DMATRIX world = Identity();
    if (device->SetTransform(d3d8::D3DTS_VIEW, &view) < 0) return -1;
    if (device->SetTransform(d3d8::D3DTS_PROJECTION, &projection) < 0) return -1;
    if (device->SetTransform(d3d8::D3DTS_WORLD, &world) < 0) return -1;

    if (device->SetRenderState(d3d8::D3DRS_LIGHTING, 0) < 0) return -1;
    if (device->SetRenderState(d3d8::D3DRS_CULLMODE, d3d8::D3DCULL_CW) < 0) return -1;
    if (device->SetRenderState(d3d8::D3DRS_ZENABLE, 1) < 0) return -1;
    if (device->SetRenderState(d3d8::D3DRS_SRCBLEND, d3d8::D3DBLEND_ONE) < 0) return -1;
    if (device->SetRenderState(d3d8::D3DRS_DESTBLEND, d3d8::D3DBLEND_ONE) < 0) return -1;

    if (enableTextured) {
        if (device->CreateVertexBuffer(kTexturedBatchBytes, d3d8::D3DUSAGE_SOFTWAREPROCESSING,
                                       kTexturedFvf, d3d8::D3DPOOL_MANAGED,
                                       &state.texturedVertexBuffer) < 0)
            return -1;
        // At least one entry, which always stays free to end the list.
        int32_t entries = maxBatches < 1 ? 1 : maxBatches > 65536 ? 65536 : maxBatches;
        uint32_t bytes = uint32_t(entries) * sizeof(Batch);
        void* table = MemAlloc(bytes);
        if (!table) return -1;
        MemFill(table, 0xFF, bytes);
        state.texturedBatches = static_cast<Batch*>(table);
        state.maxBatches = entries;
    }
    if (enableColoured) {
        if (device->CreateVertexBuffer(kColouredBatchBytes, d3d8::D3DUSAGE_SOFTWAREPROCESSING,
                                       kColouredFvf, d3d8::D3DPOOL_MANAGED,
                                       &state.colouredVertexBuffer) < 0)
            return -1;
        void* table = MemAlloc(2 * sizeof(Batch));
        if (!table) return -1;
        MemFill(table, 0xFF, 2 * sizeof(Batch));
        state.colouredBatches = static_cast<Batch*>(table);
    }
    return 0;
}

void Engine::Done3D() { Shutdown(this); }

void Engine::AddTriangle(const Triangle* triangle) {
    if (!triangle) return;
    if (triangle->textured)
        AddTextured(this, triangle);
    else if (triangle->coloured)
        AddColoured(this, triangle);
}

void Engine::FlushTriangles() {
    d3d8::Device* device = display::CurrentDevice();
    if (device) {
        device->Clear(0, nullptr, d3d8::D3DCLEAR_TARGET | d3d8::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        if (const Batch* table = state.texturedBatches) {
            for (int32_t i = 0; i < state.maxBatches && table[i].texture != kFree; ++i) {
                const Batch& b = table[i];
                device->SetStreamSource(0, state.texturedVertexBuffer, 20);
                device->SetVertexShader(kTexturedFvf);
                device->SetTexture(0, textures::Find(b.texture));
                device->SetRenderState(d3d8::D3DRS_ALPHABLENDENABLE, b.additive ? 1 : 0);
                DrawBatch(device, state.texturedVertexBuffer, this, b, kTexturedTriangleBytes);
            }
        }
        if (const Batch* table = state.colouredBatches) {
            for (int i = 0; i < 2; ++i) {
                const Batch& b = table[i];
                if (b.count == -1) continue;
                uint8_t* locked = nullptr;
                if (state.colouredVertexBuffer->Lock(0, 0, &locked, 0) < 0) continue;
                MemCopy(heap::FromRef(b.buffer), locked, uint32_t(b.count) * kColouredTriangleBytes);
                state.colouredVertexBuffer->Unlock();
                device->SetTexture(0, nullptr);
                device->SetRenderState(d3d8::D3DRS_ALPHABLENDENABLE, i == 0 ? 1 : 0);
                device->SetStreamSource(0, state.colouredVertexBuffer, 16);
                device->SetVertexShader(kColouredFvf);
                device->DrawPrimitive(d3d8::D3DPT_TRIANGLELIST, 0, uint32_t(b.count));
            }
        }
    }
    EmptyBatches(this);
}
