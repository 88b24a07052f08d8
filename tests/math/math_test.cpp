#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/IEngine.h"
#include "engine/math/Math.h"

namespace {

class Math : public ::testing::Test {
protected:
    void SetUp() override {
        engine = CreateEngine();
        engine->BuildSinCosTable();
        engine->BuildAngleTables();
    }
    void TearDown() override { DestroyEngine(engine); }

    std::vector<float> Matrix() const {
        const float* m = math::Rotation();
        return std::vector<float>(m, m + 9);
    }
    std::vector<float> MatrixFor(int a, int b, int c) {
        engine->SetAngles(a, b, c);
        engine->BuildRotation();
        return Matrix();
    }

    IEngine* engine = nullptr;
};

TEST_F(Math, FixedPointSineAndCosine) {
    struct Case {
        int32_t angle;
        int16_t sine, cosine;
    };
    const Case cases[] = {
        {0, 0, 32767},     {1, 402, 32765},       {64, 23170, 23170}, {128, 32767, 0},
        {256, 0, -32767},  {384, -32767, 0},      {512, 0, 32767},    {-1, -402, 32765},
        {65536 + 1, 402, 32765},  // only the low 16 bits of the angle count
    };
    for (const Case& c : cases) {
        int16_t s = 99, co = 99;
        engine->GetSinCos(c.angle, &s, &co);
        EXPECT_EQ(s, c.sine) << "angle " << c.angle;
        EXPECT_EQ(co, c.cosine) << "angle " << c.angle;
    }
    // Every entry is the rounded value, and building again changes nothing.
    for (int32_t i = 0; i < 512; ++i) {
        int16_t s, co;
        engine->GetSinCos(i, &s, &co);
        const double angle = static_cast<double>(static_cast<float>(M_PI / 256)) * i;
        EXPECT_LE(std::abs(s - std::sin(angle) * 32767), 0.5) << i;
        EXPECT_LE(std::abs(co - std::cos(angle) * 32767), 0.5) << i;
        engine->BuildSinCosTable();
        int16_t s2, co2;
        engine->GetSinCos(i, &s2, &co2);
        EXPECT_EQ(s2, s);
        EXPECT_EQ(co2, co);
    }
}

TEST_F(Math, GetSineReadsTheFloatTableMasked) {
    struct Case {
        int32_t angle;
        float value;
    };
    const Case cases[] = {{0, 0.0f}, {128, 1.0f}, {256, static_cast<float>(std::sin(M_PI))},
                          {384, -1.0f}, {512, 0.0f}, {-512, 0.0f}, {640, 1.0f}};
    for (const Case& c : cases) EXPECT_EQ(engine->GetSine(c.angle), c.value) << c.angle;
    EXPECT_EQ(engine->GetSine(-1), engine->GetSine(511));
    EXPECT_EQ(engine->GetSine(1), static_cast<float>(std::sin(M_PI / 256)));
}

TEST_F(Math, RandomSequenceFromTheInitialSeed) {
    EXPECT_EQ(math::Seed(), 9273u);
    for (uint32_t want : {40180u, 64410u, 46624u, 23414u, 52163u}) EXPECT_EQ(engine->Random(), want);
    math::SetSeed(873);
    EXPECT_EQ(engine->Random(), 14u);  // v = 65550: one more than 75 * 874 mod 65537
}

TEST_F(Math, RandomIsTheMultiplicativeGeneratorExceptFor37Seeds) {
    int differ = 0;
    for (uint32_t s = 0; s < 65536; ++s) {
        math::SetSeed(s);
        const uint32_t got = engine->Random();
        const uint32_t generator = (75 * (s + 1) % 65537) & 0xFFFF;
        ASSERT_LT(got, 65536u);
        if (got != generator) {
            ++differ;
            EXPECT_EQ(got, generator + 1) << "seed " << s;
        }
    }
    EXPECT_EQ(differ, 37);
}

TEST_F(Math, ZeroAnglesSwapXAndZ) {
    engine->SetAngles(0, 0, 0);
    engine->SetTranslation(10, 20, 30);
    engine->BuildRotation();
    EXPECT_EQ(Matrix(), (std::vector<float>{0, 0, 1, 0, 1, 0, 1, 0, 0}));
    const Vertex in[1] = {{1, 2, 3}};
    Vertex out[1];
    engine->TransformPoints(in, out, 1);
    EXPECT_EQ(out[0].x, 13.0f);
    EXPECT_EQ(out[0].y, 22.0f);
    EXPECT_EQ(out[0].z, 31.0f);
}

TEST_F(Math, WholeTurnsBuildTheSameMatrix) {
    for (int a : {0, 37, 128, 300, 511})
        for (int b : {0, 77, 256, 450})
            for (int c : {0, 5, 200, 384}) {
                const auto m = MatrixFor(a, b, c);
                EXPECT_EQ(MatrixFor(a + 512, b, c), m) << a << " " << b << " " << c;
                EXPECT_EQ(MatrixFor(a, b - 512, c), m) << a << " " << b << " " << c;
                EXPECT_EQ(MatrixFor(a, b, c + 512), m) << a << " " << b << " " << c;
                EXPECT_EQ(MatrixFor(a - 1024, b + 512, c - 512), m) << a << " " << b << " " << c;
            }
}

// The matrix element by element, transcribed from the table of products with
// every product formed left to right in float: the frames depend on the bits.
TEST_F(Math, RotationElementsInTheirOrderOfProducts) {
    for (int a : {0, 13, 100, 257, 400})
        for (int b : {0, 29, 170, 333})
            for (int c : {0, 61, 222, 480}) {
                const float sA = engine->GetSine(a), cA = engine->GetSine(a + 128);
                const float sB = engine->GetSine(b), cB = engine->GetSine(b + 128);
                const float sC = engine->GetSine(c), cC = engine->GetSine(c + 128);
                const std::vector<float> want = {
                    ((cB * sA) * sC) - (sB * cC), (sB * sC) + ((cB * sA) * cC), cB * cA,
                    cA * sC,                      cA * cC,                      -sA,
                    (cB * cC) + ((sB * sA) * sC), ((sB * sA) * cC) - (cB * sC), sB * cA};
                EXPECT_EQ(MatrixFor(a, b, c), want) << a << " " << b << " " << c;
            }
}

TEST_F(Math, RotationIsOrthonormalMirrorOfThreePlaneRotations) {
    for (int a = 0; a < 512; a += 37)
        for (int b = 0; b < 512; b += 41)
            for (int c = 0; c < 512; c += 43) {
                const auto m = MatrixFor(a, b, c);
                double det = m[0] * (m[4] * m[8] - m[5] * m[7]) -
                             m[1] * (m[3] * m[8] - m[5] * m[6]) +
                             m[2] * (m[3] * m[7] - m[4] * m[6]);
                ASSERT_NEAR(det, -1.0, 1e-5);
                for (int r = 0; r < 3; ++r)
                    for (int k = 0; k < 3; ++k) {
                        double dot = 0;
                        for (int j = 0; j < 3; ++j) dot += m[3 * r + j] * m[3 * k + j];
                        ASSERT_NEAR(dot, r == k ? 1.0 : 0.0, 1e-5);
                    }
                // By c, then a, then b.
                const double sA = std::sin(a * M_PI / 256), cA = std::cos(a * M_PI / 256);
                const double sB = std::sin(b * M_PI / 256), cB = std::cos(b * M_PI / 256);
                const double sC = std::sin(c * M_PI / 256), cC = std::cos(c * M_PI / 256);
                const double x = 0.3, y = -1.7, z = 2.2;
                const double p = x * sC + y * cC, q = x * cC - y * sC;
                const double r = p * sA + z * cA, yy = p * cA - z * sA;
                const double xx = r * cB - q * sB, zz = r * sB + q * cB;
                ASSERT_NEAR(m[0] * x + m[1] * y + m[2] * z, xx, 1e-5);
                ASSERT_NEAR(m[3] * x + m[4] * y + m[5] * z, yy, 1e-5);
                ASSERT_NEAR(m[6] * x + m[7] * y + m[8] * z, zz, 1e-5);
            }
}

// Terms that cancel make the order of the sums visible in the result.
TEST_F(Math, TransformSumsInItsOrderAndWorksInPlace) {
    engine->SetAngles(37, 101, 213);
    engine->SetTranslation(-7, 1000000, 3);
    engine->BuildRotation();
    const float* m = math::Rotation();
    std::vector<Vertex> points = {{1, 2, 3},         {1e7f, -3.3f, 1e7f}, {-2.5e6f, 7e6f, 1.25e-3f},
                                  {0.1f, 0.2f, 0.3f}, {-1e8f, 1e8f, 5.5f}, {123.456f, -987.6f, 0}};
    std::vector<Vertex> out(points.size());
    engine->TransformPoints(points.data(), out.data(), static_cast<int32_t>(points.size()));
    int orderMatters = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const Vertex& p = points[i];
        const float t[3] = {-7.0f, 1000000.0f, 3.0f};
        const float got[3] = {out[i].x, out[i].y, out[i].z};
        for (int r = 0; r < 3; ++r) {
            const float* row = m + 3 * r;
            const float want = (row[0] * p.x + (row[1] * p.y + row[2] * p.z)) + t[r];
            const float leftToRight = ((row[0] * p.x + row[1] * p.y) + row[2] * p.z) + t[r];
            EXPECT_EQ(got[r], want) << "point " << i << " row " << r;
            orderMatters += leftToRight != want;
        }
    }
    EXPECT_GT(orderMatters, 0) << "the points do not tell the orders apart";

