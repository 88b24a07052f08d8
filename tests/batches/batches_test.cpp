// The batcher: device state from Init3D, batch keys and drawing order, the
// drop rules, and every batch buffer back in the heap after a flush.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/memory/HeapRef.h"

#include "engine/render3d/BatchTable.h"
#include "engine/render3d/TextureTable.h"
#include "tests/batches/fixture.h"

namespace {

constexpr uint16_t kRed = 31 << 11, kGreen = 63 << 5, kBlue = 31;

struct BatchTest : EngineFixture {
    void SetUp() override {
        EngineFixture::SetUp();
        ASSERT_EQ(engine->Init3D(1, 1, 500), 0);
    }
};

}  // namespace

TEST_F(BatchTest, AnEmptyFrameClearsToBlackAndFarthestDepth) {
    device->Clear(0, nullptr, d3d8::D3DCLEAR_TARGET | d3d8::D3DCLEAR_ZBUFFER, 0x00FFFFFF, 0.0f, 0);
    Frame();
    for (uint16_t p : Pixels()) ASSERT_EQ(p, 0);
    EXPECT_EQ(d3d8::testing::DepthAt(device, 0, 0), 0xFFFF);
    EXPECT_EQ(d3d8::testing::DepthAt(device, 639, 479), 0xFFFF);
}

TEST_F(BatchTest, TheFixedCameraProjectsQueuedPoints) {
    // (3, 4, 20) lands on pixel (368, 176) at depth 29/30; a triangle smaller
    // than a pixel around it lights only that pixel.
    Triangle t = Coloured(20, 0x00FFFFFF, 0);
    const float e = 0.02f;
    t.a = {3 - e, 4 - e, 20, 0, 0};
    t.b = {3 + e, 4 - e, 20, 0, 0};
    t.c = {3, 4 + e, 20, 0, 0};
    engine->AddTriangle(&t);
    Frame();
    std::vector<uint16_t> px = Pixels();
    int lit = 0;
    for (uint16_t p : px) lit += p != 0;
    EXPECT_EQ(lit, 1);
    EXPECT_EQ(px[176 * 640 + 368], 0xFFFF);
    EXPECT_NEAR(d3d8::testing::DepthAt(device, 368, 176) / 65535.0, 29.0 / 30.0, 1.0 / 65535);
    // On the near plane and one unit behind it.
    for (auto [z, depth] : {std::pair{-9.0f, 0}, std::pair{-8.0f, 32768}}) {
        Triangle n = Coloured(z, 0x00FFFFFF, 0, 0.5f);
        engine->AddTriangle(&n);
        Frame();
        EXPECT_EQ(Pixel(320, 240), 0xFFFF) << z;
        EXPECT_EQ(d3d8::testing::DepthAt(device, 320, 240), depth) << z;
    }
}

TEST_F(BatchTest, KeysAreTextureAndAdditiveInOrderOfFirstAppearance) {
    TextureHandle a = SolidTexture(kRed), b = SolidTexture(kBlue);
    Triangle t1 = Textured(5, a, 1), t2 = Textured(5, a, 0), t3 = Textured(5, b, 1);
    for (const Triangle* t : {&t1, &t2, &t1, &t3, &t2, &t1}) engine->AddTriangle(t);
    const Batch* table = batches::TexturedTable();
    ASSERT_NE(table, nullptr);
    struct Expect {
        TextureHandle texture;
        int32_t additive, count;
    } expect[] = {{a, 1, 3}, {a, 0, 2}, {b, 1, 1}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table[i].texture, expect[i].texture) << i;
        EXPECT_EQ(table[i].additive, expect[i].additive) << i;
        EXPECT_EQ(table[i].count, expect[i].count) << i;
    }
    EXPECT_EQ(table[3].texture, 0xFFFFFFFFu);
    EXPECT_TRUE(batches::Check());
    // The first batch holds t1's first 60 bytes three times.
    const uint8_t* buffer = heap::FromRef<uint8_t>(table[0].buffer);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(buffer + 60 * i, &t1, 60), 0) << i;
    Frame();
    engine->ReleaseTexture(a);
    engine->ReleaseTexture(b);
}

