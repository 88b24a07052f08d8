// A stand-in for the engine that the scene tests drive the scenes against.
// It records every call a scene makes, in order, as text ("SetObjectPosition
// panel 0 0 8"), keeps objects and textures as named records so that frees
// and releases can be matched against loads, and lets a test script
// ProcessMessages and run tick callbacks at chosen points. GetSine and Random
// follow the engine's tables and generator.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/IEngine.h"

namespace scenetest {

struct FakeObject {
    Object3D record{};  // first, so that the record's address is the object's
    std::string name;
    std::vector<Vertex> vertices;
    TextureHandle texture = kNoTexture;  // material 0
    int32_t additive = 0;
    bool coloured = false;
    uint32_t colour = 0;
    float scrollU = 0, scrollV = 0;
    bool live = true;
};

// One DrawObject: the object's state as it was drawn.
struct Draw {
    std::string name;
    int32_t x, y, z, a, b, c;
    TextureHandle texture;
    int32_t additive;
    std::vector<Vertex> vertices;
    float scrollU, scrollV;
};

class FakeEngine final : public IEngine {
public:
    FakeEngine() {
        for (int i = 0; i < 512; ++i) sine_[i] = static_cast<float>(std::sin(M_PI / 256 * i));
    }

    // --- scripting -------------------------------------------------------
    // Called for every ProcessMessages, with its 1-based call number; default 1.
    std::function<int32_t(int64_t)> messages;
    // Called before each ProcessMessages answers (after counting it).
    std::function<void()> beforeMessages;
    // Vertices given to objects loaded from a file of this base name.
    std::map<std::string, std::vector<Vertex>> vertexData;
    // The engine whose tick thread runs the callbacks instead of Tick().
    IEngine* realTicker = nullptr;
    // A run that never ends is cut off by answering 2 after this many calls.
    int64_t messageLimit = 2'000'000;

    // Runs the registered tick callback n times if the ticker runs unpaused.
    void Tick(int n = 1) {
        if (realTicker) return;
        for (int i = 0; i < n; ++i)
            if (tickerRunning && !tickerPaused && tickCallback) tickCallback();
    }

    // --- what was recorded -------------------------------------------------
    std::vector<std::string> calls;
    std::vector<Draw> draws;
    std::vector<std::vector<Draw>> shown;  // the draws of each shown frame
    std::vector<std::string> errors;       // frees of dead objects and the like
    std::map<TextureHandle, std::string> textureNames;
    std::map<TextureHandle, bool> textureLive;
    std::vector<std::unique_ptr<FakeObject>> objects;
    int64_t messageCalls = 0;
    int64_t randomCalls = 0;
    int64_t countFrames = 0;
    TickCallback tickCallback = nullptr;
    bool tickerRunning = false;
    bool tickerPaused = false;
    size_t pendingFrom = 0;  // first draw not yet shown

    FakeObject* Find(const std::string& name) {
        for (auto& o : objects)
            if (o->name == name && o->live) return o.get();
        return nullptr;
    }
    FakeObject* Of(Object3D* record) {
        for (auto& o : objects)
            if (&o->record == record) return o.get();
        return nullptr;
    }
    std::vector<std::string> LiveObjects() const {
        std::vector<std::string> out;
        for (auto& o : objects)
            if (o->live) out.push_back(o->name);
        return out;
    }
    std::vector<std::string> LiveTextures() const {
        std::vector<std::string> out;
        for (auto& [h, live] : textureLive)
            if (live) out.push_back(textureNames.at(h));
        return out;
    }
    // The calls whose text starts with one of the prefixes, in order.
    std::vector<std::string> CallsStartingWith(std::initializer_list<const char*> prefixes) const {
        std::vector<std::string> out;
        for (auto& c : calls)
            for (const char* p : prefixes)
                if (c.rfind(p, 0) == 0) {
                    out.push_back(c);
                    break;
                }
        return out;
    }
    std::vector<Draw> DrawsOf(const std::string& name) const {
        std::vector<Draw> out;
        for (auto& d : draws)
            if (d.name == name) out.push_back(d);
        return out;
    }

