#include "tools/mkdata/visual/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <jpeglib.h>

namespace mkdata {

Rgb Hex(uint32_t rgb) {
    return {float((rgb >> 16) & 255) / 255.0f, float((rgb >> 8) & 255) / 255.0f,
            float(rgb & 255) / 255.0f};
}

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float Smooth(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

uint32_t Rng::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

float Rng::Unit() { return float(Next() >> 8) / 16777216.0f; }
float Rng::Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
int Rng::Int(int lo, int hi) { return lo + int(Next() % uint32_t(hi - lo + 1)); }

namespace {

uint32_t HashCell(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    return h;
}

float CellValue(int x, int y, int px, int py, uint32_t seed) {
    if (px > 0) {
        x %= px;
        if (x < 0) x += px;
    }
    if (py > 0) {
        y %= py;
        if (y < 0) y += py;
    }
    return float(HashCell(x, y, seed) >> 8) / 16777216.0f;
}

}  // namespace

float PeriodicNoise(float x, float y, int periodX, int periodY, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    const float a = CellValue(ix, iy, periodX, periodY, seed);
    const float b = CellValue(ix + 1, iy, periodX, periodY, seed);
    const float c = CellValue(ix, iy + 1, periodX, periodY, seed);
    const float d = CellValue(ix + 1, iy + 1, periodX, periodY, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int periodX, int periodY, int octaves, uint32_t seed, float gain) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * PeriodicNoise(x, y, periodX, periodY, seed + uint32_t(o) * 101u);
        norm += amp;
        amp *= gain;
        x *= 2;
        y *= 2;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

namespace {

// One box pass along each row, then one down the columns (row by row, so
// that memory is read in order). Edges clamp, or wrap for tiling masks.
void BoxRows(Mask& m, int radius, bool wrap) {
    std::vector<float> line(size_t(m.w));
    const float inv = 1.0f / float(2 * radius + 1);
    auto idx = [&](int i) { return wrap ? ((i % m.w) + m.w) % m.w : std::clamp(i, 0, m.w - 1); };
    for (int y = 0; y < m.h; ++y) {
        float* row = &m.v[size_t(y) * m.w];
        std::copy(row, row + m.w, line.begin());
        float acc = 0;
        for (int i = -radius; i <= radius; ++i) acc += line[size_t(idx(i))];
        for (int x = 0; x < m.w; ++x) {
            row[x] = acc * inv;
            acc += line[size_t(idx(x + radius + 1))] - line[size_t(idx(x - radius))];
        }
    }
}

void BoxColumns(Mask& m, int radius, bool wrap) {
    const Mask src = m;
    std::vector<float> acc(size_t(m.w), 0.0f);
    const float inv = 1.0f / float(2 * radius + 1);
    auto row = [&](int i) {
        i = wrap ? ((i % m.h) + m.h) % m.h : std::clamp(i, 0, m.h - 1);
        return &src.v[size_t(i) * m.w];
    };
    for (int i = -radius; i <= radius; ++i) {
        const float* r = row(i);
        for (int x = 0; x < m.w; ++x) acc[size_t(x)] += r[x];
    }
    for (int y = 0; y < m.h; ++y) {
        float* out = &m.v[size_t(y) * m.w];
        const float* add = row(y + radius + 1);
        const float* sub = row(y - radius);
        for (int x = 0; x < m.w; ++x) {
            out[x] = acc[size_t(x)] * inv;
            acc[size_t(x)] += add[x] - sub[x];
        }
    }
}

}  // namespace

void Blur(Mask& m, int radius, bool wrap) {
    if (radius <= 0) return;
    for (int pass = 0; pass < 3; ++pass) {
        BoxRows(m, radius, wrap);
        BoxColumns(m, radius, wrap);
    }
}

Mask NoiseField(int w, int h, float scale, int octaves, uint32_t seed, int step) {
    // The noise on a coarse grid, filled in bilinearly: the fields this serves
    // are far smoother than the grid.
    const int gw = w / step + 2, gh = h / step + 2;
    Mask grid(gw, gh);
    for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x)
            grid.At(x, y) = Fbm(float(x * step) / scale, float(y * step) / scale, 0, 0, octaves, seed);
    Mask out(w, h);
    for (int y = 0; y < h; ++y) {
        const int gy = y / step;
        const float ty = float(y % step) / float(step);
        for (int x = 0; x < w; ++x) {
            const int gx = x / step;
            const float tx = float(x % step) / float(step);
            const float a = grid.At(gx, gy) + (grid.At(gx + 1, gy) - grid.At(gx, gy)) * tx;
            const float b = grid.At(gx, gy + 1) + (grid.At(gx + 1, gy + 1) - grid.At(gx, gy + 1)) * tx;
            out.At(x, y) = a + (b - a) * ty;
        }
    }
    return out;
}

Mask Dilate(const Mask& m, int radius) {
    // Separable max over a square, then a soft edge: good enough for outlines.
    Mask a = m, b(m.w, m.h);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float best = 0;
            for (int d = -radius; d <= radius; ++d) {
                const int xx = x + d;
                if (xx >= 0 && xx < m.w) best = std::max(best, a.At(xx, y));
            }
            b.At(x, y) = best;
        }
    Mask c(m.w, m.h);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float best = 0;
            for (int d = -radius; d <= radius; ++d) {
                const int yy = y + d;
                if (yy >= 0 && yy < m.h) best = std::max(best, b.At(x, yy));
            }
            c.At(x, y) = best;
        }
    // Round the square's corners a little by blending with a diamond-ish blur.
    Mask soft = c;
    Blur(soft, std::max(1, radius / 3));
    for (size_t i = 0; i < c.v.size(); ++i) c.v[i] = std::min(c.v[i], Clamp01(soft.v[i] * 1.6f));
    return c;
}

