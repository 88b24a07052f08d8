// preview DATA_DIR OUT_DIR: renders one frame of each scene from the data
// files through the engine on a headless software device and writes
// OUT_DIR/scene-<name>.ppm, for looking at the generated objects and textures
// without running the whole demo. Each scene is loaded, placed and deformed
// the way its frame loop does it, at a representative moment.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/DisplayState.h"
#include "engine/IEngine.h"
#include "platform/d3d8/d3d8.h"

using namespace d3d8;

namespace {

constexpr int kW = 640, kH = 480;

// One scene's frame through the engine: the caller loads, places and draws;
// this flushes the batches into the back buffer and writes the picture.
bool Shoot(IEngine* e, Device* dev, const std::string& path) {
    dev->BeginScene();
    e->FlushTriangles();
    dev->EndScene();
    Surface* s = nullptr;
    dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s);
    D3DLOCKED_RECT r{};
    s->LockRect(&r, nullptr, 0);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fprintf(f, "P6\n%d %d\n255\n", kW, kH);
        for (int y = 0; y < kH; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(r.pBits) + y * r.Pitch);
            for (int x = 0; x < kW; ++x) {
                const uint16_t p = row[x];
                const uint8_t rgb[3] = {uint8_t(((p >> 11) & 31) * 255 / 31), uint8_t(((p >> 5) & 63) * 255 / 63),
                                        uint8_t((p & 31) * 255 / 31)};
                std::fwrite(rgb, 1, 3, f);
            }
        }
        std::fclose(f);
    }
    s->UnlockRect();
    s->Release();
    return f != nullptr;
}