TEST_F(BatchTest, ThePathIsChosenByTheTexturedFlagFirst) {
    Triangle both = Textured(5, 0, 0);
    both.coloured = 1;
    Triangle neither = CentreTriangle(5);
    engine->AddTriangle(&both);
    engine->AddTriangle(&neither);
    EXPECT_EQ(batches::TexturedTable()[0].count, 1);
    EXPECT_EQ(batches::TexturedTable()[1].texture, 0xFFFFFFFFu);
    EXPECT_EQ(batches::ColouredTable()[0].count, -1);
    EXPECT_EQ(batches::ColouredTable()[1].count, -1);
    // The coloured batch stores x, y, z and the corner colour, 16 bytes a corner.
    Triangle c = Coloured(5, 0x00123456, 1);
    c.colourB = 0x00ABCDEF;
    engine->AddTriangle(&c);
    const Batch& entry = batches::ColouredTable()[0];
    ASSERT_EQ(entry.count, 1);
    const float* v = heap::FromRef<float>(entry.buffer);
    EXPECT_EQ(v[4], c.b.x);
    EXPECT_EQ(v[6], c.b.z);
    uint32_t colour;
    std::memcpy(&colour, &v[7], 4);
    EXPECT_EQ(colour, 0x00ABCDEFu);
    Frame();
}

TEST_F(BatchTest, DrawingOrderIsTexturedThenAdditiveThenOpaqueColoured) {
    // Left: textured blue under additive green -> cyan only if the additive
    // batch comes after the textured one. Right: additive green then opaque
    // red at the same depth -> red only if opaque comes last (else yellow).
    TextureHandle blue = SolidTexture(kBlue);
    auto at = [](Triangle t, float dx) {
        for (TriangleCorner* c : {&t.a, &t.b, &t.c}) c->x += dx;
        return t;
    };
    Triangle redRight = at(Coloured(5, 0x00FF0000, 0), 1.5f);
    Triangle greenRight = at(Coloured(5, 0x0000FF00, 1), 1.5f);
    Triangle greenLeft = at(Coloured(5, 0x0000FF00, 1), -1.5f);
    Triangle blueLeft = at(Textured(5, blue, 0), -1.5f);
    for (const Triangle* t : {&redRight, &greenRight, &greenLeft, &blueLeft}) engine->AddTriangle(t);
    Frame();
    // Centres: x = +-1.5 at w = 15 -> 320 +- 48; y = -1/3 -> 240 + 16 / 3 * ... inside.
    EXPECT_EQ(Pixel(320 - 48, 244), kBlue | kGreen);
    EXPECT_EQ(Pixel(320 + 48, 244), kRed);
    engine->ReleaseTexture(blue);
}

TEST_F(BatchTest, AfterAFlushEveryBufferIsBackAndKeysStartAtTheFront) {
    TextureHandle a = SolidTexture(kRed), b = SolidTexture(kGreen);
    for (int frame = 0; frame < 3; ++frame) {
        Triangle ta = Textured(5, frame == 1 ? b : a, 0), tb = Textured(6, frame == 1 ? a : b, 1);
        Triangle c0 = Coloured(7, 0x00FFFFFF, 1), c1 = Coloured(8, 0x00FFFFFF, 0);
        for (const Triangle* t : {&ta, &tb, &c0, &c1}) engine->AddTriangle(t);
        EXPECT_FALSE(HeapNearlyEmpty()) << "four batch buffers are out";
        EXPECT_EQ(batches::TexturedTable()[0].texture, ta.texture);
        Frame();
        EXPECT_TRUE(batches::Check());
        for (int i = 0; i < 3; ++i) EXPECT_EQ(batches::TexturedTable()[i].texture, 0xFFFFFFFFu);
        EXPECT_EQ(batches::ColouredTable()[0].count, -1);
        EXPECT_EQ(batches::ColouredTable()[1].count, -1);
        EXPECT_TRUE(HeapNearlyEmpty()) << "frame " << frame;
    }
    engine->ReleaseTexture(a);
    engine->ReleaseTexture(b);
}

TEST_F(BatchTest, WhatTheTablesCannotHoldIsDropped) {
    // A full batch: the 5001st triangle is dropped and nothing is written past
    // the buffer.
    Triangle t = Textured(5, 0, 0);
    for (int i = 0; i < 5003; ++i) engine->AddTriangle(&t);
    EXPECT_EQ(batches::TexturedTable()[0].count, 5000);
    Triangle c = Coloured(5, 0x00FFFFFF, 0);
    for (int i = 0; i < 5001; ++i) engine->AddTriangle(&c);
    EXPECT_EQ(batches::ColouredTable()[1].count, 5000);
    EXPECT_TRUE(batches::Check());
    // The never-valid handle would read as a free entry: dropped.
    Triangle bad = Textured(5, kBadTexture, 0);
    engine->AddTriangle(&bad);
    EXPECT_EQ(batches::TexturedTable()[1].texture, 0xFFFFFFFFu);
    Frame();
    EXPECT_TRUE(HeapNearlyEmpty());

    // A table of 3 entries holds 2 keys; the last entry stays free.
    ASSERT_EQ(engine->Init3D(1, 1, 3), 0);
    for (TextureHandle h : {1u, 2u, 3u, 1u}) {
        Triangle k = Textured(5, h, 0);
        engine->AddTriangle(&k);
    }
    EXPECT_EQ(batches::TexturedTable()[0].count, 2);
    EXPECT_EQ(batches::TexturedTable()[1].count, 1);
    EXPECT_EQ(batches::TexturedTable()[2].texture, 0xFFFFFFFFu);
    EXPECT_TRUE(batches::Check());
    Frame();
    EXPECT_TRUE(HeapNearlyEmpty());

    // No room for any key: a table of no entries still gets its terminator.
    for (int32_t entries : {0, -5, 1}) {
        ASSERT_EQ(engine->Init3D(0, 1, entries), 0);
        Triangle k = Textured(5, 1, 0);
        engine->AddTriangle(&k);
        EXPECT_EQ(batches::TexturedTable()[0].texture, 0xFFFFFFFFu) << entries;
        EXPECT_TRUE(batches::Check()) << entries;
        Frame();
    }
    EXPECT_TRUE(HeapNearlyEmpty());
}