Mask Shift(const Mask& m, int dx, int dy) {
    Mask out(m.w, m.h);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const int sx = x - dx, sy = y - dy;
            if (sx >= 0 && sy >= 0 && sx < m.w && sy < m.h) out.At(x, y) = m.At(sx, sy);
        }
    return out;
}

void Paint(Image& img, const Mask& mask, Rgb colour, float opacity) {
    for (size_t i = 0; i < img.px.size(); ++i) {
        const float a = Clamp01(mask.v[i] * opacity);
        if (a > 0) img.px[i] = Mix(img.px[i], colour, a);
    }
}

void PaintGradient(Image& img, const Mask& mask, Rgb top, Rgb bottom, int y0, int y1,
                   float opacity) {
    for (int y = 0; y < img.h; ++y) {
        const float t = Clamp01(float(y - y0) / float(std::max(1, y1 - y0)));
        const Rgb c = Mix(top, bottom, t);
        for (int x = 0; x < img.w; ++x) {
            const float a = Clamp01(mask.At(x, y) * opacity);
            if (a > 0) img.At(x, y) = Mix(img.At(x, y), c, a);
        }
    }
}

void AddGlow(Image& img, const Mask& mask, Rgb colour, float strength) {
    for (size_t i = 0; i < img.px.size(); ++i) img.px[i] = img.px[i] + colour * (mask.v[i] * strength);
}

