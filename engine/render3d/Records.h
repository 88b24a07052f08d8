// Records shared by the renderer, object files and the batcher.
//
// Object3D is one contiguous heap block: this 76-byte header, then vertices,
// faces and materials. A .3do file is the same byte image with the three array
// fields holding file offsets. In memory the array fields are 32-bit heap
// references (see engine/memory/HeapRef.h), so the layout keeps its exact size
// on a 64-bit machine.
#pragma once

#include <cstddef>
#include <cstdint>

struct Vertex {
    float x, y, z;
};
static_assert(sizeof(Vertex) == 12);

struct Object3D {
    uint8_t reserved0[16];
    int32_t totalSize;
    int32_t positionX, positionY, positionZ;
    int32_t angleA, angleB, angleC;
    int32_t vertexCount;
    int32_t faceCount;
    int32_t materialCount;
    uint32_t vertices;  // heap reference (file: offset from the start)
    uint8_t reserved1[8];
    uint32_t faces;
    uint32_t materials;
};
static_assert(sizeof(Object3D) == 76);
static_assert(offsetof(Object3D, totalSize) == 16);
static_assert(offsetof(Object3D, positionX) == 20);
static_assert(offsetof(Object3D, angleA) == 32);
static_assert(offsetof(Object3D, vertexCount) == 44);
static_assert(offsetof(Object3D, faceCount) == 48);
static_assert(offsetof(Object3D, materialCount) == 52);
static_assert(offsetof(Object3D, vertices) == 56);
static_assert(offsetof(Object3D, faces) == 68);
static_assert(offsetof(Object3D, materials) == 72);

struct Face {
    int32_t offsetA, offsetB, offsetC;  // vertex index * 12
    float uA, vA, uB, vB, uC, vC;
    int32_t material;
};
static_assert(sizeof(Face) == 40);
static_assert(offsetof(Face, uA) == 12);
static_assert(offsetof(Face, material) == 36);

struct Material {
    int32_t coloured;
    int32_t additive;
    int32_t textured;
    uint32_t texture;  // texture handle
    int32_t reserved;
    uint32_t colourA, colourB, colourC;  // 0x00RRGGBB
};
static_assert(sizeof(Material) == 32);
static_assert(offsetof(Material, texture) == 12);
static_assert(offsetof(Material, colourA) == 20);

// One face ready to draw. The first 60 bytes are three textured vertices
// (x, y, z, u, v), so a textured triangle is stored by copying them.
struct TriangleCorner {
    float x, y, z, u, v;
};
static_assert(sizeof(TriangleCorner) == 20);

struct Triangle {
    TriangleCorner a, b, c;
    uint32_t colourA, colourB, colourC;
    uint32_t texture;
    int32_t additive;
    int32_t textured;
    int32_t coloured;
};
static_assert(sizeof(Triangle) == 88);
static_assert(offsetof(Triangle, colourA) == 60);
static_assert(offsetof(Triangle, texture) == 72);
static_assert(offsetof(Triangle, coloured) == 84);

// One entry of a batch table; buffer and next are heap references.
struct Batch {
    uint32_t texture;  // 0xFFFFFFFF: free textured entry
    uint32_t buffer;
    uint32_t next;
    int32_t additive;
    int32_t count;  // -1: free coloured entry
};
static_assert(sizeof(Batch) == 20);
