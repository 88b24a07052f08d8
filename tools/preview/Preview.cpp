// preview DATA_DIR OUT_DIR: renders one frame of each scene from the data
// files on the software device and writes OUT_DIR/scene-<name>.ppm, for
// looking at the generated objects and textures without running the demo.
//
// It does what the engine does with a frame, in the same order: each object
// placed with the three-angle rotation (which mirrors) and its position, one
// triangle per face batched by (texture, additive) in order of first
// appearance, textured batches drawn first, then additive and opaque
// coloured ones, under the engine's fixed camera, culling and blending.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "engine/render3d/Records.h"
#include "platform/d3d8/d3d8.h"

using namespace d3d8;

namespace {

constexpr int kW = 640, kH = 480;

struct Obj {
    Object3D header{};
    std::vector<Vertex> v;
    std::vector<Face> f;
    std::vector<Material> m;
    std::string texture;  // what the scene puts on material 0 ("" = keep stored)
    bool additive = false;
    int pos[3] = {0, 0, 0}, ang[3] = {0, 0, 0};
};

bool Load(const std::string& path, Obj& o) {
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return false;
    std::vector<uint8_t> b;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) b.insert(b.end(), buf, buf + n);
    std::fclose(fp);
    if (b.size() < sizeof(Object3D)) return false;
    std::memcpy(&o.header, b.data(), sizeof o.header);
    const Object3D& h = o.header;
    if (size_t(h.totalSize) != b.size()) return false;
    o.v.resize(size_t(h.vertexCount));
    o.f.resize(size_t(h.faceCount));
    o.m.resize(size_t(h.materialCount));
    std::memcpy(o.v.data(), b.data() + h.vertices, o.v.size() * 12);
    std::memcpy(o.f.data(), b.data() + h.faces, o.f.size() * 40);
    std::memcpy(o.m.data(), b.data() + h.materials, o.m.size() * 32);
    return true;
}

Obj MakeBox(float hh, float hw, float hd) {
    Obj o;
    for (int i = 0; i < 8; ++i) o.v.push_back({(i & 1) ? hw : -hw, (i & 2) ? -hh : hh, (i & 4) ? hd : -hd});
    const int c[12][3] = {{0, 1, 3}, {0, 3, 2}, {1, 5, 7}, {1, 7, 3}, {4, 0, 2}, {4, 2, 6},
                          {5, 4, 6}, {5, 6, 7}, {2, 3, 7}, {2, 7, 6}, {4, 5, 1}, {4, 1, 0}};
    for (int i = 0; i < 12; ++i) {
        Face f{c[i][0] * 12, c[i][1] * 12, c[i][2] * 12, 0, 1, 1, 1, 1, 0, 0};
        if (i % 2) f = {c[i][0] * 12, c[i][1] * 12, c[i][2] * 12, 0, 1, 1, 0, 0, 0, 0};
        o.f.push_back(f);
    }
    o.m.push_back({1, 0, 0, 0, 0, 0xFF, 0xFF00, 0xFF0000});
    return o;
}

float Sin(int a) { return float(std::sin(3.14159265358979323846 / 256.0 * double(a & 511))); }
float Cos(int a) { return float(std::cos(3.14159265358979323846 / 256.0 * double(a & 511))); }

// The platform's loader, or (while it cannot load) the file decoded here
// into an X8R8G8B8 texture of the image's size, as the loader makes them.
Texture* LoadJpegTexture(Device* dev, const std::string& path) {
    Texture* t = nullptr;
    if (D3DXCreateTextureFromFileA(dev, path.c_str(), &t) >= 0 && t) return t;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (dev->CreateTexture(cinfo.output_width, cinfo.output_height, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t) < 0)
        t = nullptr;
    D3DLOCKED_RECT r{};
    if (t && t->LockRect(0, &r, nullptr, 0) < 0) t = nullptr;
    std::vector<JSAMPLE> row(cinfo.output_width * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        const uint32_t y = cinfo.output_scanline;
        JSAMPROW rp = row.data();
        jpeg_read_scanlines(&cinfo, &rp, 1);
        if (!t) continue;
        auto* dst = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(r.pBits) + size_t(y) * size_t(r.Pitch));
        for (uint32_t x = 0; x < cinfo.output_width; ++x)
            dst[x] = (uint32_t(row[x * 3]) << 16) | (uint32_t(row[x * 3 + 1]) << 8) | row[x * 3 + 2];
    }
    if (t) t->UnlockRect(0);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return t;
}