Mask CircleMask(int w, int h, float cx, float cy, float r, float soft) {
    Mask m(w, h);
    const int x0 = std::max(0, int(cx - r - soft - 1)), x1 = std::min(w - 1, int(cx + r + soft + 1));
    const int y0 = std::max(0, int(cy - r - soft - 1)), y1 = std::min(h - 1, int(cy + r + soft + 1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float d = std::hypot(float(x) + 0.5f - cx, float(y) + 0.5f - cy);
            m.At(x, y) = Clamp01((r - d) / soft + 0.5f);
        }
    return m;
}

void FillCircle(Image& img, float cx, float cy, float r, Rgb colour, float opacity) {
    const float soft = 1.0f;
    const int x0 = std::max(0, int(cx - r - 2)), x1 = std::min(img.w - 1, int(cx + r + 2));
    const int y0 = std::max(0, int(cy - r - 2)), y1 = std::min(img.h - 1, int(cy + r + 2));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float d = std::hypot(float(x) + 0.5f - cx, float(y) + 0.5f - cy);
            const float a = Clamp01((r - d) / soft + 0.5f) * opacity;
            if (a > 0) img.At(x, y) = Mix(img.At(x, y), colour, a);
        }
}

void FillRect(Image& img, float x0, float y0, float x1, float y1, Rgb colour, float opacity) {
    for (int y = std::max(0, int(y0)); y < std::min(img.h, int(std::ceil(y1))); ++y)
        for (int x = std::max(0, int(x0)); x < std::min(img.w, int(std::ceil(x1))); ++x) {
            const float cx = std::min(float(x + 1), x1) - std::max(float(x), x0);
            const float cy = std::min(float(y + 1), y1) - std::max(float(y), y0);
            const float a = Clamp01(cx) * Clamp01(cy) * opacity;
            if (a > 0) img.At(x, y) = Mix(img.At(x, y), colour, a);
        }
}

Mask RoundRectMask(int w, int h, float x0, float y0, float x1, float y1, float radius) {
    Mask m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float px = float(x) + 0.5f, py = float(y) + 0.5f;
            const float qx = std::max({x0 + radius - px, 0.0f, px - (x1 - radius)});
            const float qy = std::max({y0 + radius - py, 0.0f, py - (y1 - radius)});
            const float d = std::hypot(qx, qy) - radius;
            m.At(x, y) = Clamp01(0.5f - d);
        }
    return m;
}

Image Resample(const Image& src, int w, int h) {
    Image out(w, h);
    const double sx = double(src.w) / w, sy = double(src.h) / h;
    for (int y = 0; y < h; ++y) {
        const double fy0 = y * sy, fy1 = (y + 1) * sy;
        for (int x = 0; x < w; ++x) {
            const double fx0 = x * sx, fx1 = (x + 1) * sx;
            double r = 0, g = 0, b = 0, area = 0;
            for (int yy = int(fy0); yy < std::min(src.h, int(std::ceil(fy1))); ++yy) {
                const double cy = std::min(double(yy + 1), fy1) - std::max(double(yy), fy0);
                if (cy <= 0) continue;
                for (int xx = int(fx0); xx < std::min(src.w, int(std::ceil(fx1))); ++xx) {
                    const double cx = std::min(double(xx + 1), fx1) - std::max(double(xx), fx0);
                    if (cx <= 0) continue;
                    const Rgb& p = src.At(xx, yy);
                    r += p.r * cx * cy;
                    g += p.g * cx * cy;
                    b += p.b * cx * cy;
                    area += cx * cy;
                }
            }
            out.At(x, y) = {float(r / area), float(g / area), float(b / area)};
        }
    }
    return out;
}

// ---- text ----

const std::string& FontDirectory() {
    static const std::string dir = "/usr/share/fonts/truetype/dejavu/";
    return dir;
}

