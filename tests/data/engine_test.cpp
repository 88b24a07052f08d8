// The generated files through the engine's own readers: LoadObject takes
// every object without a complaint, the font draws the right glyphs, and the
// device's JPEG loader makes a texture of each picture's size.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/IEngine.h"
#include "platform/d3d8/d3d8.h"
#include "platform/os/MessageBox.h"
#include "tests/data/Model.h"

namespace {

class EngineOnData : public ::testing::Test {
protected:
    void SetUp() override {
        // The engine reads "data\..." from the current directory.
        previous = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(model::DataDir()).parent_path().parent_path());
        os::SetMessageBoxHook([this](const char* text, const char*) { messages.push_back(text); });
        engine = CreateEngine();
        engine->MemInit(4 * 1024 * 1024);
        engine->AllocLoadBuffer(262144);
    }
    void TearDown() override {
        os::SetMessageBoxHook(nullptr);
        DestroyEngine(engine);
        std::filesystem::current_path(previous);
    }
    std::filesystem::path previous;
    IEngine* engine = nullptr;
    std::vector<std::string> messages;
};

TEST_F(EngineOnData, LoadObjectTakesEveryObject) {
    for (const char* f : {"panel", "land01", "malla", "sphere03", "bicho", "city01", "city02", "sphere02", "cartel",
                          "tarta", "velas", "fondo"}) {
        Object3D* o = engine->LoadObject(("data\\" + std::string(f) + ".3do").c_str());
        ASSERT_NE(o, nullptr) << f;
        const model::Object m = model::LoadObject(std::string(f) + ".3do");
        EXPECT_EQ(o->totalSize, m.header.totalSize) << f;
        EXPECT_EQ(engine->GetVertexCount(o), m.header.vertexCount) << f;
        engine->FreeObject(o);
    }
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(EngineOnData, TheFontDrawsTheGlyphsOfTheString) {
    engine->InitFont();
    EXPECT_TRUE(messages.empty());
    constexpr int kW = 320;
    // Each character alone, then the word: the word shows each glyph's first
    // 18 columns in turn (the next glyph covers the last 5).
    auto draw = [&](const char* text) {
        std::vector<uint16_t> screen(kW * 28, 0);
        engine->DrawString(text, screen.data());
        return screen;
    };
    const std::string word = "HAPPY[1]";
    const std::vector<uint16_t> all = draw(word.c_str());
    int lit = 0;
    for (size_t i = 0; i < word.size(); ++i) {
        const std::vector<uint16_t> one = draw(word.substr(i, 1).c_str());
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < (i + 1 < word.size() ? 18 : 23); ++x) {
                ASSERT_EQ(all[size_t(y) * kW + 18 * i + x], one[size_t(y) * kW + x]) << word[i] << " " << x << "," << y;
                lit += one[size_t(y) * kW + x] != 0;
            }
    }
    EXPECT_GT(lit, 200) << "the letters have ink";
    // Different letters draw differently; the same letter the same.
    EXPECT_NE(draw("H"), draw("A"));
    EXPECT_EQ(draw("P"), draw("P"));
    // Bright lettering on black: the ink reaches full strength somewhere.
    uint16_t brightest = 0;
    for (uint16_t p : draw("W")) brightest = std::max<uint16_t>(brightest, uint16_t(p >> 11));
    EXPECT_GE(brightest, 28);
}

TEST(DataTextures, TheDevicesLoaderMakesATextureOfEachPicture) {
    using namespace d3d8;
    Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 64;
    p.BackBufferHeight = 48;
    p.BackBufferFormat = D3DFMT_R5G6B5;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_FLIP;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    Device* device = nullptr;
    ASSERT_GE(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device), 0);
    int loaded = 0;
    for (const auto& e : std::filesystem::directory_iterator(model::DataDir())) {
        if (e.path().extension() != ".jpg") continue;
        Texture* t = nullptr;
        const HRESULT r = D3DXCreateTextureFromFileA(device, e.path().string().c_str(), &t);
        if (r == D3DERR_NOTAVAILABLE) break;  // the platform has no loader yet
        ASSERT_GE(r, 0) << e.path();
        ASSERT_NE(t, nullptr) << e.path();
        D3DLOCKED_RECT rect{};
        EXPECT_GE(t->LockRect(0, &rect, nullptr, 0), 0) << e.path();
        EXPECT_GE(rect.Pitch, 256) << e.path();
        t->UnlockRect(0);
        t->Release();
        ++loaded;
    }
    device->Release();
    d3d->Release();
    if (loaded == 0) GTEST_SKIP() << "the device's JPEG loader is not in this build yet";
    EXPECT_EQ(loaded, 32);
}

}  // namespace