struct Key {
    std::string texture;
    int additive;
    bool operator<(const Key& o) const { return texture != o.texture ? texture < o.texture : additive < o.additive; }
};

class Frame {
public:
    void Draw(const Obj& o) {
        const int a = o.ang[0], b = o.ang[1], c = o.ang[2];
        const float sA = Sin(a), cA = Cos(a), sB = Sin(b), cB = Cos(b), sC = Sin(c), cC = Cos(c);
        const float m[3][3] = {{cB * sA * sC - sB * cC, sB * sC + cB * sA * cC, cB * cA},
                               {cA * sC, cA * cC, -sA},
                               {cB * cC + sB * sA * sC, sB * sA * cC - cB * sC, sB * cA}};
        std::vector<Vertex> p;
        for (const Vertex& v : o.v)
            p.push_back({(m[0][0] * v.x + (m[0][1] * v.y + m[0][2] * v.z)) + float(o.pos[0]),
                         (m[1][0] * v.x + (m[1][1] * v.y + m[1][2] * v.z)) + float(o.pos[1]),
                         (m[2][0] * v.x + (m[2][1] * v.y + m[2][2] * v.z)) + float(o.pos[2])});
        for (const Face& f : o.f) {
            const Vertex& A = p[size_t(f.offsetA / 12)];
            const Vertex& B = p[size_t(f.offsetB / 12)];
            const Vertex& C = p[size_t(f.offsetC / 12)];
            const Material& mat = o.m[size_t(f.material)];
            const bool scene = f.material == 0 && !o.texture.empty();
            if (scene && o.texture != "#grey") {
                Key k{o.texture, o.additive ? 1 : 0};
                if (!index_.count(k)) {
                    index_[k] = order_.size();
                    order_.push_back(k);
                    textured_.emplace_back();
                }
                auto& t = textured_[index_[k]];
                for (auto [V, u, w] : {std::tuple{A, f.uA, f.vA}, std::tuple{B, f.uB, f.vB}, std::tuple{C, f.uC, f.vC}})
                    t.insert(t.end(), {V.x, V.y, V.z, u, w});
                continue;
            }
            const bool additive = scene ? o.additive : mat.additive != 0;
            const uint32_t ca = scene ? 0x7F7F7F : mat.colourA, cb = scene ? 0x7F7F7F : mat.colourB,
                           cc = scene ? 0x7F7F7F : mat.colourC;
            if (!scene && !mat.coloured) continue;
            auto& t = coloured_[additive ? 0 : 1];
            for (auto [V, col] : {std::pair{A, ca}, std::pair{B, cb}, std::pair{C, cc}}) {
                float q[4] = {V.x, V.y, V.z, 0};
                std::memcpy(&q[3], &col, 4);
                t.insert(t.end(), q, q + 4);
            }
        }
    }

