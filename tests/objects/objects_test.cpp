// Object records: the box, .3do loading and its checks, clones, freeing.
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <functional>

#include <unistd.h>

#include "tests/objects/ObjectsFixture.h"

namespace {

TEST_F(ObjectsTest, BoxHasTheFixedLayoutAndValues) {
    Object3D* box = render3d::CreateBox(recorder.get(), 10.0f, 1000.0f, 1000.0f);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(recorder->allocSizes, (std::vector<uint32_t>{684}));
    EXPECT_EQ(box->totalSize, 684);
    const uint32_t base = heap::ToRef(box);
    EXPECT_EQ(box->vertices - base, 76u);
    EXPECT_EQ(box->faces - base, 172u);
    EXPECT_EQ(box->materials - base, 652u);
    EXPECT_EQ(box->positionX, 0);
    EXPECT_EQ(box->positionY, 0);
    EXPECT_EQ(box->positionZ, 40);
    EXPECT_EQ(box->angleA, 40);
    EXPECT_EQ(box->angleB, 60);
    EXPECT_EQ(box->angleC, 70);
    EXPECT_EQ(box->vertexCount, 8);
    EXPECT_EQ(box->faceCount, 12);
    EXPECT_EQ(box->materialCount, 1);

    const float w = 1000, h = 10, d = 1000;
    const Vertex expected[8] = {{-w, h, -d}, {w, h, -d}, {-w, -h, -d}, {w, -h, -d},
                                {-w, h, d},  {w, h, d},  {-w, -h, d},  {w, -h, d}};
    const Vertex* v = engine->GetVertices(box);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(v[i].x, expected[i].x) << "vertex " << i;
        EXPECT_EQ(v[i].y, expected[i].y) << "vertex " << i;
        EXPECT_EQ(v[i].z, expected[i].z) << "vertex " << i;
    }

    const int corners[12][3] = {{0, 1, 3}, {0, 3, 2}, {1, 5, 7}, {1, 7, 3}, {4, 0, 2}, {4, 2, 6},
                                {5, 4, 6}, {5, 6, 7}, {2, 3, 7}, {2, 7, 6}, {4, 5, 1}, {4, 1, 0}};
    const Face* f = heap::FromRef<Face>(box->faces);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(f[i].offsetA, corners[i][0] * 12) << "face " << i;
        EXPECT_EQ(f[i].offsetB, corners[i][1] * 12) << "face " << i;
        EXPECT_EQ(f[i].offsetC, corners[i][2] * 12) << "face " << i;
        const float even[6] = {0, 1, 1, 1, 1, 0}, odd[6] = {0, 1, 1, 0, 0, 0};
        const float* uv = i % 2 == 0 ? even : odd;
        EXPECT_EQ((std::vector<float>{f[i].uA, f[i].vA, f[i].uB, f[i].vB, f[i].uC, f[i].vC}),
                  std::vector<float>(uv, uv + 6))
            << "face " << i;
        EXPECT_EQ(f[i].material, 0) << "face " << i;
    }

    const Material& m = *heap::FromRef<Material>(box->materials);
    EXPECT_EQ(m.coloured, 1);
    EXPECT_EQ(m.additive, 0);
    EXPECT_EQ(m.textured, 0);
    EXPECT_EQ(m.texture, 0u);
    EXPECT_EQ(m.reserved, 0);
    EXPECT_EQ(m.colourA, 0x0000FFu);
    EXPECT_EQ(m.colourB, 0x00FF00u);
    EXPECT_EQ(m.colourC, 0xFF0000u);

    render3d::FreeObject(recorder.get(), box);
    EXPECT_EQ(recorder->freeSizes, (std::vector<uint32_t>{684}));
}