namespace {

struct FontLibrary {
    FT_Library lib = nullptr;
    std::map<std::string, FT_Face> faces;
    FontLibrary() {
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    }
    ~FontLibrary() {
        for (auto& [name, face] : faces) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
    FT_Face Face(const std::string& file) {
        auto it = faces.find(file);
        if (it != faces.end()) return it->second;
        FT_Face face = nullptr;
        if (!lib || FT_New_Face(lib, (FontDirectory() + file).c_str(), 0, &face) != 0) {
            std::fprintf(stderr, "mkdata: cannot open font %s%s\n", FontDirectory().c_str(),
                         file.c_str());
            return nullptr;
        }
        faces[file] = face;
        return face;
    }
};

FontLibrary& Fonts() {
    static FontLibrary fonts;
    return fonts;
}

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        int extra = 0;
        if (c >= 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        out.push_back(cp);
    }
    return out;
}

FT_Face Prepare(const TextStyle& style) {
    FT_Face face = Fonts().Face(style.font);
    if (!face) return nullptr;
    FT_Set_Char_Size(face, FT_F26Dot6(style.pixelHeight * style.stretchX * 64.0f),
                     FT_F26Dot6(style.pixelHeight * 64.0f), 72, 72);
    return face;
}

// Walks the glyphs; draw receives each rendered bitmap at its pixel origin.
template <typename Draw>
float Layout(const std::string& text, const TextStyle& style, float x, float baseline, Draw draw) {
    FT_Face face = Prepare(style);
    if (!face) return -1;
    float pen = x;
    FT_UInt previous = 0;
    for (uint32_t cp : DecodeUtf8(text)) {
        const FT_UInt index = FT_Get_Char_Index(face, cp);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k) == 0)
                pen += float(k.x) / 64.0f;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING) != 0) continue;
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
        draw(face->glyph->bitmap, int(std::lround(pen)) + face->glyph->bitmap_left,
             int(std::lround(baseline)) - face->glyph->bitmap_top);
        pen += float(face->glyph->advance.x) / 64.0f + style.tracking;
        previous = index;
    }
    return pen - x - style.tracking;
}

}  // namespace

float MeasureText(const std::string& text, const TextStyle& style) {
    return Layout(text, style, 0, 0, [](const FT_Bitmap&, int, int) {});
}

bool DrawText(Mask& into, const std::string& text, const TextStyle& style, float x,
              float baseline) {
    const float width = Layout(text, style, x, baseline, [&](const FT_Bitmap& bm, int ox, int oy) {
        for (unsigned r = 0; r < bm.rows; ++r)
            for (unsigned c = 0; c < bm.width; ++c) {
                const int px = ox + int(c), py = oy + int(r);
                if (px < 0 || py < 0 || px >= into.w || py >= into.h) continue;
                const float a = float(bm.buffer[r * bm.pitch + c]) / 255.0f;
                into.At(px, py) = std::max(into.At(px, py), a);
            }
    });
    return width >= 0;
}

bool DrawTextCentred(Mask& into, const std::string& text, const TextStyle& style, float cx,
                     float baseline) {
    const float width = MeasureText(text, style);
    if (width < 0) return false;
    return DrawText(into, text, style, cx - width / 2, baseline);
}

TextStyle FitText(const std::string& text, TextStyle style, float maxWidth) {
    for (int i = 0; i < 40; ++i) {
        const float width = MeasureText(text, style);
        if (width < 0 || width <= maxWidth) break;
        style.pixelHeight *= std::max(0.5f, maxWidth / width * 0.99f);
    }
    return style;
}

// ---- JPEG ----

bool WriteJpeg(const std::string& path, const Image& img, int quality, bool fullChroma) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "mkdata: cannot write %s\n", path.c_str());
        return false;
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = JDIMENSION(img.w);
    cinfo.image_height = JDIMENSION(img.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_ISLOW;  // integer DCT: same bytes on every machine
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (fullChroma) {
        for (int c = 0; c < 3; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(img.w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < img.w; ++x) {
            const Rgb& p = img.At(x, y);
            row[size_t(x) * 3 + 0] = JSAMPLE(std::lround(Clamp01(p.r) * 255.0f));
            row[size_t(x) * 3 + 1] = JSAMPLE(std::lround(Clamp01(p.g) * 255.0f));
            row[size_t(x) * 3 + 2] = JSAMPLE(std::lround(Clamp01(p.b) * 255.0f));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}

}  // namespace mkdata