    bool Render(Device* dev, const std::string& dataDir, const std::string& out) {
        std::map<std::string, Texture*> textures;
        for (const Key& k : order_)
            if (!textures.count(k.texture)) {
                Texture* t = LoadJpegTexture(dev, dataDir + k.texture);
                if (!t) {
                    std::fprintf(stderr, "preview: cannot load %s\n", k.texture.c_str());
                    return false;
                }
                textures[k.texture] = t;
            }
        VertexBuffer *tv = nullptr, *cv = nullptr;
        dev->CreateVertexBuffer(300000 * 4, D3DUSAGE_SOFTWAREPROCESSING, 0x102, D3DPOOL_MANAGED, &tv);
        dev->CreateVertexBuffer(240000 * 4, D3DUSAGE_SOFTWAREPROCESSING, 0x42, D3DPOOL_MANAGED, &cv);
        dev->BeginScene();
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        for (size_t i = 0; i < order_.size(); ++i) {
            const std::vector<float>& data = textured_[i];
            dev->SetStreamSource(0, tv, 20);
            dev->SetVertexShader(0x102);
            dev->SetTexture(0, textures[order_[i].texture]);
            dev->SetRenderState(D3DRS_ALPHABLENDENABLE, order_[i].additive ? 1 : 0);
            uint8_t* dst = nullptr;
            tv->Lock(0, 0, &dst, 0);
            std::memcpy(dst, data.data(), data.size() * 4);
            tv->Unlock();
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, uint32_t(data.size() / 15));
        }
        for (int e = 0; e < 2; ++e) {
            if (coloured_[e].empty()) continue;
            uint8_t* dst = nullptr;
            cv->Lock(0, 0, &dst, 0);
            std::memcpy(dst, coloured_[e].data(), coloured_[e].size() * 4);
            cv->Unlock();
            dev->SetTexture(0, nullptr);
            dev->SetRenderState(D3DRS_ALPHABLENDENABLE, e == 0 ? 1 : 0);
            dev->SetStreamSource(0, cv, 16);
            dev->SetVertexShader(0x42);
            dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, uint32_t(coloured_[e].size() / 12));
        }
        dev->EndScene();
        Surface* s = nullptr;
        dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s);
        D3DLOCKED_RECT r{};
        s->LockRect(&r, nullptr, 0);
        FILE* f = std::fopen(out.c_str(), "wb");
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
        tv->Release();
        cv->Release();
        for (auto& [name, t] : textures) t->Release();
        return f != nullptr;
    }

private:
    std::map<Key, size_t> index_;
    std::vector<Key> order_;
    std::vector<std::vector<float>> textured_;
    std::vector<float> coloured_[2];
};