TEST_F(ObjectsTest, WrittenBoxLoadsBackEqualButForItsAddresses) {
    Object3D* box = engine->CreateBox(2.0f, 3.0f, 4.0f);
    ASSERT_NE(box, nullptr);
    // The writer, given the box's arrays, writes the box's own image.
    mkdata::ObjectData data;
    data.vertices.assign(engine->GetVertices(box), engine->GetVertices(box) + 8);
    const Face* faces = heap::FromRef<Face>(box->faces);
    data.faces.assign(faces, faces + 12);
    data.materials.push_back(*heap::FromRef<Material>(box->materials));
    data.position[2] = 40;
    data.angles[0] = 40, data.angles[1] = 60, data.angles[2] = 70;
    const Bytes written = mkdata::Write3do(data);
    EXPECT_EQ(written, FileImageOf(box));

    Object3D* loaded = Load(written);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(SameButAddresses(BytesOf(loaded), BytesOf(box)));
    EXPECT_EQ(FileImageOf(loaded), written);
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"FileOpen", "FileSize", "MemAlloc",
                                                         "FileRead", "FileClose"}));
    EXPECT_EQ(recorder->allocSizes, (std::vector<uint32_t>{684}));
    EXPECT_TRUE(messages.empty());
    engine->FreeObject(loaded);
    engine->FreeObject(box);
}

TEST_F(ObjectsTest, LoadsAFileFromDiskThroughTheFileOperations) {
    char path[] = "/tmp/tessary_obj_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(mkdata::Write3doFile(path, SampleObject()));
    const Bytes written = mkdata::Write3do(SampleObject());
    Object3D* loaded = engine->LoadObject(path);
    std::remove(path);
    ASSERT_NE(loaded, nullptr) << "the files module reads the file";
    EXPECT_EQ(FileImageOf(loaded), written);
    engine->FreeObject(loaded);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ObjectsTest, MissingFileIsReportedOnlyByFileOpen) {
    Object3D* missing = engine->LoadObject("/tmp/no/such/dir/none.3do");
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(messages, (std::vector<Message>{{"Error opening da file!", "TFS TESSARY"}}));

    messages.clear();
    EXPECT_EQ(render3d::LoadObject(recorder.get(), "data\\none.3do"), nullptr);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(recorder->allocSizes.empty());
}

TEST_F(ObjectsTest, MaterialsBeforeFacesLoadAndDrawTheSame) {
    const mkdata::ObjectData data = SampleObject();
    const Bytes canonical = mkdata::Write3do(data);
    // Same records, materials placed between vertices and faces.
    Bytes swapped = canonical;
    Object3D h = HeaderOf(canonical);
    const size_t faceBytes = 40 * data.faces.size(), materialBytes = 32 * data.materials.size();
    std::memcpy(swapped.data() + h.faces, canonical.data() + h.materials, materialBytes);
    std::memcpy(swapped.data() + h.faces + materialBytes, canonical.data() + h.faces, faceBytes);
    h.materials = h.faces;
    h.faces = uint32_t(h.faces + materialBytes);
    SetHeader(swapped, h);
    ASSERT_NE(swapped, canonical);

    Object3D* a = Load(canonical, "a.3do");
    Object3D* b = Load(swapped, "b.3do");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    render3d::DrawObject(recorder.get(), a);
    const std::vector<Triangle> fromCanonical = recorder->triangles;
    recorder->triangles.clear();
    render3d::DrawObject(recorder.get(), b);
    ASSERT_EQ(fromCanonical.size(), 2u);
    ASSERT_EQ(recorder->triangles.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(std::memcmp(&fromCanonical[i], &recorder->triangles[i], sizeof(Triangle)), 0)
            << "triangle " << i;
    render3d::FreeObject(recorder.get(), b);
    render3d::FreeObject(recorder.get(), a);
}

TEST_F(ObjectsTest, CloneOfACloneEqualsACloneOfTheSource) {
    Object3D* source = Load(mkdata::Write3do(SampleObject()));
    ASSERT_NE(source, nullptr);
    Object3D* clone = render3d::CloneObject(recorder.get(), source);
    Object3D* cloneOfClone = render3d::CloneObject(recorder.get(), clone);
    ASSERT_NE(clone, nullptr);
    ASSERT_NE(cloneOfClone, nullptr);
    EXPECT_TRUE(SameButAddresses(BytesOf(clone), BytesOf(source)));
    EXPECT_TRUE(SameButAddresses(BytesOf(cloneOfClone), BytesOf(clone)));
    // Every array keeps its place inside its own block.
    EXPECT_EQ(FileImageOf(cloneOfClone), FileImageOf(source));
    EXPECT_NE(engine->GetVertices(clone), engine->GetVertices(source));

    const Bytes before = BytesOf(source);
    engine->GetVertices(clone)[1].y = 99.0f;
    EXPECT_EQ(BytesOf(source), before);
    EXPECT_EQ(engine->GetVertices(cloneOfClone)[1].y, 1.0f);

    // Each block goes back with exactly the size it was allocated with.
    render3d::FreeObject(recorder.get(), source);
    render3d::FreeObject(recorder.get(), cloneOfClone);
    render3d::FreeObject(recorder.get(), clone);
    const uint32_t size = uint32_t(mkdata::Write3do(SampleObject()).size());
    EXPECT_EQ(recorder->allocSizes, (std::vector<uint32_t>{size, size, size}));
    EXPECT_EQ(recorder->freeSizes, (std::vector<uint32_t>{size, size, size}));
    EXPECT_TRUE(recorder->live.empty());
}

TEST_F(ObjectsTest, CloneBelowItsSourceRebasesBackwards) {
    // Free a hole low in the heap so that the clone lands below its source.
    void* hole = engine->MemAlloc(4096);
    Object3D* source = Load(mkdata::Write3do(SampleObject()));
    ASSERT_NE(source, nullptr);
    engine->MemFree(hole, 4096);
    Object3D* clone = engine->CloneObject(source);
    ASSERT_NE(clone, nullptr);
    EXPECT_LT(reinterpret_cast<uint8_t*>(clone), reinterpret_cast<uint8_t*>(source));
    EXPECT_EQ(FileImageOf(clone), FileImageOf(source));
    engine->FreeObject(clone);
    render3d::FreeObject(recorder.get(), source);
}

// A good file image with one thing broken.
struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
};

