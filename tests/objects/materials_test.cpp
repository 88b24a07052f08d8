// Placement, materials, texture scrolling and restoring a clone.
#include "tests/objects/ObjectsFixture.h"

namespace {

Material& MaterialOf(Object3D* object, int index) {
    return heap::FromRef<Material>(object->materials)[index];
}

TEST_F(ObjectsTest, PlacementIsStoredUnreduced) {
    Object3D* box = engine->CreateBox(1, 1, 1);
    engine->SetObjectPosition(box, -7, 8, 900);
    engine->SetObjectAngles(box, 512, -1, 100000);
    EXPECT_EQ(box->positionX, -7);
    EXPECT_EQ(box->positionY, 8);
    EXPECT_EQ(box->positionZ, 900);
    EXPECT_EQ(box->angleA, 512);
    EXPECT_EQ(box->angleB, -1);
    EXPECT_EQ(box->angleC, 100000);
    engine->FreeObject(box);
}

TEST_F(ObjectsTest, ColourAndTextureReplaceEachOther) {
    Object3D* object = Load(mkdata::Write3do(SampleObject()));
    ASSERT_NE(object, nullptr);
    MaterialOf(object, 1).reserved = 1234;
    const Material other = MaterialOf(object, 0);

    engine->SetMaterialColor(object, 1, 0x0000FF, 0x00FF00, 0xFF0000, 1);
    Material m = MaterialOf(object, 1);
    EXPECT_EQ(m.coloured, 1);
    EXPECT_EQ(m.textured, 0);
    EXPECT_EQ(m.texture, 0u);
    EXPECT_EQ(m.reserved, 0);
    EXPECT_EQ(m.additive, 1);
    EXPECT_EQ(m.colourA, 0x0000FFu);
    EXPECT_EQ(m.colourB, 0x00FF00u);
    EXPECT_EQ(m.colourC, 0xFF0000u);

    engine->SetMaterialTexture(object, 1, 42, 0);
    m = MaterialOf(object, 1);
    EXPECT_EQ(m.coloured, 0);
    EXPECT_EQ(m.textured, 1);
    EXPECT_EQ(m.texture, 42u);
    EXPECT_EQ(m.reserved, 0);
    EXPECT_EQ(m.additive, 0);
    EXPECT_EQ(m.colourA, 0u);
    EXPECT_EQ(m.colourB, 0u);
    EXPECT_EQ(m.colourC, 0u);

    engine->SetMaterialColor(object, 1, 5, 6, 7, 0);
    EXPECT_EQ(MaterialOf(object, 1).texture, 0u);
    EXPECT_EQ(MaterialOf(object, 1).textured, 0);
    // Only the material asked for changes.
    EXPECT_EQ(std::memcmp(&MaterialOf(object, 0), &other, sizeof other), 0);

    // The next draw uses the new state.
    render3d::DrawObject(recorder.get(), object);
    ASSERT_EQ(recorder->triangles.size(), 2u);
    EXPECT_EQ(recorder->triangles[0].colourA, 5u);  // face 0 uses material 1
    EXPECT_EQ(recorder->triangles[0].coloured, 1);
    render3d::FreeObject(recorder.get(), object);
}

TEST_F(ObjectsTest, ScrollTextureAddsToEveryCoordinate) {
    Object3D* box = engine->CreateBox(1, 1, 1);
    const Face* faces = heap::FromRef<Face>(box->faces);
    std::vector<Face> original(faces, faces + 12);
    for (int i = 0; i < 10; ++i) engine->ScrollTexture(box, 0.1f, 0.1f);
    for (int i = 0; i < 12; ++i) {
        const float* before = &original[i].uA;
        const float* after = &faces[i].uA;
        for (int k = 0; k < 6; ++k) {
            float expected = before[k];
            for (int step = 0; step < 10; ++step) expected += 0.1f;  // float by float
            EXPECT_EQ(after[k], expected) << "face " << i << " coordinate " << k;
            EXPECT_NEAR(after[k], before[k] + 1.0f, 1e-5f);
        }
        EXPECT_EQ(faces[i].offsetA, original[i].offsetA);
        EXPECT_EQ(faces[i].material, original[i].material);
    }
    const float uA = faces[0].uA, vB = faces[0].vB;
    engine->ScrollTexture(box, -2.0f, 0.5f);
    EXPECT_EQ(faces[0].uA, uA - 2.0f);
    EXPECT_EQ(faces[0].vB, vB + 0.5f);
    engine->FreeObject(box);
}

TEST_F(ObjectsTest, CopyVerticesRestoresTheWholeBody) {
    Object3D* source = Load(mkdata::Write3do(SampleObject()));
    ASSERT_NE(source, nullptr);
    Object3D* clone = engine->CloneObject(source);
    const Bytes sourceBefore = BytesOf(source);

    engine->GetVertices(clone)[2] = {100, 200, 300};
    engine->ScrollTexture(clone, 0.5f, 0.25f);
    engine->SetMaterialColor(clone, 1, 9, 9, 9, 1);
    engine->SetMaterialTexture(clone, 0, 17, 1);
    engine->SetObjectPosition(clone, 11, 12, 13);
    engine->SetObjectAngles(clone, 21, 22, 23);
    const Object3D cloneHeader = *clone;

    engine->CopyVertices(source, clone);
    EXPECT_EQ(BytesOf(source), sourceBefore);
    const Bytes restored = BytesOf(clone);
    EXPECT_TRUE(std::equal(restored.begin() + 76, restored.end(), sourceBefore.begin() + 76));
    EXPECT_EQ(std::memcmp(clone, &cloneHeader, sizeof cloneHeader), 0)
        << "the header (addresses, position, angles) is not touched";

    // Objects of different sizes are left alone.
    Object3D* box = engine->CreateBox(1, 1, 1);
    const Bytes boxBefore = BytesOf(box);
    engine->CopyVertices(source, box);
    EXPECT_EQ(BytesOf(box), boxBefore);
    engine->CopyVertices(box, clone);
    EXPECT_EQ(BytesOf(clone), restored);

    engine->FreeObject(box);
    engine->FreeObject(clone);
    render3d::FreeObject(recorder.get(), source);
}

}  // namespace