    engine->TransformPoints(points.data(), points.data(), static_cast<int32_t>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].x, out[i].x);
        EXPECT_EQ(points[i].y, out[i].y);
        EXPECT_EQ(points[i].z, out[i].z);
    }
}

TEST_F(Math, NoPointsMeansNoWrites) {
    engine->SetAngles(10, 20, 30);
    engine->BuildRotation();
    const Vertex in[1] = {{1, 2, 3}};
    for (int32_t count : {0, -1, INT32_MIN}) {
        Vertex out[1] = {{-5, -5, -5}};
        engine->TransformPoints(in, out, count);
        engine->ProjectPoints(in, out, count);
        EXPECT_EQ(out[0].x, -5.0f);
        EXPECT_EQ(out[0].y, -5.0f);
        EXPECT_EQ(out[0].z, -5.0f);
    }
}

TEST_F(Math, ProjectionRoundsToNearestAndKeepsTheRecordTail) {
    struct Case {
        Vertex point;
        int32_t x, y;
    };
    const Case cases[] = {
        {{0, 0, 1}, 160, 100},
        {{0, 0, -1}, 160, 100},
        {{0, 0, 1e-3f}, 160, 100},
        {{0, 0, 1e6f}, 160, 100},
        {{1, 1, 300}, 161, 101},
        {{-1, 2, 300}, 159, 102},
        {{0.6f, -0.6f, 300}, 161, 99},   // 160.6 and 99.4
        {{-0.6f, 1.6f, 300}, 159, 102},  // 159.4 and 101.6
        {{10, -10, -100}, 130, 130},
        {{0, 0, 0}, INT32_MIN, INT32_MIN},  // no finite result: integer indefinite
        {{1, -1, 0}, INT32_MIN, INT32_MIN},
        {{1e9f, 0, 1}, INT32_MIN, 100},
    };
    const int32_t n = static_cast<int32_t>(std::size(cases));
    std::vector<Vertex> in;
    for (const Case& c : cases) in.push_back(c.point);
    std::vector<uint8_t> out(12 * n, 0xAB);
    engine->ProjectPoints(in.data(), out.data(), n);
    for (int32_t i = 0; i < n; ++i) {
        int32_t xy[2];
        std::memcpy(xy, &out[12 * i], 8);
        EXPECT_EQ(xy[0], cases[i].x) << "point " << i;
        EXPECT_EQ(xy[1], cases[i].y) << "point " << i;
        for (int k = 8; k < 12; ++k) EXPECT_EQ(out[12 * i + k], 0xAB) << "point " << i;
    }
}

TEST_F(Math, ReservedOperationsChangeNothing) {
    engine->SetAngles(1, 2, 3);
    engine->BuildRotation();
    const auto m = Matrix();
    const uint32_t seed = math::Seed();
    engine->Reserved34(77);
    engine->Reserved35();
    EXPECT_EQ(Matrix(), m);
    EXPECT_EQ(math::Seed(), seed);
}

}  // namespace