void EditHeader(Bytes& image, const std::function<void(Object3D&)>& edit) {
    Object3D h = HeaderOf(image);
    edit(h);
    SetHeader(image, h);
}

void EditFace(Bytes& image, int index, const std::function<void(Face&)>& edit) {
    const Object3D h = HeaderOf(image);
    Face f;
    std::memcpy(&f, image.data() + h.faces + 40 * index, sizeof f);
    edit(f);
    std::memcpy(image.data() + h.faces + 40 * index, &f, sizeof f);
}

TEST_F(ObjectsTest, DamagedFilesAreRefusedAndReportedOnce) {
    const Bytes good = mkdata::Write3do(SampleObject());
    const uint32_t n = uint32_t(good.size());
    const Damage damages[] = {
        {"empty file", [](Bytes& b) { b.clear(); }},
        {"shorter than a header", [](Bytes& b) { b.resize(75); }},
        {"file cut short", [](Bytes& b) { b.pop_back(); }},
        {"file longer than totalSize", [](Bytes& b) { b.push_back(0); }},
        {"totalSize larger", [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.totalSize += 4; }); }},
        {"totalSize negative", [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.totalSize = -1; }); }},
        {"no vertices", [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertexCount = 0; }); }},
        {"negative vertex count",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertexCount = -3; }); }},
        {"vertices run past the end",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertexCount = 1000; }); }},
        {"vertex count overflows",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertexCount = 0x7FFFFFFF; }); }},
        {"vertices inside the header",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertices = 40; }); }},
        {"vertices far outside",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertices = 0xFFFFFFF0u; }); }},
        {"vertices misaligned",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.vertices = 77; }); }},
        {"faces past the end",
         [n](Bytes& b) { EditHeader(b, [n](Object3D& h) { h.faces = n - 40; }); }},
        {"negative face count",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.faceCount = -1; }); }},
        {"too many faces", [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.faceCount = 3; }); }},
        {"materials past the end",
         [n](Bytes& b) { EditHeader(b, [n](Object3D& h) { h.materials = n - 16; }); }},
        {"negative material count",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.materialCount = -2; }); }},
        {"corner offset not a multiple of 12",
         [](Bytes& b) { EditFace(b, 0, [](Face& f) { f.offsetB = 13; }); }},
        {"corner offset at the vertex count",
         [](Bytes& b) { EditFace(b, 1, [](Face& f) { f.offsetC = 48; }); }},
        {"negative corner offset",
         [](Bytes& b) { EditFace(b, 0, [](Face& f) { f.offsetA = -12; }); }},
        {"material index at the material count",
         [](Bytes& b) { EditFace(b, 1, [](Face& f) { f.material = 2; }); }},
        {"negative material index",
         [](Bytes& b) { EditFace(b, 0, [](Face& f) { f.material = -1; }); }},
        {"faces but no materials",
         [](Bytes& b) { EditHeader(b, [](Object3D& h) { h.materialCount = 0; }); }},
    };
    const HeapState heapBefore = SnapshotHeap();
    for (const Damage& d : damages) {
        Bytes image = good;
        d.apply(image);
        messages.clear();
        recorder->allocSizes.clear();
        recorder->bytesRead = 0;
        EXPECT_EQ(Load(image), nullptr) << d.what;
        EXPECT_EQ(messages, (std::vector<Message>{{"Bad 3DO object file!", "TFS TESSARY"}}))
            << d.what;
        for (uint32_t size : recorder->allocSizes) EXPECT_LE(size, image.size()) << d.what;
        EXPECT_LE(recorder->bytesRead, image.size()) << d.what;
        EXPECT_TRUE(recorder->live.empty()) << d.what << ": the block was not given back";
        EXPECT_TRUE(recorder->openFiles.empty()) << d.what << ": the file was left open";
        EXPECT_EQ(SnapshotHeap(), heapBefore) << d.what;
    }
    // The undamaged image still loads, and edge values that are sound pass.
    Object3D* ok = Load(good);
    EXPECT_NE(ok, nullptr);
    render3d::FreeObject(recorder.get(), ok);

    mkdata::ObjectData lone;
    lone.vertices = {{1, 2, 3}};  // one vertex, no faces, no materials
    Object3D* single = Load(mkdata::Write3do(lone));
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->totalSize, 88);
    render3d::FreeObject(recorder.get(), single);
}