void Scale(IEngine* e, Object3D* o, float k) {
    Vertex* v = e->GetVertices(o);
    for (int i = 0; i < e->GetVertexCount(o); ++i) v[i] = {v[i].x * k, v[i].y * k, v[i].z * k};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: preview DATA_DIR OUT_DIR\n");
        return 2;
    }
    const std::string out = std::filesystem::absolute(argv[2]).string() + "/";
    // The engine opens "data\\name" from the current directory.
    std::filesystem::current_path(std::filesystem::absolute(argv[1]).parent_path());
    Direct3D* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kW;
    p.BackBufferHeight = kH;
    p.BackBufferFormat = D3DFMT_R5G6B5;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_FLIP;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    Device* dev = nullptr;
    if (!d3d || d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &dev) < 0) {
        std::fprintf(stderr, "preview: no device\n");
        return 1;
    }
    IEngine* e = CreateEngine();
    e->MemInit(4 * 1024 * 1024);
    e->AllocLoadBuffer(262144);
    e->BuildSinCosTable();
    e->BuildAngleTables();
    display::UseDevice(dev, kW, kH);
    e->Init3D(1, 1, 500);
    bool ok = true;
    {
        Object3D* panel = e->LoadObject("data\\panel.3do");
        const TextureHandle t = e->LoadTexture("data\\textos1.jpg");
        e->SetMaterialTexture(panel, 0, t, 0);
        e->SetObjectPosition(panel, 0, 0, 8);
        e->SetObjectAngles(panel, 0, 384, 0);
        e->DrawObject(panel);
        ok &= Shoot(e, dev, out + "scene-opening.ppm");
        e->ReleaseTexture(t);
        const TextureHandle logo = e->LoadTexture("data\\zornalogo.jpg");
        e->SetMaterialTexture(panel, 0, logo, 0);
        e->SetObjectPosition(panel, 1, 0, 5);
        e->DrawObject(panel);
        ok &= Shoot(e, dev, out + "scene-logo.ppm");
        e->ReleaseTexture(logo);
        e->FreeObject(panel);
    }
    {
        // Frame 60 of the landscape: scrolled 60 times, c = b = 120, a from c = 118.
        Object3D* up = e->LoadObject("data\\land01.3do");
        Object3D* down = e->LoadObject("data\\land01.3do");
        const TextureHandle t = e->LoadTexture("data\\landtext.jpg");
        e->SetMaterialTexture(up, 0, t, 0);
        e->SetMaterialTexture(down, 0, t, 0);
        for (int i = 0; i < 60; ++i) {
            e->ScrollTexture(up, 0.1f, 0.1f);
            e->ScrollTexture(down, 0.1f, 0.1f);
        }
        const int a = int(std::lround(e->GetSine(118) * 50.0f));
        e->SetObjectPosition(up, 0, 150, 50);
        e->SetObjectAngles(up, a, 120, 0);
        e->SetObjectPosition(down, 0, -150, 50);
        e->SetObjectAngles(down, a, 120, 0);
        e->DrawObject(up);
        e->DrawObject(down);
        ok &= Shoot(e, dev, out + "scene-landscape.ppm");
        e->FreeObject(up);
        e->FreeObject(down);
        e->ReleaseTexture(t);
    }
    {
        Object3D* mesh = e->LoadObject("data\\malla.3do");
        const TextureHandle mt = e->LoadTexture("data\\deforme.jpg");
        e->SetMaterialTexture(mesh, 0, mt, 0);
        Object3D* meshCopy = e->CloneObject(mesh);
        Object3D* sphere = e->LoadObject("data\\sphere03.3do");
        const TextureHandle st = e->LoadTexture("data\\deforme2.jpg");
        e->SetMaterialTexture(sphere, 0, st, 0);
        Object3D* sphereCopy = e->CloneObject(sphere);
        Vertex* v = e->GetVertices(meshCopy);
        int ph = 140;
        for (int i = 0; i < e->GetVertexCount(mesh); ++i, ph += 2) {
            const float s = e->GetSine(ph) * 15.0f;
            v[i] = {(v[i].x + s) * 4.0f, v[i].y * 4.0f, v[i].z * 4.0f};
        }
        v = e->GetVertices(sphereCopy);
        int q = 100;  // early in the scene: a ripple of one step per vertex
        for (int i = 0; i < e->GetVertexCount(sphere); ++i, ++q) {
            const float s = e->GetSine(q) + 1.0f;
            v[i] = {v[i].x * s, v[i].y * s, v[i].z * s};
        }
        e->SetObjectPosition(sphereCopy, 25, 12, 110);
        e->SetObjectAngles(sphereCopy, 300, 200, 0);
        Object3D* glow = e->CloneObject(sphereCopy);
        e->SetMaterialTexture(glow, 0, st, 1);
        e->SetObjectPosition(glow, 25, 12, 90);
        e->DrawObject(sphereCopy);
        e->DrawObject(glow);
        e->FreeObject(glow);
        e->SetObjectPosition(meshCopy, 0, 0, 135);
        e->SetObjectAngles(meshCopy, 0, 251, 0);
        e->DrawObject(meshCopy);
        ok &= Shoot(e, dev, out + "scene-mesh.ppm");
        for (Object3D* o : {mesh, sphere, sphereCopy, meshCopy}) e->FreeObject(o);
        e->ReleaseTexture(mt);
        e->ReleaseTexture(st);
    }
    {
        Object3D* creature = e->LoadObject("data\\bicho.3do");
        Object3D* ground = e->CreateBox(10.0f, 1000.0f, 1000.0f);
        Object3D* city1 = e->LoadObject("data\\city01.3do");
        Object3D* city2 = e->LoadObject("data\\city02.3do");
        Object3D* sky = e->LoadObject("data\\sphere02.3do");
        Object3D* board = e->LoadObject("data\\cartel.3do");
        const TextureHandle skin = e->LoadTexture("data\\skin.jpg"), build = e->LoadTexture("data\\build.jpg"),
                            cielo = e->LoadTexture("data\\cielo.jpg"), pic = e->LoadTexture("data\\credit01.jpg"),
                            tierra = e->LoadTexture("data\\tierra.jpg");
        e->SetMaterialTexture(creature, 0, skin, 0);
        e->SetMaterialTexture(ground, 0, tierra, 0);
        e->SetMaterialTexture(city1, 0, build, 0);
        e->SetMaterialColor(city2, 0, 0x7F7F7F, 0x7F7F7F, 0x7F7F7F, 1);
        e->SetMaterialTexture(sky, 0, cielo, 0);
        e->SetMaterialTexture(board, 0, pic, 0);
        const int c = 40, a = int(std::lround(e->GetSine(c) * 20.0f)), depth = int(std::lround(e->GetSine(c) * 10.0f));
        const int b = 360;
        for (Object3D* o : {creature, board, city1, city2, sky}) {
            e->SetObjectPosition(o, 0, -20, depth + 50);
            e->SetObjectAngles(o, a, b, 0);
        }
        e->SetObjectPosition(ground, 0, -30, depth + 50);
        e->SetObjectAngles(ground, a, b, 0);
        for (Object3D* o : {creature, ground, city1, city2, sky, board}) e->DrawObject(o);
        ok &= Shoot(e, dev, out + "scene-city.ppm");
        for (Object3D* o : {creature, ground, city1, city2, sky, board}) e->FreeObject(o);
        for (TextureHandle t : {skin, build, cielo, pic, tierra}) e->ReleaseTexture(t);
    }
    {
        Object3D* cake = e->LoadObject("data\\tarta.3do");
        const TextureHandle ct = e->LoadTexture("data\\tarta.jpg");
        Object3D* candles = e->LoadObject("data\\velas.3do");
        const TextureHandle ft = e->LoadTexture("data\\llama.jpg");
        Object3D* back = e->LoadObject("data\\fondo.3do");
        const TextureHandle bt = e->LoadTexture("data\\pcr.jpg");
        Scale(e, back, 4.0f);
        e->SetMaterialTexture(cake, 0, ct, 0);
        e->SetMaterialTexture(candles, 0, ft, 0);
        e->SetMaterialTexture(back, 0, bt, 0);
        e->SetObjectPosition(candles, 0, 0, 20);
        e->SetObjectAngles(candles, 64, 392, 0);
        e->SetObjectPosition(cake, 0, 0, 20);
        e->SetObjectAngles(cake, 64, 392, 0);
        e->SetObjectPosition(back, -7, 10, 200);
        e->SetObjectAngles(back, 256, 384, 0);
        e->DrawObject(cake);
        e->DrawObject(candles);
        e->DrawObject(back);
        ok &= Shoot(e, dev, out + "scene-cake.ppm");
        for (Object3D* o : {cake, candles, back}) e->FreeObject(o);
        for (TextureHandle t : {ct, ft, bt}) e->ReleaseTexture(t);
    }
    e->Done3D();
    display::UseDevice(nullptr, 0, 0);
    DestroyEngine(e);
    dev->Release();
    d3d->Release();
    return ok ? 0 : 1;
}