    // --- the operations the scenes use ---------------------------------------
    int32_t ProcessMessages() override {
        ++messageCalls;
        calls.push_back("ProcessMessages");
        if (beforeMessages) beforeMessages();
        if (messageCalls > messageLimit) {
            errors.push_back("ProcessMessages: call limit reached");
            return 2;
        }
        return messages ? messages(messageCalls) : 1;
    }
    void ShowFrame() override {
        calls.push_back("ShowFrame");
        shown.emplace_back(draws.begin() + static_cast<std::ptrdiff_t>(pendingFrom), draws.end());
        pendingFrom = draws.size();
    }
    uint32_t Random() override {
        ++randomCalls;
        const uint32_t product = 75u * seed_;
        const uint32_t v = (product & 0xFFFF) + 75 - (product >> 16);
        seed_ = v >= 65536 ? v - 65536 : v;
        calls.push_back("Random " + std::to_string(seed_));
        return seed_;
    }
    float GetSine(int32_t angle) override { return sine_[angle & 511]; }
    void CountFrame() override {
        ++countFrames;
        calls.push_back("CountFrame");
    }
    void DebugFlush() override { calls.push_back("DebugFlush"); }

    TextureHandle LoadTexture(const char* name) override {
        const TextureHandle h = nextTexture_++;
        textureNames[h] = BaseName(name);
        textureLive[h] = true;
        calls.push_back("LoadTexture " + textureNames[h]);
        return h;
    }
    void ReleaseTexture(TextureHandle texture) override {
        auto it = textureLive.find(texture);
        calls.push_back("ReleaseTexture " + (it == textureLive.end() ? std::string("?")
                                                                     : textureNames[texture]));
        if (it == textureLive.end() || !it->second)
            errors.push_back("ReleaseTexture of a handle not live: " + std::to_string(texture));
        else
            it->second = false;
    }

    Object3D* LoadObject(const char* name) override {
        auto o = std::make_unique<FakeObject>();
        const std::string base = BaseName(name);
        o->name = Unique(base.substr(0, base.rfind('.')));
        auto data = vertexData.find(base.substr(0, base.rfind('.')));
        o->vertices = data != vertexData.end() ? data->second
                                               : std::vector<Vertex>{{1, 2, 3}, {-4, 5, -6}};
        calls.push_back("LoadObject " + o->name);
        return Add(std::move(o));
    }
    Object3D* CreateBox(float halfHeight, float halfWidth, float halfDepth) override {
        auto o = std::make_unique<FakeObject>();
        o->name = Unique("box");
        o->vertices = {{halfWidth, halfHeight, halfDepth}};
        calls.push_back("CreateBox " + Num(halfHeight) + " " + Num(halfWidth) + " " +
                        Num(halfDepth));
        return Add(std::move(o));
    }
    Object3D* CloneObject(Object3D* object) override {
        FakeObject* src = Live(object, "CloneObject");
        auto o = std::make_unique<FakeObject>();
        if (src) {
            *o = *src;
            o->live = true;
        }
        o->name = Unique("clone(" + (src ? src->name : std::string("?")) + ")");
        calls.push_back("CloneObject " + (src ? src->name : std::string("?")));
        return Add(std::move(o));
    }
    void FreeObject(Object3D* object) override {
        FakeObject* o = Live(object, "FreeObject");
        calls.push_back("FreeObject " + (o ? o->name : std::string("?")));
        if (o) o->live = false;
    }
    void DrawObject(Object3D* object) override {
        FakeObject* o = Live(object, "DrawObject");
        calls.push_back("DrawObject " + (o ? o->name : std::string("?")));
        if (!o) return;
        const Object3D& r = o->record;
        if (o->texture != kNoTexture && !textureLive[o->texture])
            errors.push_back("DrawObject " + o->name + " with a released texture");
        draws.push_back({o->name, r.positionX, r.positionY, r.positionZ, r.angleA, r.angleB,
                         r.angleC, o->texture, o->additive, o->vertices, o->scrollU, o->scrollV});
    }
    void SetObjectAngles(Object3D* object, int32_t a, int32_t b, int32_t c) override {
        FakeObject* o = Live(object, "SetObjectAngles");
        calls.push_back("SetObjectAngles " + Name(o) + " " + Num(a) + " " + Num(b) + " " + Num(c));
        if (o) o->record.angleA = a, o->record.angleB = b, o->record.angleC = c;
    }
    void SetObjectPosition(Object3D* object, int32_t x, int32_t y, int32_t z) override {
        FakeObject* o = Live(object, "SetObjectPosition");
        calls.push_back("SetObjectPosition " + Name(o) + " " + Num(x) + " " + Num(y) + " " +
                        Num(z));
        if (o) o->record.positionX = x, o->record.positionY = y, o->record.positionZ = z;
    }
    void SetMaterialColor(Object3D* object, int32_t index, uint32_t colourA, uint32_t colourB,
                          uint32_t colourC, int32_t additive) override {
        FakeObject* o = Live(object, "SetMaterialColor");
        calls.push_back("SetMaterialColor " + Name(o) + " " + Num(index) + " " + Hex(colourA) +
                        " " + Hex(colourB) + " " + Hex(colourC) + " " + Num(additive));
        if (o) o->coloured = true, o->colour = colourA, o->additive = additive;
    }
    void SetMaterialTexture(Object3D* object, int32_t index, TextureHandle texture,
                            int32_t additive) override {
        FakeObject* o = Live(object, "SetMaterialTexture");
        auto it = textureNames.find(texture);
        calls.push_back("SetMaterialTexture " + Name(o) + " " + Num(index) + " " +
                        (it == textureNames.end() ? std::string("?") : it->second) + " " +
                        Num(additive));
        if (o) o->texture = texture, o->additive = additive;
    }
    void ScrollTexture(Object3D* object, float du, float dv) override {
        FakeObject* o = Live(object, "ScrollTexture");
        calls.push_back("ScrollTexture " + Name(o) + " " + Num(du) + " " + Num(dv));
        if (o) o->scrollU += du, o->scrollV += dv;
    }
    void CopyVertices(Object3D* source, Object3D* destination) override {
        FakeObject* s = Live(source, "CopyVertices");
        FakeObject* d = Live(destination, "CopyVertices");
        calls.push_back("CopyVertices " + Name(s) + " " + Name(d));
        if (s && d) d->vertices = s->vertices;
    }
    Vertex* GetVertices(Object3D* object) override {
        FakeObject* o = Live(object, "GetVertices");
        calls.push_back("GetVertices " + Name(o));
        return o ? o->vertices.data() : nullptr;
    }
    int32_t GetVertexCount(Object3D* object) override {
        FakeObject* o = Live(object, "GetVertexCount");
        calls.push_back("GetVertexCount " + Name(o));
        return o ? static_cast<int32_t>(o->vertices.size()) : 0;
    }