void Setup(Device* dev) {
    D3DVIEWPORT8 vp{0, 0, kW, kH, 0.0f, 1.0f};
    dev->SetViewport(&vp);
    D3DMATRIX view{}, proj{}, world{};
    for (int i = 0; i < 4; ++i) view.m[i][i] = world.m[i][i] = 1;
    view.m[3][2] = 10.0f;
    proj.m[0][0] = 1.5f;
    proj.m[1][1] = 2.0f;
    proj.m[2][2] = 1.0f;
    proj.m[2][3] = 1.0f;
    proj.m[3][2] = -1.0f;
    dev->SetTransform(D3DTS_VIEW, &view);
    dev->SetTransform(D3DTS_PROJECTION, &proj);
    dev->SetTransform(D3DTS_WORLD, &world);
    dev->SetRenderState(D3DRS_LIGHTING, 0);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    dev->SetRenderState(D3DRS_ZENABLE, 1);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

void Place(Obj& o, int x, int y, int z, int a, int b, int c) {
    o.pos[0] = x, o.pos[1] = y, o.pos[2] = z;
    o.ang[0] = a, o.ang[1] = b, o.ang[2] = c;
}

int Round(float v) { return int(std::lround(v)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: preview DATA_DIR OUT_DIR\n");
        return 2;
    }
    const std::string data = std::string(argv[1]) + "/", out = std::string(argv[2]) + "/";
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
    Setup(dev);
    auto load = [&](const char* file, const char* texture, bool additive = false) {
        Obj o;
        if (!Load(data + file, o)) std::fprintf(stderr, "preview: cannot load %s\n", file);
        o.texture = texture;
        o.additive = additive;
        return o;
    };
    bool ok = true;
    {
        Obj panel = load("panel.3do", "textos1.jpg");
        Place(panel, 0, 0, 8, 0, 384, 0);
        Frame f;
        f.Draw(panel);
        ok &= f.Render(dev, data, out + "scene-opening.ppm");
    }
    {
        Obj panel = load("panel.3do", "zornalogo.jpg");
        Place(panel, 1, 0, 5, 0, 384, 0);
        Frame f;
        f.Draw(panel);
        ok &= f.Render(dev, data, out + "scene-logo.ppm");
    }
    {
        // Frame 60 of the landscape: scrolled 6.0, c = b = 120, a from c = 118.
        Obj up = load("land01.3do", "landtext.jpg"), down = load("land01.3do", "landtext.jpg");
        for (Obj* o : {&up, &down})
            for (Face& fc : o->f) fc.uA += 6, fc.uB += 6, fc.uC += 6, fc.vA += 6, fc.vB += 6, fc.vC += 6;
        const int a = Round(Sin(118) * 50.0f);
        Place(up, 0, 150, 50, a, 120, 0);
        Place(down, 0, -150, 50, a, 120, 0);
        Frame f;
        f.Draw(up);
        f.Draw(down);
        ok &= f.Render(dev, data, out + "scene-landscape.ppm");
    }
    {
        Obj mesh = load("malla.3do", "deforme.jpg"), sphere = load("sphere03.3do", "deforme2.jpg");
        int ph = 140;
        for (Vertex& v : mesh.v) {
            const float s = Sin(ph) * 15.0f;
            v = {(v.x + s) * 4.0f, v.y * 4.0f, v.z * 4.0f};
            ph += 2;
        }
        int q = 100;  // early in the scene: a ripple of one step per vertex
        for (Vertex& v : sphere.v) {
            const float s = Sin(q) + 1.0f;
            v = {v.x * s, v.y * s, v.z * s};
            q += 1;
        }
        Place(sphere, 25, 12, 110, 300, 200, 0);
        Obj glow = sphere;
        glow.additive = true;
        Place(glow, 25, 12, 90, 300, 200, 0);
        Place(mesh, 0, 0, 135, 0, 251, 0);
        Frame f;
        f.Draw(sphere);
        f.Draw(glow);
        f.Draw(mesh);
        ok &= f.Render(dev, data, out + "scene-mesh.ppm");
    }
    {
        Obj bicho = load("bicho.3do", "skin.jpg"), ground = MakeBox(10, 1000, 1000);
        ground.texture = "tierra.jpg";
        Obj c1 = load("city01.3do", "build.jpg"), c2 = load("city02.3do", "#grey", true),
            sky = load("sphere02.3do", "cielo.jpg"), board = load("cartel.3do", "credit01.jpg");
        const int c = 40, a = Round(Sin(c) * 20.0f), depth = Round(Sin(c) * 10.0f), b = 360;
        for (Obj* o : {&bicho, &board, &c1, &c2, &sky}) Place(*o, 0, -20, depth + 50, a, b, 0);
        Place(ground, 0, -30, depth + 50, a, b, 0);
        Frame f;
        for (Obj* o : {&bicho, &ground, &c1, &c2, &sky, &board}) f.Draw(*o);
        ok &= f.Render(dev, data, out + "scene-city.ppm");
    }
    {
        Obj cake = load("tarta.3do", "tarta.jpg"), candles = load("velas.3do", "llama.jpg"),
            back = load("fondo.3do", "pcr.jpg");
        for (Vertex& v : back.v) v = {v.x * 4.0f, v.y * 4.0f, v.z * 4.0f};
        Place(candles, 0, 0, 20, 64, 392, 0);
        Place(cake, 0, 0, 20, 64, 392, 0);
        Place(back, -7, 10, 200, 256, 384, 0);
        Frame f;
        f.Draw(cake);
        f.Draw(candles);
        f.Draw(back);
        ok &= f.Render(dev, data, out + "scene-cake.ppm");
    }
    dev->Release();
    d3d->Release();
    return ok ? 0 : 1;
}
