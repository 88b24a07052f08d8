// IEngine: the one table of operations through which the demo reaches the
// engine, and through which engine parts reach each other.
//
//   IEngine* e = CreateEngine();
//   e->MemInit(4 * 1024 * 1024);
//   ...
//
// The 82 operations below are in fixed slot order (slot N is the Nth virtual
// function); tests check the order. All engine state lives in module-level
// state of the subsystem files, not in the object: every Engine shares it.
#pragma once

#include <cstdint>

#include "engine/render3d/Records.h"

namespace os {
struct Window;
}

// 16-byte interface identifier in the usual little-endian layout.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

extern const Guid IID_IUnknown;  // {00000000-0000-0000-C000-000000000046}
extern const Guid IID_IEngine;   // {F7798884-1ADD-400C-975E-A3C7743C6E7A}

using Status = int32_t;
constexpr Status kStatusOk = 0;
constexpr Status kStatusNoInterface = static_cast<Status>(0x80004002u);

using InstanceHandle = void*;
using WindowHandle = os::Window*;
using FileHandle = intptr_t;  // kInvalidFileHandle when an open failed
constexpr FileHandle kInvalidFileHandle = -1;
using TextureHandle = uint32_t;  // 0: no texture; 0xFFFFFFFF: never valid
constexpr TextureHandle kNoTexture = 0;
constexpr TextureHandle kBadTexture = 0xFFFFFFFFu;
using TickCallback = void (*)();

class IEngine {
public:
    // identity (slots 0-2)
    virtual Status QueryInterface(const Guid* iid, void** out) = 0;
    virtual int32_t AddRef() = 0;
    virtual int32_t Release() = 0;
    // window, display, screens (3-15)
    virtual void Initialize(InstanceHandle instance, int32_t showCommand) = 0;
    virtual void CloseDisplay() = 0;
    virtual void OpenDisplay(int32_t width, int32_t height, WindowHandle* windowOut,
                             int32_t windowed, int32_t doubleSize) = 0;
    virtual void Reserved6() = 0;
    virtual int32_t ProcessMessages() = 0;
    virtual void ShowFrame() = 0;
    virtual int32_t CreateScreen() = 0;
    virtual uint16_t* GetScreen(int32_t key) = 0;
    virtual void DestroyScreen(int32_t key) = 0;
    virtual void SetScreenFlag(int32_t index, int32_t value) = 0;
    virtual int32_t GetPauseToggle() = 0;
    virtual int32_t GetMouseX() = 0;
    virtual int32_t GetMouseY() = 0;
    // heap (16-23)
    virtual void MemInit(uint32_t size) = 0;
    virtual void MemDone() = 0;
    virtual void* MemAlloc(uint32_t size) = 0;
    virtual void MemFree(void* block, uint32_t size) = 0;
    virtual void* MemMark() = 0;
    virtual void MemRelease(void* mark) = 0;
    virtual void MemCopy(const void* source, void* destination, uint32_t count) = 0;
    virtual void MemFill(void* destination, int32_t value, uint32_t count) = 0;
    // math (24-35)
    virtual void BuildSinCosTable() = 0;
    virtual uint32_t Random() = 0;
    virtual void GetSinCos(int32_t angle, int16_t* sineOut, int16_t* cosineOut) = 0;
    virtual void BuildAngleTables() = 0;
    virtual void SetTranslation(int32_t x, int32_t y, int32_t z) = 0;
    virtual void SetAngles(int32_t a, int32_t b, int32_t c) = 0;
    virtual void BuildRotation() = 0;
    virtual void TransformPoints(const Vertex* source, Vertex* destination, int32_t count) = 0;
    virtual void ProjectPoints(const Vertex* source, void* destination, int32_t count) = 0;
    virtual float GetSine(int32_t angle) = 0;
    virtual void Reserved34(int32_t ignored) = 0;
    virtual void Reserved35() = 0;
    // files (36-44)
    virtual FileHandle FileOpen(const char* name) = 0;
    virtual void FileClose(FileHandle file) = 0;
    virtual void FileRead(FileHandle file, void* destination, uint32_t count) = 0;
    virtual uint32_t FileSize(FileHandle file) = 0;
    virtual void Reserved40(int32_t ignored) = 0;
    virtual int32_t Reserved41() = 0;
    virtual void AllocLoadBuffer(uint32_t size) = 0;
    virtual void FreeLoadBuffer() = 0;
    virtual void LoadFile(const char* name, void* destination) = 0;
    // images and font (45-52)
    virtual void LoadPcx(const char* name, uint8_t* pixels, uint8_t* palette) = 0;
    virtual void Reserved46() = 0;
    virtual void Reserved47(int32_t ignored1, int32_t ignored2) = 0;
    virtual void PaletteTo16(uint8_t* palette) = 0;
    virtual void IndexedTo16(const uint8_t* indices, const uint16_t* palette,
                             uint16_t* destination, int32_t count) = 0;
    virtual void InitFont() = 0;
    virtual void DrawChar(int32_t character, uint16_t* destination) = 0;
    virtual void DrawString(const char* text, uint16_t* destination) = 0;
    // diagnostics (53-57)
    virtual void DebugOpen() = 0;
    virtual void DebugClose() = 0;
    virtual void DebugPrint(const char* text, int32_t value, int32_t radix) = 0;
    virtual void DebugFlush() = 0;
    virtual void CountFrame() = 0;
    // 3D device state and batches (58-61)
    virtual int32_t Init3D(int32_t enableColoured, int32_t enableTextured, int32_t maxBatches) = 0;
    virtual void Done3D() = 0;
    virtual void AddTriangle(const Triangle* triangle) = 0;
    virtual void FlushTriangles() = 0;
    // textures (62-64)
    virtual TextureHandle CreateTextureFromImage(const uint16_t* pixels) = 0;
    virtual void ReleaseTexture(TextureHandle texture) = 0;
    virtual TextureHandle LoadTexture(const char* name) = 0;
    // objects (65-78)
    virtual Object3D* CreateBox(float halfHeight, float halfWidth, float halfDepth) = 0;
    virtual void DrawObject(Object3D* object) = 0;
    virtual void SetObjectAngles(Object3D* object, int32_t a, int32_t b, int32_t c) = 0;
    virtual void SetObjectPosition(Object3D* object, int32_t x, int32_t y, int32_t z) = 0;
    virtual void SetMaterialColor(Object3D* object, int32_t index, uint32_t colourA,
                                  uint32_t colourB, uint32_t colourC, int32_t additive) = 0;
    virtual void SetMaterialTexture(Object3D* object, int32_t index, TextureHandle texture,
                                    int32_t additive) = 0;
    virtual void FreeObject(Object3D* object) = 0;
    virtual Object3D* LoadObject(const char* name) = 0;
    virtual void ScrollTexture(Object3D* object, float du, float dv) = 0;
    virtual Object3D* CloneObject(Object3D* object) = 0;
    virtual void CopyVertices(Object3D* source, Object3D* destination) = 0;
    virtual Vertex* GetVertices(Object3D* object) = 0;
    virtual int32_t GetVertexCount(Object3D* object) = 0;
    virtual void DrawObjectPlanar(Object3D* object, float scale) = 0;
    // tick thread (79-81)
    virtual void StartTicker(TickCallback callback) = 0;
    virtual void StopTicker() = 0;
    virtual void ToggleTicker() = 0;
};

// Allocates an Engine from the process allocator; null when that fails.
IEngine* CreateEngine();
// Returns an Engine's storage directly, touching nothing else.
void DestroyEngine(IEngine* engine);