    void StartTicker(TickCallback callback) override {
        calls.push_back("StartTicker");
        if (realTicker) realTicker->StartTicker(callback);
        if (tickerRunning) return;
        tickCallback = callback;
        tickerPaused = false;
        tickerRunning = true;
    }
    void StopTicker() override {
        calls.push_back("StopTicker");
        if (realTicker) realTicker->StopTicker();
        tickerRunning = false;
    }
    void ToggleTicker() override {
        calls.push_back("ToggleTicker");
        if (realTicker) realTicker->ToggleTicker();
        tickerPaused = !tickerPaused;
    }

    // --- the rest: no scene may call them ------------------------------------
    Status QueryInterface(const Guid*, void**) override { return Unexpected("QueryInterface"), 0; }
    int32_t AddRef() override { return Unexpected("AddRef"), 1; }
    int32_t Release() override { return Unexpected("Release"), 1; }
    void Initialize(InstanceHandle, int32_t) override { Unexpected("Initialize"); }
    void CloseDisplay() override { Unexpected("CloseDisplay"); }
    void OpenDisplay(int32_t, int32_t, WindowHandle*, int32_t, int32_t) override {
        Unexpected("OpenDisplay");
    }
    void Reserved6() override { Unexpected("Reserved6"); }
    int32_t CreateScreen() override { return Unexpected("CreateScreen"), -1; }
    uint16_t* GetScreen(int32_t) override { return Unexpected("GetScreen"), nullptr; }
    void DestroyScreen(int32_t) override { Unexpected("DestroyScreen"); }
    void SetScreenFlag(int32_t, int32_t) override { Unexpected("SetScreenFlag"); }
    int32_t GetPauseToggle() override { return Unexpected("GetPauseToggle"), 0; }
    int32_t GetMouseX() override { return Unexpected("GetMouseX"), 0; }
    int32_t GetMouseY() override { return Unexpected("GetMouseY"), 0; }
    void MemInit(uint32_t) override { Unexpected("MemInit"); }
    void MemDone() override { Unexpected("MemDone"); }
    void* MemAlloc(uint32_t) override { return Unexpected("MemAlloc"), nullptr; }
    void MemFree(void*, uint32_t) override { Unexpected("MemFree"); }
    void* MemMark() override { return Unexpected("MemMark"), nullptr; }
    void MemRelease(void*) override { Unexpected("MemRelease"); }
    void MemCopy(const void*, void*, uint32_t) override { Unexpected("MemCopy"); }
    void MemFill(void*, int32_t, uint32_t) override { Unexpected("MemFill"); }
    void BuildSinCosTable() override { Unexpected("BuildSinCosTable"); }
    void GetSinCos(int32_t, int16_t*, int16_t*) override { Unexpected("GetSinCos"); }
    void BuildAngleTables() override { Unexpected("BuildAngleTables"); }
    void SetTranslation(int32_t, int32_t, int32_t) override { Unexpected("SetTranslation"); }
    void SetAngles(int32_t, int32_t, int32_t) override { Unexpected("SetAngles"); }
    void BuildRotation() override { Unexpected("BuildRotation"); }
    void TransformPoints(const Vertex*, Vertex*, int32_t) override { Unexpected("TransformPoints"); }
    void ProjectPoints(const Vertex*, void*, int32_t) override { Unexpected("ProjectPoints"); }
    void Reserved34(int32_t) override { Unexpected("Reserved34"); }
    void Reserved35() override { Unexpected("Reserved35"); }
    FileHandle FileOpen(const char*) override { return Unexpected("FileOpen"), kInvalidFileHandle; }
    void FileClose(FileHandle) override { Unexpected("FileClose"); }
    void FileRead(FileHandle, void*, uint32_t) override { Unexpected("FileRead"); }
    uint32_t FileSize(FileHandle) override { return Unexpected("FileSize"), 0; }
    void Reserved40(int32_t) override { Unexpected("Reserved40"); }
    int32_t Reserved41() override { return Unexpected("Reserved41"), 0; }
    void AllocLoadBuffer(uint32_t) override { Unexpected("AllocLoadBuffer"); }
    void FreeLoadBuffer() override { Unexpected("FreeLoadBuffer"); }
    void LoadFile(const char*, void*) override { Unexpected("LoadFile"); }
    void LoadPcx(const char*, uint8_t*, uint8_t*) override { Unexpected("LoadPcx"); }
    void Reserved46() override { Unexpected("Reserved46"); }
    void Reserved47(int32_t, int32_t) override { Unexpected("Reserved47"); }
    void PaletteTo16(uint8_t*) override { Unexpected("PaletteTo16"); }
    void IndexedTo16(const uint8_t*, const uint16_t*, uint16_t*, int32_t) override {
        Unexpected("IndexedTo16");
    }
    void InitFont() override { Unexpected("InitFont"); }
    void DrawChar(int32_t, uint16_t*) override { Unexpected("DrawChar"); }
    void DrawString(const char*, uint16_t*) override { Unexpected("DrawString"); }
    void DebugOpen() override { Unexpected("DebugOpen"); }
    void DebugClose() override { Unexpected("DebugClose"); }
    void DebugPrint(const char*, int32_t, int32_t) override { Unexpected("DebugPrint"); }
    int32_t Init3D(int32_t, int32_t, int32_t) override { return Unexpected("Init3D"), 0; }
    void Done3D() override { Unexpected("Done3D"); }
    void AddTriangle(const Triangle*) override { Unexpected("AddTriangle"); }
    void FlushTriangles() override { Unexpected("FlushTriangles"); }
    TextureHandle CreateTextureFromImage(const uint16_t*) override {
        return Unexpected("CreateTextureFromImage"), kNoTexture;
    }
    void DrawObjectPlanar(Object3D*, float) override { Unexpected("DrawObjectPlanar"); }

private:
    static std::string BaseName(const std::string& path) {
        const size_t slash = path.find_last_of("\\/");
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    static std::string Num(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }
    static std::string Hex(uint32_t v) {
        char text[16];
        std::snprintf(text, sizeof text, "%06X", v);
        return text;
    }
    static std::string Name(const FakeObject* o) { return o ? o->name : std::string("?"); }
    // A second live object of the same name gets "#2", "#3"...
    std::string Unique(const std::string& base) {
        int n = 1;
        std::string name = base;
        while (Find(name)) name = base + "#" + std::to_string(++n);
        return name;
    }
    Object3D* Add(std::unique_ptr<FakeObject> o) {
        Object3D* record = &o->record;
        objects.push_back(std::move(o));
        return record;
    }
    FakeObject* Live(Object3D* record, const char* op) {
        FakeObject* o = Of(record);
        if (!o || !o->live) {
            errors.push_back(std::string(op) + " of an object that is not live");
            return nullptr;
        }
        return o;
    }
    void Unexpected(const char* op) {
        errors.push_back(std::string("unexpected call: ") + op);
        calls.push_back(op);
    }

    float sine_[512];
    uint32_t seed_ = 9273;
    TextureHandle nextTexture_ = 1;
};

}  // namespace scenetest
