// A test double of IEngine that records every call, in order, as
// "Name(arg, ...)": numbers in decimal, strings quoted, pointers as "ptr" or
// "null". Calls that return something give harmless values: textures and
// screens are numbered from 1, MemAlloc hands out real blocks, objects come
// from the on... hooks (null by default), ProcessMessages from a script.
//
//   RecordingEngine e;
//   e.processResults = {1, 1, 2};  // then 2 for ever: Escape latches
//   ... code under test calls e ...
//   EXPECT_EQ(e.Names()[0], "MemInit");
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/IEngine.h"

class RecordingEngine : public IEngine {
public:
    std::vector<std::string> calls;
    // Called with each recorded call, e.g. to stop at one.
    std::function<void(const std::string&)> onCall;

    // ProcessMessages returns these in turn, then `processDefault`; once it
    // has returned 2 it returns 2 at every later call, as the engine does.
    std::deque<int32_t> processResults;
    int32_t processDefault = 1;

    std::function<Object3D*(float, float, float)> onCreateBox;
    std::function<Object3D*(const char*)> onLoadObject;
    std::function<Object3D*(Object3D*)> onCloneObject;
    std::function<Vertex*(Object3D*)> onGetVertices;
    std::function<int32_t(Object3D*)> onGetVertexCount;

    // Adds an event of something else (a sound call, a sleep) to the log.
    void Note(const std::string& event) {
        calls.push_back(event);
        if (onCall) onCall(event);
    }

