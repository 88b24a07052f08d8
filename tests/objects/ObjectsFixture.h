// Shared set-up of the object tests: a real engine with a 4 MB heap, message
// boxes captured, a Recorder in front of it, and helpers to turn objects into
// file images and back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/IEngine.h"
#include "engine/memory/Heap.h"
#include "engine/memory/HeapRef.h"
#include "engine/render3d/ObjectOps.h"
#include "platform/os/MessageBox.h"
#include "tests/objects/Recorder.h"
#include "tools/mkdata/threedo/ThreedoWriter.h"

struct Message {
    std::string text, caption;
    bool operator==(const Message&) const = default;
};

inline std::ostream& operator<<(std::ostream& o, const Message& m) {
    return o << m.caption << ": " << m.text;
}

struct HeapState {
    std::vector<std::pair<uint32_t, uint32_t>> freeList;
    uint32_t top = 0;
    bool operator==(const HeapState&) const = default;
};

inline HeapState SnapshotHeap() {
    HeapState s;
    for (const heap::FreeBlock& b : heap::FreeList()) s.freeList.emplace_back(b.ref, b.size);
    s.top = heap::TopRef();
    return s;
}

inline Bytes BytesOf(const Object3D* object) {
    const auto* p = reinterpret_cast<const uint8_t*>(object);
    return Bytes(p, p + object->totalSize);
}

// The object's file image: its bytes with the array references made offsets
// from the start of the record.
inline Bytes FileImageOf(const Object3D* object) {
    Bytes image = BytesOf(object);
    Object3D header;
    std::memcpy(&header, image.data(), sizeof header);
    const uint32_t base = heap::ToRef(object);
    header.vertices -= base;
    header.faces -= base;
    header.materials -= base;
    std::memcpy(image.data(), &header, sizeof header);
    return image;
}

inline Object3D HeaderOf(const Bytes& image) {
    Object3D h;
    std::memcpy(&h, image.data(), sizeof h);
    return h;
}

inline void SetHeader(Bytes& image, const Object3D& h) { std::memcpy(image.data(), &h, sizeof h); }

// Bytes equal apart from the three array fields.
inline ::testing::AssertionResult SameButAddresses(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        const bool address = (i >= 56 && i < 60) || (i >= 68 && i < 76);
        if (!address && a[i] != b[i])
            return ::testing::AssertionFailure() << "byte " << i << ": " << int(a[i]) << " vs "
                                                 << int(b[i]);
    }
    return ::testing::AssertionSuccess();
}

// A small textured object in the writer's terms: a quad of two faces over
// four vertices and two materials.
inline mkdata::ObjectData SampleObject() {
    mkdata::ObjectData o;
    o.vertices = {{-1, 1, 0}, {1, 1, 0}, {-1, -1, 0}, {1, -1, 2.5f}};
    o.faces = {{0, 12, 36, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1},
               {0, 36, 24, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 0}};
    o.materials = {{1, 0, 0, 0, 0, 0x112233, 0x445566, 0x778899},
                   {0, 1, 1, 77, 0, 0xAABBCC, 0xDDEEFF, 0x010203}};
    o.position[0] = 3, o.position[1] = -4, o.position[2] = 50;
    o.angles[0] = 1, o.angles[1] = 2, o.angles[2] = 600;
    return o;
}

class ObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = CreateEngine();
        ASSERT_NE(engine, nullptr);
        engine->MemInit(4 * 1024 * 1024);
        os::SetMessageBoxHook([this](const char* text, const char* caption) {
            messages.push_back({text, caption});
        });
        recorder = std::make_unique<Recorder>(engine);
    }
    void TearDown() override {
        EXPECT_TRUE(recorder->errors.empty()) << recorder->errors.front();
        EXPECT_EQ(heap::Check(), "");
        os::SetMessageBoxHook(nullptr);
        recorder.reset();
        DestroyEngine(engine);
    }

    // Loads an image through the recorder's in-memory files.
    Object3D* Load(const Bytes& image, const char* name = "data\\test.3do") {
        recorder->files[name] = image;
        return render3d::LoadObject(recorder.get(), name);
    }

    IEngine* engine = nullptr;
    std::unique_ptr<Recorder> recorder;
    std::vector<Message> messages;
};
