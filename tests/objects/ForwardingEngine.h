// An IEngine that forwards every operation to another engine. Tests derive
// from it and override the operations they want to watch or replace; the
// operation under test is then run with the forwarder as its interface.
#pragma once

#include "engine/IEngine.h"

class ForwardingEngine : public IEngine {
public:
    explicit ForwardingEngine(IEngine* target) : inner(target) {}
    IEngine* inner;

    Status QueryInterface(const Guid* iid, void** out) override { return inner->QueryInterface(iid, out); }
    int32_t AddRef() override { return inner->AddRef(); }
    int32_t Release() override { return inner->Release(); }
    void Initialize(InstanceHandle instance, int32_t showCommand) override { inner->Initialize(instance, showCommand); }
    void CloseDisplay() override { inner->CloseDisplay(); }
    void OpenDisplay(int32_t width, int32_t height, WindowHandle* windowOut, int32_t windowed, int32_t doubleSize) override { inner->OpenDisplay(width, height, windowOut, windowed, doubleSize); }
    void Reserved6() override { inner->Reserved6(); }
    int32_t ProcessMessages() override { return inner->ProcessMessages(); }
    void ShowFrame() override { inner->ShowFrame(); }
    int32_t CreateScreen() override { return inner->CreateScreen(); }
    uint16_t* GetScreen(int32_t key) override { return inner->GetScreen(key); }
    void DestroyScreen(int32_t key) override { inner->DestroyScreen(key); }
    void SetScreenFlag(int32_t index, int32_t value) override { inner->SetScreenFlag(index, value); }
    int32_t GetPauseToggle() override { return inner->GetPauseToggle(); }
    int32_t GetMouseX() override { return inner->GetMouseX(); }
    int32_t GetMouseY() override { return inner->GetMouseY(); }
    void MemInit(uint32_t size) override { inner->MemInit(size); }
    void MemDone() override { inner->MemDone(); }
    void* MemAlloc(uint32_t size) override { return inner->MemAlloc(size); }
    void MemFree(void* block, uint32_t size) override { inner->MemFree(block, size); }
    void* MemMark() override { return inner->MemMark(); }
    void MemRelease(void* mark) override { inner->MemRelease(mark); }
    void MemCopy(const void* source, void* destination, uint32_t count) override { inner->MemCopy(source, destination, count); }
    void MemFill(void* destination, int32_t value, uint32_t count) override { inner->MemFill(destination, value, count); }
    void BuildSinCosTable() override { inner->BuildSinCosTable(); }
    uint32_t Random() override { return inner->Random(); }
    void GetSinCos(int32_t angle, int16_t* sineOut, int16_t* cosineOut) override { inner->GetSinCos(angle, sineOut, cosineOut); }
    void BuildAngleTables() override { inner->BuildAngleTables(); }
    void SetTranslation(int32_t x, int32_t y, int32_t z) override { inner->SetTranslation(x, y, z); }
    void SetAngles(int32_t a, int32_t b, int32_t c) override { inner->SetAngles(a, b, c); }
    void BuildRotation() override { inner->BuildRotation(); }
    void TransformPoints(const Vertex* source, Vertex* destination, int32_t count) override { inner->TransformPoints(source, destination, count); }
    void ProjectPoints(const Vertex* source, void* destination, int32_t count) override { inner->ProjectPoints(source, destination, count); }
    float GetSine(int32_t angle) override { return inner->GetSine(angle); }
    void Reserved34(int32_t ignored) override { inner->Reserved34(ignored); }
    void Reserved35() override { inner->Reserved35(); }
    FileHandle FileOpen(const char* name) override { return inner->FileOpen(name); }
    void FileClose(FileHandle file) override { inner->FileClose(file); }
    void FileRead(FileHandle file, void* destination, uint32_t count) override { inner->FileRead(file, destination, count); }
    uint32_t FileSize(FileHandle file) override { return inner->FileSize(file); }
    void Reserved40(int32_t ignored) override { inner->Reserved40(ignored); }
    int32_t Reserved41() override { return inner->Reserved41(); }
    void AllocLoadBuffer(uint32_t size) override { inner->AllocLoadBuffer(size); }
    void FreeLoadBuffer() override { inner->FreeLoadBuffer(); }
    void LoadFile(const char* name, void* destination) override { inner->LoadFile(name, destination); }
    void LoadPcx(const char* name, uint8_t* pixels, uint8_t* palette) override { inner->LoadPcx(name, pixels, palette); }
    void Reserved46() override { inner->Reserved46(); }
    void Reserved47(int32_t ignored1, int32_t ignored2) override { inner->Reserved47(ignored1, ignored2); }
    void PaletteTo16(uint8_t* palette) override { inner->PaletteTo16(palette); }
    void IndexedTo16(const uint8_t* indices, const uint16_t* palette, uint16_t* destination, int32_t count) override { inner->IndexedTo16(indices, palette, destination, count); }
    void InitFont() override { inner->InitFont(); }
    void DrawChar(int32_t character, uint16_t* destination) override { inner->DrawChar(character, destination); }
    void DrawString(const char* text, uint16_t* destination) override { inner->DrawString(text, destination); }
    void DebugOpen() override { inner->DebugOpen(); }
    void DebugClose() override { inner->DebugClose(); }
    void DebugPrint(const char* text, int32_t value, int32_t radix) override { inner->DebugPrint(text, value, radix); }
    void DebugFlush() override { inner->DebugFlush(); }
    void CountFrame() override { inner->CountFrame(); }
    int32_t Init3D(int32_t enableColoured, int32_t enableTextured, int32_t maxBatches) override { return inner->Init3D(enableColoured, enableTextured, maxBatches); }
    void Done3D() override { inner->Done3D(); }
    void AddTriangle(const Triangle* triangle) override { inner->AddTriangle(triangle); }
    void FlushTriangles() override { inner->FlushTriangles(); }
    TextureHandle CreateTextureFromImage(const uint16_t* pixels) override { return inner->CreateTextureFromImage(pixels); }
    void ReleaseTexture(TextureHandle texture) override { inner->ReleaseTexture(texture); }
    TextureHandle LoadTexture(const char* name) override { return inner->LoadTexture(name); }
    Object3D* CreateBox(float halfHeight, float halfWidth, float halfDepth) override { return inner->CreateBox(halfHeight, halfWidth, halfDepth); }
    void DrawObject(Object3D* object) override { inner->DrawObject(object); }
    void SetObjectAngles(Object3D* object, int32_t a, int32_t b, int32_t c) override { inner->SetObjectAngles(object, a, b, c); }
    void SetObjectPosition(Object3D* object, int32_t x, int32_t y, int32_t z) override { inner->SetObjectPosition(object, x, y, z); }
    void SetMaterialColor(Object3D* object, int32_t index, uint32_t colourA, uint32_t colourB, uint32_t colourC, int32_t additive) override { inner->SetMaterialColor(object, index, colourA, colourB, colourC, additive); }
    void SetMaterialTexture(Object3D* object, int32_t index, TextureHandle texture, int32_t additive) override { inner->SetMaterialTexture(object, index, texture, additive); }
    void FreeObject(Object3D* object) override { inner->FreeObject(object); }
    Object3D* LoadObject(const char* name) override { return inner->LoadObject(name); }
    void ScrollTexture(Object3D* object, float du, float dv) override { inner->ScrollTexture(object, du, dv); }
    Object3D* CloneObject(Object3D* object) override { return inner->CloneObject(object); }
    void CopyVertices(Object3D* source, Object3D* destination) override { inner->CopyVertices(source, destination); }
    Vertex* GetVertices(Object3D* object) override { return inner->GetVertices(object); }
    int32_t GetVertexCount(Object3D* object) override { return inner->GetVertexCount(object); }
    void DrawObjectPlanar(Object3D* object, float scale) override { inner->DrawObjectPlanar(object, scale); }
    void StartTicker(TickCallback callback) override { inner->StartTicker(callback); }
    void StopTicker() override { inner->StopTicker(); }
    void ToggleTicker() override { inner->ToggleTicker(); }
};