TEST_F(BatchTest, PathsInit3DDidNotEnableDropTheirTriangles) {
    struct Case {
        int32_t coloured, textured;
    } cases[] = {{0, 0}, {1, 0}, {0, 1}};
    for (const Case& k : cases) {
        ASSERT_EQ(engine->Init3D(k.coloured, k.textured, 10), 0);
        EXPECT_EQ(batches::TexturedTable() != nullptr, k.textured != 0);
        EXPECT_EQ(batches::ColouredTable() != nullptr, k.coloured != 0);
        Triangle t = Textured(5, 0, 0, 3), c = Coloured(5, 0x00FFFFFF, 0, 3);
        engine->AddTriangle(&t);
        engine->AddTriangle(&c);
        Frame();
        // A null texture draws white, as does a white coloured triangle.
        EXPECT_EQ(Pixel(320, 240) != 0, k.coloured || k.textured);
        EXPECT_TRUE(HeapNearlyEmpty());
    }
}

TEST_F(BatchTest, Init3DReportsAFailingDeviceCall) {
    d3d8::testing::ForceFailure(d3d8::testing::kVertexBuffer);
    EXPECT_EQ(engine->Init3D(1, 1, 500), -1);
    d3d8::testing::ForceFailure(d3d8::testing::kNone);
    EXPECT_EQ(engine->Init3D(0, 0, 500), 0);
    display::UseDevice(nullptr, 0, 0);
    EXPECT_EQ(engine->Init3D(1, 1, 500), -1);
    display::UseDevice(device, 640, 480);
}

TEST_F(BatchTest, ATextureReleasedWhileQueuedIsDrawnAndThenGoes) {
    TextureHandle red = SolidTexture(kRed);
    Triangle t = Textured(5, red, 0);
    engine->AddTriangle(&t);
    engine->ReleaseTexture(red);
    EXPECT_EQ(textures::LiveCount(), 1) << "kept for the queued triangle";
    Frame();
    EXPECT_EQ(Pixel(320, 244), kRed);
    EXPECT_EQ(textures::LiveCount(), 0);
    EXPECT_EQ(textures::Find(red), nullptr);
    // Dropped instead of drawn (no device): released all the same.
    TextureHandle green = SolidTexture(kGreen);
    Triangle g = Textured(5, green, 0);
    engine->AddTriangle(&g);
    engine->ReleaseTexture(green);
    LoseDevice();
    engine->FlushTriangles();
    EXPECT_EQ(textures::LiveCount(), 0);
    EXPECT_TRUE(HeapNearlyEmpty());
}

TEST_F(BatchTest, WithoutADeviceNothingCrashesAndBuffersStillReturn) {
    TextureHandle kept = SolidTexture(kRed);
    Triangle t = Textured(5, kept, 0), c = Coloured(5, 0x00FFFFFF, 1);
    engine->AddTriangle(&t);
    engine->AddTriangle(&c);
    LoseDevice();
    engine->FlushTriangles();
    EXPECT_TRUE(HeapNearlyEmpty());
    EXPECT_EQ(engine->LoadTexture("data\\tarta.jpg"), kNoTexture);
    EXPECT_EQ(engine->CreateTextureFromImage(std::vector<uint16_t>(256 * 256).data()), kBadTexture);
    engine->ReleaseTexture(kept);
    EXPECT_EQ(textures::LiveCount(), 0);
    engine->AddTriangle(&c);
    engine->Done3D();
    EXPECT_EQ(batches::TexturedTable(), nullptr);
    engine->FlushTriangles();
    engine->Done3D();
}
