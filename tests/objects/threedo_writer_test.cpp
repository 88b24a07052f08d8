// The .3do writer: the canonical layout, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "tests/objects/ObjectsFixture.h"

namespace {

TEST(ThreedoWriterTest, WritesTheCanonicalLayout) {
    const mkdata::ObjectData data = SampleObject();
    const Bytes out = mkdata::Write3do(data);
    const size_t v = 12 * data.vertices.size(), f = 40 * data.faces.size(),
                 m = 32 * data.materials.size();
    ASSERT_EQ(out.size(), 76 + v + f + m);

    const Object3D h = HeaderOf(out);
    EXPECT_EQ(h.totalSize, int32_t(out.size()));
    EXPECT_EQ(h.positionX, 3);
    EXPECT_EQ(h.positionY, -4);
    EXPECT_EQ(h.positionZ, 50);
    EXPECT_EQ(h.angleA, 1);
    EXPECT_EQ(h.angleB, 2);
    EXPECT_EQ(h.angleC, 600);
    EXPECT_EQ(h.vertexCount, 4);
    EXPECT_EQ(h.faceCount, 2);
    EXPECT_EQ(h.materialCount, 2);
    EXPECT_EQ(h.vertices, 76u);
    EXPECT_EQ(h.faces, 76u + v);
    EXPECT_EQ(h.materials, 76u + v + f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], 0) << "reserved byte " << i;
    for (int i = 60; i < 68; ++i) EXPECT_EQ(out[i], 0) << "reserved byte " << i;
    // Little-endian fields at their offsets, as a reader without our structs sees them.
    auto word = [&](size_t at) {
        return uint32_t(out[at] | out[at + 1] << 8 | out[at + 2] << 16 | uint32_t(out[at + 3]) << 24);
    };
    EXPECT_EQ(word(16), out.size());
    EXPECT_EQ(word(40), 600u);
    EXPECT_EQ(word(56), 76u);

    EXPECT_EQ(std::memcmp(out.data() + 76, data.vertices.data(), v), 0);
    EXPECT_EQ(std::memcmp(out.data() + 76 + v, data.faces.data(), f), 0);
    EXPECT_EQ(std::memcmp(out.data() + 76 + v + f, data.materials.data(), m), 0);
    EXPECT_TRUE(render3d::IsSoundObjectFile(out.data(), uint32_t(out.size())));
}

TEST(ThreedoWriterTest, EmptyArraysAndFiles) {
    mkdata::ObjectData lone;
    lone.vertices = {{1, 2, 3}};
    const Bytes out = mkdata::Write3do(lone);
    ASSERT_EQ(out.size(), 88u);
    EXPECT_EQ(HeaderOf(out).faces, 88u);
    EXPECT_EQ(HeaderOf(out).materials, 88u);

    char path[] = "/tmp/tessary_3do_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(mkdata::Write3doFile(path, SampleObject()));
    std::ifstream in(path, std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), {}};
    std::remove(path);
    EXPECT_EQ(file, mkdata::Write3do(SampleObject()));
    EXPECT_FALSE(mkdata::Write3doFile("/tmp/no/such/dir/x.3do", SampleObject()));
}

}  // namespace
