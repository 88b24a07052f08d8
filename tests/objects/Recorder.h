// A forwarding engine that watches what an object operation does: files come
// from an in-memory table, allocations are tracked block by block, the math
// service's transform is replaced by a plain translation (angles recorded but
// not applied) unless realMath is set, and queued triangles are kept.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/memory/Heap.h"
#include "tests/objects/ForwardingEngine.h"

using Bytes = std::vector<uint8_t>;

class Recorder : public ForwardingEngine {
public:
    using ForwardingEngine::ForwardingEngine;

    // --- files -------------------------------------------------------------
    std::map<std::string, Bytes> files;
    struct OpenFile {
        Bytes data;
        size_t at = 0;
    };
    std::map<FileHandle, OpenFile> openFiles;
    FileHandle nextHandle = 100;
    uint64_t bytesRead = 0;

    FileHandle FileOpen(const char* name) override {
        calls.push_back("FileOpen");
        auto it = files.find(name);
        if (it == files.end()) return kInvalidFileHandle;
        openFiles[nextHandle] = {it->second, 0};
        return nextHandle++;
    }
    uint32_t FileSize(FileHandle file) override {
        calls.push_back("FileSize");
        auto it = openFiles.find(file);
        return it == openFiles.end() ? 0xFFFFFFFFu : uint32_t(it->second.data.size());
    }
    void FileRead(FileHandle file, void* destination, uint32_t count) override {
        calls.push_back("FileRead");
        if (!InsideLiveBlock(destination, count)) errors.push_back("FileRead outside a block");
        auto it = openFiles.find(file);
        if (it == openFiles.end()) return;
        OpenFile& f = it->second;
        const size_t n = std::min<size_t>(count, f.data.size() - f.at);
        std::memcpy(destination, f.data.data() + f.at, n);
        f.at += n;
        bytesRead += n;
    }
    void FileClose(FileHandle file) override {
        calls.push_back("FileClose");
        openFiles.erase(file);
    }

    // --- heap --------------------------------------------------------------
    std::map<uint8_t*, uint32_t> live;
    std::vector<uint32_t> allocSizes, freeSizes;
    std::vector<std::string> errors;

    void* MemAlloc(uint32_t size) override {
        calls.push_back("MemAlloc");
        void* p = inner->MemAlloc(size);
        allocSizes.push_back(size);
        if (p) live[static_cast<uint8_t*>(p)] = size;
        return p;
    }
    void MemFree(void* block, uint32_t size) override {
        calls.push_back("MemFree");
        freeSizes.push_back(size);
        auto it = live.find(static_cast<uint8_t*>(block));
        if (it == live.end() || it->second != size)
            errors.push_back("MemFree of a block not allocated with that size");
        else
            live.erase(it);
        inner->MemFree(block, size);
    }
    bool InsideLiveBlock(const void* p, uint64_t count) const {
        const auto* b = static_cast<const uint8_t*>(p);
        for (const auto& [start, size] : live)
            if (b >= start && b + count <= start + size) return true;
        return false;
    }

    // --- math --------------------------------------------------------------
    bool realMath = false;
    int32_t translation[3] = {};
    int32_t angles[3] = {};
    const Vertex* transformSource = nullptr;
    Vertex* transformDestination = nullptr;
    int32_t transformCount = -1;

    void SetTranslation(int32_t x, int32_t y, int32_t z) override {
        calls.push_back("SetTranslation");
        translation[0] = x, translation[1] = y, translation[2] = z;
        if (realMath) inner->SetTranslation(x, y, z);
    }
    void SetAngles(int32_t a, int32_t b, int32_t c) override {
        calls.push_back("SetAngles");
        angles[0] = a, angles[1] = b, angles[2] = c;
        if (realMath) inner->SetAngles(a, b, c);
    }
    void BuildRotation() override {
        calls.push_back("BuildRotation");
        if (realMath) inner->BuildRotation();
    }
    void TransformPoints(const Vertex* source, Vertex* destination, int32_t count) override {
        calls.push_back("TransformPoints");
        transformSource = source;
        transformDestination = destination;
        transformCount = count;
        if (!InsideLiveBlock(destination, uint64_t(count) * sizeof(Vertex)))
            errors.push_back("TransformPoints into memory outside a block");
        if (realMath) return inner->TransformPoints(source, destination, count);
        for (int32_t i = 0; i < count; ++i)
            destination[i] = {source[i].x + float(translation[0]), source[i].y + float(translation[1]),
                              source[i].z + float(translation[2])};
    }

    // --- batcher -----------------------------------------------------------
    std::vector<Triangle> triangles;
    void AddTriangle(const Triangle* triangle) override {
        calls.push_back("AddTriangle");
        triangles.push_back(*triangle);
    }

    std::vector<std::string> calls;
};