TEST_F(ObjectsTest, EveryGeneratedObjectFileLoads) {
    const char* data = std::getenv("TESSARY_DATA");
    if (!data || !std::filesystem::is_directory(data)) GTEST_SKIP() << "no data directory";
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(data)) {
        if (entry.path().extension() != ".3do") continue;
        Object3D* object = engine->LoadObject(entry.path().c_str());
        EXPECT_NE(object, nullptr) << entry.path();
        engine->FreeObject(object);
        ++loaded;
    }
    EXPECT_TRUE(messages.empty()) << messages.front();
    if (loaded == 0) GTEST_SKIP() << "no .3do files generated yet";
}

TEST_F(ObjectsTest, ObjectOperationsIgnoreNull) {
    EXPECT_EQ(engine->CloneObject(nullptr), nullptr);
    EXPECT_EQ(engine->GetVertices(nullptr), nullptr);
    EXPECT_EQ(engine->GetVertexCount(nullptr), 0);
    engine->FreeObject(nullptr);
    engine->DrawObject(nullptr);
    engine->DrawObjectPlanar(nullptr, 10.0f);
    engine->SetObjectAngles(nullptr, 1, 2, 3);
    engine->SetObjectPosition(nullptr, 1, 2, 3);
    engine->SetMaterialColor(nullptr, 0, 1, 2, 3, 0);
    engine->SetMaterialTexture(nullptr, 0, 5, 0);
    engine->ScrollTexture(nullptr, 0.1f, 0.1f);
    Object3D* box = engine->CreateBox(1, 1, 1);
    const Bytes before = BytesOf(box);
    engine->CopyVertices(nullptr, box);
    engine->CopyVertices(box, nullptr);
    EXPECT_EQ(BytesOf(box), before);
    engine->FreeObject(box);

    render3d::DrawObject(recorder.get(), nullptr);
    EXPECT_TRUE(recorder->calls.empty());
}

}  // namespace