    // The calls without their arguments.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const std::string& c : calls) names.push_back(c.substr(0, c.find('(')));
        return names;
    }

    size_t Count(const std::string& name) const {
        size_t n = 0;
        for (const std::string& c : Names()) n += c == name;
        return n;
    }

    Status QueryInterface(const Guid* iid, void** out) override {
        Record("QueryInterface", {Ptr(iid), Ptr(out)});
        if (out) *out = this;
        return kStatusOk;
    }
    int32_t AddRef() override {
        Record("AddRef", {});
        return ++refs;
    }
    int32_t Release() override {
        Record("Release", {});
        return --refs;
    }
    void Initialize(InstanceHandle instance, int32_t showCommand) override {
        Record("Initialize", {Ptr(instance), Num(showCommand)});
    }
    void CloseDisplay() override {
        Record("CloseDisplay", {});
    }
    void OpenDisplay(int32_t width, int32_t height, WindowHandle* windowOut, int32_t windowed, int32_t doubleSize) override {
        Record("OpenDisplay", {Num(width), Num(height), Ptr(windowOut), Num(windowed), Num(doubleSize)});
    }
    void Reserved6() override {
        Record("Reserved6", {});
    }
    int32_t ProcessMessages() override {
        Record("ProcessMessages", {});
        return NextMessageResult();
    }
    void ShowFrame() override {
        Record("ShowFrame", {});
    }
    int32_t CreateScreen() override {
        Record("CreateScreen", {});
        screens.emplace_back(640 * 480);
        return static_cast<int32_t>(screens.size());
    }
    uint16_t* GetScreen(int32_t key) override {
        Record("GetScreen", {Num(key)});
        return key >= 1 && key <= static_cast<int32_t>(screens.size()) ? screens[static_cast<size_t>(key - 1)].data() : nullptr;
    }
    void DestroyScreen(int32_t key) override {
        Record("DestroyScreen", {Num(key)});
    }
    void SetScreenFlag(int32_t index, int32_t value) override {
        Record("SetScreenFlag", {Num(index), Num(value)});
    }
    int32_t GetPauseToggle() override {
        Record("GetPauseToggle", {});
        return {};
    }
    int32_t GetMouseX() override {
        Record("GetMouseX", {});
        return {};
    }
    int32_t GetMouseY() override {
        Record("GetMouseY", {});
        return {};
    }
    void MemInit(uint32_t size) override {
        Record("MemInit", {Num(size)});
    }
    void MemDone() override {
        Record("MemDone", {});
    }
    void* MemAlloc(uint32_t size) override {
        Record("MemAlloc", {Num(size)});
        blocks.push_back(std::make_unique<uint8_t[]>(size ? size : 1));
        return blocks.back().get();
    }
    void MemFree(void* block, uint32_t size) override {
        Record("MemFree", {Ptr(block), Num(size)});
    }
    void* MemMark() override {
        Record("MemMark", {});
        return {};
    }
    void MemRelease(void* mark) override {
        Record("MemRelease", {Ptr(mark)});
    }
    void MemCopy(const void* source, void* destination, uint32_t count) override {
        Record("MemCopy", {Ptr(source), Ptr(destination), Num(count)});
    }
    void MemFill(void* destination, int32_t value, uint32_t count) override {
        Record("MemFill", {Ptr(destination), Num(value), Num(count)});
    }
    void BuildSinCosTable() override {
        Record("BuildSinCosTable", {});
    }
    uint32_t Random() override {
        Record("Random", {});
        randomState = randomState * 1103515245u + 12345u;
        return randomState >> 1;
    }
    void GetSinCos(int32_t angle, int16_t* sineOut, int16_t* cosineOut) override {
        Record("GetSinCos", {Num(angle), Ptr(sineOut), Ptr(cosineOut)});
        if (sineOut) *sineOut = 0;
        if (cosineOut) *cosineOut = 16384;
    }
    void BuildAngleTables() override {
        Record("BuildAngleTables", {});
    }
    void SetTranslation(int32_t x, int32_t y, int32_t z) override {
        Record("SetTranslation", {Num(x), Num(y), Num(z)});
    }
    void SetAngles(int32_t a, int32_t b, int32_t c) override {
        Record("SetAngles", {Num(a), Num(b), Num(c)});
    }
    void BuildRotation() override {
        Record("BuildRotation", {});
    }
    void TransformPoints(const Vertex* source, Vertex* destination, int32_t count) override {
        Record("TransformPoints", {Ptr(source), Ptr(destination), Num(count)});
    }
    void ProjectPoints(const Vertex* source, void* destination, int32_t count) override {
        Record("ProjectPoints", {Ptr(source), Ptr(destination), Num(count)});
    }
    float GetSine(int32_t angle) override {
        Record("GetSine", {Num(angle)});
        return {};
    }
    void Reserved34(int32_t ignored) override {
        Record("Reserved34", {Num(ignored)});
    }
    void Reserved35() override {
        Record("Reserved35", {});
    }
    FileHandle FileOpen(const char* name) override {
        Record("FileOpen", {Str(name)});
        return 1;
    }
    void FileClose(FileHandle file) override {
        Record("FileClose", {Num(file)});
    }
    void FileRead(FileHandle file, void* destination, uint32_t count) override {
        Record("FileRead", {Num(file), Ptr(destination), Num(count)});
    }
    uint32_t FileSize(FileHandle file) override {
        Record("FileSize", {Num(file)});
        return {};
    }
    void Reserved40(int32_t ignored) override {
        Record("Reserved40", {Num(ignored)});
    }
    int32_t Reserved41() override {
        Record("Reserved41", {});
        return {};
    }
    void AllocLoadBuffer(uint32_t size) override {
        Record("AllocLoadBuffer", {Num(size)});
    }
    void FreeLoadBuffer() override {
        Record("FreeLoadBuffer", {});
    }
    void LoadFile(const char* name, void* destination) override {
        Record("LoadFile", {Str(name), Ptr(destination)});
    }
    void LoadPcx(const char* name, uint8_t* pixels, uint8_t* palette) override {
        Record("LoadPcx", {Str(name), Ptr(pixels), Ptr(palette)});
    }
    void Reserved46() override {
        Record("Reserved46", {});
    }
    void Reserved47(int32_t ignored1, int32_t ignored2) override {
        Record("Reserved47", {Num(ignored1), Num(ignored2)});
    }
    void PaletteTo16(uint8_t* palette) override {
        Record("PaletteTo16", {Ptr(palette)});
    }
    void IndexedTo16(const uint8_t* indices, const uint16_t* palette, uint16_t* destination, int32_t count) override {
        Record("IndexedTo16", {Ptr(indices), Ptr(palette), Ptr(destination), Num(count)});
    }
    void InitFont() override {
        Record("InitFont", {});
    }
    void DrawChar(int32_t character, uint16_t* destination) override {
        Record("DrawChar", {Num(character), Ptr(destination)});
    }
    void DrawString(const char* text, uint16_t* destination) override {
        Record("DrawString", {Str(text), Ptr(destination)});
    }
    void DebugOpen() override {
        Record("DebugOpen", {});
    }
    void DebugClose() override {
        Record("DebugClose", {});
    }
    void DebugPrint(const char* text, int32_t value, int32_t radix) override {
        Record("DebugPrint", {Str(text), Num(value), Num(radix)});
    }
    void DebugFlush() override {
        Record("DebugFlush", {});
    }
    void CountFrame() override {
        Record("CountFrame", {});
    }
    int32_t Init3D(int32_t enableColoured, int32_t enableTextured, int32_t maxBatches) override {
        Record("Init3D", {Num(enableColoured), Num(enableTextured), Num(maxBatches)});
        return 1;
    }
    void Done3D() override {
        Record("Done3D", {});
    }
    void AddTriangle(const Triangle* triangle) override {
        Record("AddTriangle", {Ptr(triangle)});
    }
    void FlushTriangles() override {
        Record("FlushTriangles", {});
    }
    TextureHandle CreateTextureFromImage(const uint16_t* pixels) override {
        Record("CreateTextureFromImage", {Ptr(pixels)});
        return ++lastTexture;
    }
    void ReleaseTexture(TextureHandle texture) override {
        Record("ReleaseTexture", {Num(texture)});
    }
    TextureHandle LoadTexture(const char* name) override {
        Record("LoadTexture", {Str(name)});
        return ++lastTexture;
    }
    Object3D* CreateBox(float halfHeight, float halfWidth, float halfDepth) override {
        Record("CreateBox", {Num(halfHeight), Num(halfWidth), Num(halfDepth)});
        return onCreateBox ? onCreateBox(halfHeight, halfWidth, halfDepth) : nullptr;
    }
    void DrawObject(Object3D* object) override {
        Record("DrawObject", {Ptr(object)});
    }
    void SetObjectAngles(Object3D* object, int32_t a, int32_t b, int32_t c) override {
        Record("SetObjectAngles", {Ptr(object), Num(a), Num(b), Num(c)});
    }
    void SetObjectPosition(Object3D* object, int32_t x, int32_t y, int32_t z) override {
        Record("SetObjectPosition", {Ptr(object), Num(x), Num(y), Num(z)});
    }
    void SetMaterialColor(Object3D* object, int32_t index, uint32_t colourA, uint32_t colourB, uint32_t colourC, int32_t additive) override {
        Record("SetMaterialColor", {Ptr(object), Num(index), Num(colourA), Num(colourB), Num(colourC), Num(additive)});
    }
    void SetMaterialTexture(Object3D* object, int32_t index, TextureHandle texture, int32_t additive) override {
        Record("SetMaterialTexture", {Ptr(object), Num(index), Num(texture), Num(additive)});
    }
    void FreeObject(Object3D* object) override {
        Record("FreeObject", {Ptr(object)});
    }
    Object3D* LoadObject(const char* name) override {
        Record("LoadObject", {Str(name)});
        return onLoadObject ? onLoadObject(name) : nullptr;
    }
    void ScrollTexture(Object3D* object, float du, float dv) override {
        Record("ScrollTexture", {Ptr(object), Num(du), Num(dv)});
    }
    Object3D* CloneObject(Object3D* object) override {
        Record("CloneObject", {Ptr(object)});
        return onCloneObject ? onCloneObject(object) : nullptr;
    }
    void CopyVertices(Object3D* source, Object3D* destination) override {
        Record("CopyVertices", {Ptr(source), Ptr(destination)});
    }
    Vertex* GetVertices(Object3D* object) override {
        Record("GetVertices", {Ptr(object)});
        return onGetVertices ? onGetVertices(object) : nullptr;
    }
    int32_t GetVertexCount(Object3D* object) override {
        Record("GetVertexCount", {Ptr(object)});
        return onGetVertexCount ? onGetVertexCount(object) : 0;
    }
    void DrawObjectPlanar(Object3D* object, float scale) override {
        Record("DrawObjectPlanar", {Ptr(object), Num(scale)});
    }
    void StartTicker(TickCallback callback) override {
        Record("StartTicker", {Ptr(callback)});
    }
    void StopTicker() override {
        Record("StopTicker", {});
    }
    void ToggleTicker() override {
        Record("ToggleTicker", {});
    }

private:
    static std::string Num(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", v);
        return text;
    }
    static std::string Str(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
    template <typename T>
    static std::string Ptr(T* p) { return p ? "ptr" : "null"; }
    template <typename R, typename... A>
    static std::string Ptr(R (*p)(A...)) { return p ? "ptr" : "null"; }

    void Record(const char* name, std::initializer_list<std::string> args) {
        std::string call = std::string(name) + "(";
        bool first = true;
        for (const std::string& a : args) {
            if (!first) call += ", ";
            call += a;
            first = false;
        }
        Note(call + ")");
    }

    int32_t NextMessageResult() {
        if (quit) return 2;
        int32_t r = processDefault;
        if (!processResults.empty()) {
            r = processResults.front();
            processResults.pop_front();
        }
        quit = r == 2;
        return r;
    }

    bool quit = false;
    int32_t refs = 1;
    uint32_t randomState = 1;
    TextureHandle lastTexture = 0;
    std::vector<std::vector<uint16_t>> screens;
    std::vector<std::unique_ptr<uint8_t[]>> blocks;
};
