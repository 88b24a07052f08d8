// Engine: the one implementation of IEngine. Its only field is the reference
// count; every operation is defined in the file of its subsystem
// (engine/memory/Heap.cpp, engine/math/Math.cpp, ...).
#pragma once

#include <atomic>

#include "engine/IEngine.h"

class Engine final : public IEngine {
public:
    Status QueryInterface(const Guid* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    void Initialize(InstanceHandle instance, int32_t showCommand) override;
    void CloseDisplay() override;
    void OpenDisplay(int32_t width, int32_t height, WindowHandle* windowOut, int32_t windowed, int32_t doubleSize) override;
    void Reserved6() override;
    int32_t ProcessMessages() override;
    void ShowFrame() override;
    int32_t CreateScreen() override;
    uint16_t* GetScreen(int32_t key) override;
    void DestroyScreen(int32_t key) override;
    void SetScreenFlag(int32_t index, int32_t value) override;
    int32_t GetPauseToggle() override;
    int32_t GetMouseX() override;
    int32_t GetMouseY() override;
    void MemInit(uint32_t size) override;
    void MemDone() override;
    void* MemAlloc(uint32_t size) override;
    void MemFree(void* block, uint32_t size) override;
    void* MemMark() override;
    void MemRelease(void* mark) override;
    void MemCopy(const void* source, void* destination, uint32_t count) override;
    void MemFill(void* destination, int32_t value, uint32_t count) override;
    void BuildSinCosTable() override;
    uint32_t Random() override;
    void GetSinCos(int32_t angle, int16_t* sineOut, int16_t* cosineOut) override;
    void BuildAngleTables() override;
    void SetTranslation(int32_t x, int32_t y, int32_t z) override;
    void SetAngles(int32_t a, int32_t b, int32_t c) override;
    void BuildRotation() override;
    void TransformPoints(const Vertex* source, Vertex* destination, int32_t count) override;
    void ProjectPoints(const Vertex* source, void* destination, int32_t count) override;
    float GetSine(int32_t angle) override;
    void Reserved34(int32_t ignored) override;
    void Reserved35() override;
    FileHandle FileOpen(const char* name) override;
    void FileClose(FileHandle file) override;
    void FileRead(FileHandle file, void* destination, uint32_t count) override;
    uint32_t FileSize(FileHandle file) override;
    void Reserved40(int32_t ignored) override;
    int32_t Reserved41() override;
    void AllocLoadBuffer(uint32_t size) override;
    void FreeLoadBuffer() override;
    void LoadFile(const char* name, void* destination) override;
    void LoadPcx(const char* name, uint8_t* pixels, uint8_t* palette) override;
    void Reserved46() override;
    void Reserved47(int32_t ignored1, int32_t ignored2) override;
    void PaletteTo16(uint8_t* palette) override;
    void IndexedTo16(const uint8_t* indices, const uint16_t* palette, uint16_t* destination, int32_t count) override;
    void InitFont() override;
    void DrawChar(int32_t character, uint16_t* destination) override;
    void DrawString(const char* text, uint16_t* destination) override;
    void DebugOpen() override;
    void DebugClose() override;
    void DebugPrint(const char* text, int32_t value, int32_t radix) override;
    void DebugFlush() override;
    void CountFrame() override;
    int32_t Init3D(int32_t enableColoured, int32_t enableTextured, int32_t maxBatches) override;
    void Done3D() override;
    void AddTriangle(const Triangle* triangle) override;
    void FlushTriangles() override;
    TextureHandle CreateTextureFromImage(const uint16_t* pixels) override;
    void ReleaseTexture(TextureHandle texture) override;
    TextureHandle LoadTexture(const char* name) override;
    Object3D* CreateBox(float halfHeight, float halfWidth, float halfDepth) override;
    void DrawObject(Object3D* object) override;
    void SetObjectAngles(Object3D* object, int32_t a, int32_t b, int32_t c) override;
    void SetObjectPosition(Object3D* object, int32_t x, int32_t y, int32_t z) override;
    void SetMaterialColor(Object3D* object, int32_t index, uint32_t colourA, uint32_t colourB, uint32_t colourC, int32_t additive) override;
    void SetMaterialTexture(Object3D* object, int32_t index, TextureHandle texture, int32_t additive) override;
    void FreeObject(Object3D* object) override;
    Object3D* LoadObject(const char* name) override;
    void ScrollTexture(Object3D* object, float du, float dv) override;
    Object3D* CloneObject(Object3D* object) override;
    void CopyVertices(Object3D* source, Object3D* destination) override;
    Vertex* GetVertices(Object3D* object) override;
    int32_t GetVertexCount(Object3D* object) override;
    void DrawObjectPlanar(Object3D* object, float scale) override;
    void StartTicker(TickCallback callback) override;
    void StopTicker() override;
    void ToggleTicker() override;

private:
    std::atomic<int32_t> refCount_{0};
};
