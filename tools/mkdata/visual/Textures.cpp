#include "tools/mkdata/visual/Textures.h"

#include <algorithm>
#include <cmath>

namespace mkdata {
namespace {

constexpr float kPi = 3.14159265358979f;

struct Stop {
    float at;
    Rgb colour;
};

Rgb Ramp(const std::vector<Stop>& stops, float t) {
    if (t <= stops.front().at) return stops.front().colour;
    for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].at) {
            const float k = (t - stops[i - 1].at) / std::max(1e-6f, stops[i].at - stops[i - 1].at);
            return Mix(stops[i - 1].colour, stops[i].colour, k);
        }
    return stops.back().colour;
}

void PaintRamp(Image& img, const Mask& mask, const std::vector<Stop>& stops, int y0, int y1) {
    for (int y = 0; y < img.h; ++y) {
        const Rgb c = Ramp(stops, float(y - y0) / float(std::max(1, y1 - y0)));
        for (int x = 0; x < img.w; ++x) {
            const float a = Clamp01(mask.At(x, y));
            if (a > 0) img.At(x, y) = Mix(img.At(x, y), c, a);
        }
    }
}

// How one line of lettering is dressed.
struct Look {
    std::vector<Stop> fill;
    Rgb outline{0, 0, 0};
    int outlineRadius = 0;
    Rgb glow{0, 0, 0};
    int glowRadius = 0;
    float glowStrength = 0;
    int shadow = 0;  // offset of a soft drop shadow, pixels
};

struct Line {
    std::string text;
    TextStyle style;
    Look look;
    float gapAfter = 0.25f;  // extra space below, in em
};

void Letter(Image& img, const Mask& text, const Look& look, int y0, int y1) {
    if (look.shadow) {
        Mask sh = Shift(look.outlineRadius ? Dilate(text, look.outlineRadius) : text, look.shadow, look.shadow);
        Blur(sh, std::max(2, look.shadow));
        Paint(img, sh, {0, 0, 0}, 0.75f);
    }
    if (look.glowRadius) {
        Mask g = Dilate(text, std::max(1, look.outlineRadius));
        Blur(g, look.glowRadius);
        AddGlow(img, g, look.glow, look.glowStrength);
    }
    if (look.outlineRadius) Paint(img, Dilate(text, look.outlineRadius), look.outline);
    PaintRamp(img, text, look.fill, y0, y1);
}

// Lays the lines out top to bottom, centred on (cx, cy), each within maxWidth.
bool DrawLines(Image& img, std::vector<Line> lines, float cx, float cy, float maxWidth) {
    float total = 0;
    for (Line& l : lines) {
        l.style = FitText(l.text, l.style, maxWidth);
        total += l.style.pixelHeight * (1.0f + l.gapAfter);
    }
    total -= lines.back().style.pixelHeight * lines.back().gapAfter;
    float top = cy - total / 2;
    for (const Line& l : lines) {
        const float em = l.style.pixelHeight;
        // Capitals stand about 0.73 em above the baseline in DejaVu.
        const float baseline = top + em * 0.86f;
        // Work in the line's box only: the effects reach pad pixels round it.
        const int pad = l.look.outlineRadius * 2 + l.look.glowRadius * 3 + l.look.shadow * 2 + 4;
        const float width = MeasureText(l.text, l.style);
        if (width < 0) return false;
        const int x0 = std::max(0, int(cx - width / 2) - pad), x1 = std::min(img.w, int(cx + width / 2) + pad + 1);
        const int y0 = std::max(0, int(baseline - em * 1.05f) - pad), y1 = std::min(img.h, int(baseline + em * 0.3f) + pad + 1);
        Image part(x1 - x0, y1 - y0);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) part.At(x - x0, y - y0) = img.At(x, y);
        Mask m(part.w, part.h);
        if (!DrawTextCentred(m, l.text, l.style, cx - float(x0), baseline - float(y0))) return false;
        Letter(part, m, l.look, int(baseline - em * 0.76f) - y0, int(baseline + em * 0.05f) - y0);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) img.At(x, y) = part.At(x - x0, y - y0);
        top += em * (1.0f + l.gapAfter);
    }
    return true;
}

// ---- looks ----

Look Chrome(Rgb tint, int outline, Rgb glow, int glowR) {
    Look l;
    l.fill = {{0.0f, Mix(Hex(0xFFFFFF), tint, 0.15f)},
              {0.45f, Mix(Hex(0xC8D8F0), tint, 0.35f)},
              {0.5f, Mix(Hex(0x5A6A8A), tint, 0.3f)},
              {0.56f, Mix(Hex(0xE8F2FF), tint, 0.25f)},
              {1.0f, Mix(Hex(0x9AB0D0), tint, 0.4f)}};
    l.outline = Hex(0x05060C);
    l.outlineRadius = outline;
    l.glow = glow;
    l.glowRadius = glowR;
    l.glowStrength = 1.1f;
    l.shadow = outline + 3;
    return l;
}

Look Gold(int outline, int glowR) {
    Look l;
    l.fill = {{0.0f, Hex(0xFFF6C8)}, {0.42f, Hex(0xFFD24A)}, {0.5f, Hex(0xB86A10)},
              {0.58f, Hex(0xFFE27A)}, {1.0f, Hex(0xE08A1A)}};
    l.outline = Hex(0x2A0A00);
    l.outlineRadius = outline;
    l.glow = Hex(0xFF7A20);
    l.glowRadius = glowR;
    l.glowStrength = 1.2f;
    l.shadow = outline + 4;
    return l;
}

Look Plain(Rgb colour, Rgb glow, int glowR) {
    Look l;
    l.fill = {{0, colour}, {1, Mix(colour, Hex(0xFFFFFF), 0.25f)}};
    l.outline = Hex(0x000000);
    l.outlineRadius = 2;
    l.glow = glow;
    l.glowRadius = glowR;
    l.glowStrength = 0.8f;
    l.shadow = 3;
    return l;
}

TextStyle Font(const char* file, float px) {
    TextStyle s;
    s.font = file;
    s.pixelHeight = px;
    return s;
}

// ---- backgrounds ----

// Night sky in a frame: gradient, stars, a horizon grid and a soft light behind
// the text. hue shifts the palette between texts.
Image PanelBackground(int w, int h, Rgb top, Rgb bottom, Rgb light, uint32_t seed) {
    Image img(w, h);
    const Mask noise = NoiseField(w, h, 160.0f, 4, seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float t = float(y) / float(h - 1);
            Rgb c = Mix(top, bottom, t);
            const float n = noise.At(x, y);
            c = c * (0.8f + 0.4f * n);
            const float dx = (float(x) - w * 0.5f) / (w * 0.5f), dy = (float(y) - h * 0.46f) / (h * 0.5f);
            c = c + light * (0.55f * std::exp(-(dx * dx * 1.6f + dy * dy * 3.0f)));
            img.At(x, y) = c;
        }
    Rng rng(seed);
    for (int i = 0; i < 260; ++i) {
        const float x = rng.Range(0, float(w)), y = rng.Range(0, float(h) * 0.7f);
        const float r = rng.Range(0.7f, 2.2f);
        FillCircle(img, x, y, r, Hex(0xFFFFFF), rng.Range(0.25f, 0.9f));
    }
    // A grid receding to the horizon in the lower quarter.
    const float horizon = h * 0.74f;
    Mask grid(w, h);
    for (int y = int(horizon); y < h; ++y) {
        const float depth = (float(y) - horizon + 1.0f) / (float(h) - horizon);
        const float z = 1.0f / depth;
        const float rowLine = std::fabs(std::fmod(z * 2.0f, 1.0f) - 0.5f);
        for (int x = 0; x < w; ++x) {
            const float gx = (float(x) - w * 0.5f) / (depth * w * 0.5f) * 6.0f;
            const float colLine = std::fabs(std::fmod(std::fabs(gx), 1.0f) - 0.5f);
            const float wpx = 0.5f / (depth * w * 0.5f) * 6.0f * 1.5f;
            const float a = std::max(Smooth(0.5f - wpx, 0.5f, colLine), Smooth(0.5f - 0.02f / depth, 0.5f, rowLine));
            grid.At(x, y) = a * Smooth(0.0f, 0.35f, depth);
        }
    }
    Mask glow = grid;
    Blur(glow, 4);
    AddGlow(img, glow, light, 0.8f);
    Paint(img, grid, Mix(light, Hex(0xFFFFFF), 0.4f), 0.8f);
    // Frame: a thin bright line inset, and darkness outside it.
    const float in = 18;
    Mask inside = RoundRectMask(w, h, in, in, float(w) - in, float(h) - in, 26);
    for (size_t i = 0; i < img.px.size(); ++i) img.px[i] = img.px[i] * (0.25f + 0.75f * inside.v[i]);
    Mask rim = RoundRectMask(w, h, in - 3, in - 3, float(w) - in + 3, float(h) - in + 3, 29);
    for (size_t i = 0; i < rim.v.size(); ++i) rim.v[i] = rim.v[i] * (1.0f - inside.v[i]);
    Mask rimGlow = rim;
    Blur(rimGlow, 6);
    AddGlow(img, rimGlow, light, 1.4f);
    Paint(img, rim, Mix(light, Hex(0xFFFFFF), 0.5f), 0.9f);
    return img;
}

// ---- the opening ----

bool TextPanel(Image& out, const std::vector<Line>& lines, Rgb top, Rgb bottom, Rgb light, uint32_t seed) {
    Image img = PanelBackground(1024, 768, top, bottom, light, seed);
    // At depth 5 only the middle 88% shows: the lettering stays inside it.
    if (!DrawLines(img, lines, 512, 350, 780)) return false;
    // The panel is 4:3 on screen; the texture is square, so it is squeezed here
    // and stretched back by the mapping.
    out = Resample(img, 512, 512);
    return true;
}

bool Opening(std::vector<NamedTexture>& out) {
    const Rgb cyan = Hex(0x30C8FF), pink = Hex(0xFF3C9E), violet = Hex(0x9A5CFF), amber = Hex(0xFFA030),
              green = Hex(0x40FFB0);
    struct TextureJob {
        std::vector<Line> lines;
        Rgb top, bottom, light;
    };
    const Look small = Plain(Hex(0xD8E4FF), cyan, 8);
    const std::vector<TextureJob> jobs = {
        {{{"THE *ZORNA* GROUP", Font("DejaVuSans-Bold.ttf", 58), Plain(Hex(0xFFE890), amber, 10), 0.5f},
          {"PRESENTS", Font("DejaVuSans-Bold.ttf", 150), Chrome(cyan, 5, cyan, 18), 0.2f}},
         Hex(0x040A24), Hex(0x14062C), cyan},
        {{{"A REAL-TIME", Font("DejaVuSans-Bold.ttf", 120), Chrome(pink, 5, pink, 18), 0.15f},
          {"BIRTHDAY CARD", Font("DejaVuSans-Bold.ttf", 120), Chrome(pink, 5, pink, 18), 0.45f},
          {"from all of us, to you", Font("DejaVuSerif-BoldItalic.ttf", 56), Plain(Hex(0xFFE0F0), pink, 8), 0}},
         Hex(0x14041E), Hex(0x2A0622), pink},
        {{{"EVERY PIXEL", Font("DejaVuSans-Bold.ttf", 124), Chrome(violet, 5, violet, 18), 0.15f},
          {"DRAWN LIVE", Font("DejaVuSans-Bold.ttf", 124), Chrome(violet, 5, violet, 18), 0.45f},
          {"software 3D at 640 x 480", Font("DejaVuSans-Bold.ttf", 52), small, 0}},
         Hex(0x0A0626), Hex(0x160A36), violet},
        {{{"CAKE, CANDLES", Font("DejaVuSans-Bold.ttf", 116), Gold(5, 18), 0.15f},
          {"AND A TUNE", Font("DejaVuSans-Bold.ttf", 116), Gold(5, 18), 0.45f},
          {"all of it made from code", Font("DejaVuSerif-BoldItalic.ttf", 56), Plain(Hex(0xFFF0D0), amber, 8), 0}},
         Hex(0x1A0A04), Hex(0x2A0E06), amber},
        {{{"MAKE A WISH", Font("DejaVuSans-Bold.ttf", 132), Chrome(green, 5, green, 20), 0.4f},
          {"...and enjoy the show", Font("DejaVuSerif-BoldItalic.ttf", 64), Plain(Hex(0xE0FFF0), green, 8), 0}},
         Hex(0x021810), Hex(0x06201E), green},
    };
    for (size_t i = 0; i < jobs.size(); ++i) {
        NamedTexture t{"textos" + std::to_string(i + 1) + ".jpg", {}, true};
        if (!TextPanel(t.image, jobs[i].lines, jobs[i].top, jobs[i].bottom, jobs[i].light, 1000u + uint32_t(i)))
            return false;
        out.push_back(std::move(t));
    }
    return true;
}

bool Logo(std::vector<NamedTexture>& out) {
    const int w = 1024, h = 768;
    Image img(w, h);
    const Mask logoNoise = NoiseField(w, h, 90.0f, 4, 5150);
    // A starburst of rays in deep red and violet behind the name.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = float(x) - w * 0.5f, dy = float(y) - h * 0.47f;
            const float a = std::atan2(dy, dx), r = std::hypot(dx, dy) / (w * 0.5f);
            const float rays = 0.5f + 0.5f * std::cos(a * 18.0f);
            const float n = logoNoise.At(x, y);
            Rgb c = Mix(Hex(0x30061A), Hex(0x0C0424), Clamp01(r));
            c = c + Hex(0x7A1A40) * (rays * std::exp(-r * 1.8f) * 0.8f);
            c = c + Hex(0xFF9A40) * (std::exp(-r * r * 7.0f) * 0.55f);
            img.At(x, y) = c * (0.85f + 0.3f * n);
        }
    Rng rng(77);
    for (int i = 0; i < 180; ++i)
        FillCircle(img, rng.Range(0, float(w)), rng.Range(0, float(h)), rng.Range(0.8f, 2.4f), Hex(0xFFE8D0),
                   rng.Range(0.3f, 0.9f));
    std::vector<Line> lines = {
        {"*ZORNA*", Font("DejaVuSans-Bold.ttf", 220), Gold(7, 26), 0.3f},
        {"B I R T H D A Y   E D I T I O N", Font("DejaVuSans-Bold.ttf", 44), Plain(Hex(0xFFE0C0), Hex(0xFF5030), 8), 0},
    };
    lines[0].style.tracking = 6;
    if (!DrawLines(img, lines, 512, 370, 800)) return false;
    // Thin gold rules above and below.
    for (float y : {210.0f, 560.0f}) {
        Mask rule(w, h);
        for (int x = 180; x < 844; ++x)
            for (int yy = int(y); yy < int(y) + 4; ++yy) rule.At(x, yy) = 1.0f - std::fabs(float(x) - 512) / 332.0f;
        Mask g = rule;
        Blur(g, 5);
        AddGlow(img, g, Hex(0xFF9030), 1.2f);
        Paint(img, rule, Hex(0xFFE08A));
    }
    Mask inside = RoundRectMask(w, h, 16, 16, float(w) - 16, float(h) - 16, 24);
    for (size_t i = 0; i < img.px.size(); ++i) img.px[i] = img.px[i] * (0.2f + 0.8f * inside.v[i]);
    out.push_back({"zornalogo.jpg", Resample(img, 512, 512), true});
    return true;
}

// ---- landscape ----

Image LandTexture() {
    // A tiling aerial view: water, sand, fields, forest, rock and snow by a
    // height-like noise, shaded as if lit from the upper left.
    const int n = 512;
    Mask height(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float u = float(x) / n * 4, v = float(y) / n * 4;
            const float warp = Fbm(u + 7.1f, v + 2.3f, 4, 4, 3, 8101) - 0.5f;
            height.At(x, y) = Fbm(u + warp * 1.4f, v - warp * 1.4f, 4, 4, 5, 8102);
        }
    Image img(n, n);
    // Mostly land with a few lakes: a repeat every landscape cell must not
    // read as the same island over and over.
    const std::vector<Stop> ramp = {{0.26f, Hex(0x103A6A)}, {0.31f, Hex(0x1E6A9A)}, {0.33f, Hex(0xD8C890)},
                                    {0.36f, Hex(0x7AA040)}, {0.50f, Hex(0x4C8A2E)}, {0.60f, Hex(0x2E5E22)},
                                    {0.70f, Hex(0x6E6A4A)}, {0.78f, Hex(0x8A8478)}, {0.84f, Hex(0xF2F4F8)}};
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float h0 = height.At(x, y);
            const float hx = height.At((x + 1) % n, y) - height.At((x + n - 1) % n, y);
            const float hy = height.At(x, (y + 1) % n) - height.At(x, (y + n - 1) % n);
            const float light = Clamp01(0.75f - (hx + hy) * 18.0f);
            Rgb c = Ramp(ramp, h0);
            // Field patchwork on the low plains.
            if (h0 > 0.36f && h0 < 0.56f) {
                const float cell = PeriodicNoise(std::floor(float(x) / 24.0f) + 0.5f,
                                                 std::floor(float(y) / 18.0f) + 0.5f, n / 24 + 1, n / 18 + 1, 8103);
                const Rgb field = Ramp({{0, Hex(0xB8A040)}, {0.5f, Hex(0x6A9A3A)}, {1, Hex(0x9A7A30)}}, cell);
                c = Mix(c, field, 0.5f * Smooth(0.36f, 0.4f, h0) * (1 - Smooth(0.53f, 0.56f, h0)));
            }
            const float grain = PeriodicNoise(float(x) / 3.0f, float(y) / 3.0f, n / 3 + 1, n / 3 + 1, 8104);
            c = c * (0.9f + 0.2f * grain);
            if (h0 > 0.31f) c = c * (0.55f + 0.6f * light);
            img.At(x, y) = c;
        }
    return Resample(img, 256, 256);
}

// ---- deformed mesh and sphere ----

Image Plasma() {
    // Interference of rings and waves in magenta, cyan and gold, with a fine
    // grid of light that shows the sheet's folds.
    const int w = 1024, h = 1024;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = float(x) / w, v = float(y) / h;
            const float a = std::sin(u * 14.0f + std::sin(v * 5.0f) * 2.0f) +
                            std::sin(std::hypot(u - 0.3f, v - 0.7f) * 30.0f) +
                            std::sin((u + v) * 11.0f) + std::sin(std::hypot(u - 0.8f, v - 0.2f) * 22.0f);
            const float t = 0.5f + 0.5f * std::sin(a * 1.3f);
            Rgb c = Ramp({{0, Hex(0x10002A)}, {0.3f, Hex(0x8A0A7A)}, {0.55f, Hex(0xFF4A8A)}, {0.75f, Hex(0x30D0FF)},
                          {1, Hex(0xFFF0A0)}},
                         t);
            const float gx = std::fabs(std::fmod(u * 24.0f, 1.0f) - 0.5f), gy = std::fabs(std::fmod(v * 18.0f, 1.0f) - 0.5f);
            const float line = std::max(Smooth(0.42f, 0.5f, gx), Smooth(0.42f, 0.5f, gy));
            c = Mix(c * 0.8f, Hex(0xFFFFFF), line * 0.55f);
            img.At(x, y) = c;
        }
    return Resample(img, 512, 512);
}

Image SunSphere() {
    // Burning plasma that tiles around the sphere: deep red to white-hot.
    const int w = 512, h = 512;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = float(x) / w * 6, v = float(y) / h * 6;
            const float warp = Fbm(u + 3.3f, v + 1.7f, 6, 0, 3, 9101);
            const float f = Fbm(u + warp * 2.0f, v + warp * 1.5f, 6, 0, 5, 9102);
            const float veins = 1.0f - std::fabs(2.0f * Fbm(u * 1.5f, v * 1.5f, 9, 0, 4, 9103) - 1.0f);
            const float t = Clamp01(f * 1.1f + std::pow(veins, 6.0f) * 0.5f - 0.1f);
            img.At(x, y) = Ramp({{0, Hex(0x300400)}, {0.35f, Hex(0xB02000)}, {0.6f, Hex(0xFF7A10)},
                                 {0.82f, Hex(0xFFD050)}, {1, Hex(0xFFFFE0)}},
                                t);
        }
    return Resample(img, 256, 256);
}

// ---- city ----

Image Skin() {
    // Left three quarters: teal skin with darker spots and scales, tiling
    // across. Right quarter: eye, mouth, antenna tip and claw pictures.
    const int n = 512;
    Image img(n, n);
    const int skinW = n * 3 / 4;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < skinW; ++x) {
            const float u = float(x) / skinW * 6, v = float(y) / n * 8;
            const float base = Fbm(u, v, 6, 0, 4, 6101);
            const float spots = Smooth(0.62f, 0.7f, Fbm(u * 1.2f + 5, v * 1.2f, 7, 0, 3, 6102));
            const float sx = std::fmod(float(x), 12.0f) - 6.0f, sy = std::fmod(float(y) + (int(x / 12) % 2) * 6.0f, 12.0f) - 6.0f;
            const float scale = 1.0f - Clamp01(std::hypot(sx, sy) / 7.5f);
            // Lighter belly towards the lower latitudes' front is not known here;
            // the latitude band shades lighter below the middle instead.
            const float belly = Smooth(0.55f, 0.8f, float(y) / n) * 0.25f;
            Rgb c = Mix(Hex(0x1E8A7A), Hex(0x3CC8A0), base);
            c = Mix(c, Hex(0x7A2A9A), spots * 0.8f);
            c = c * (0.78f + 0.35f * scale) + Hex(0xE0FFB0) * belly;
            img.At(x, y) = c;
        }
    const int q = n / 4;
    auto slot = [&](int s, auto fn) {
        for (int y = 0; y < q; ++y)
            for (int x = skinW; x < n; ++x) {
                const float px = (float(x - skinW) + 0.5f) / q * 2 - 1, py = (float(y) + 0.5f) / q * 2 - 1;
                img.At(x, s * q + y) = fn(px, py);
            }
    };
    slot(0, [](float x, float y) {  // eye, looking slightly ahead
        const float r = std::hypot(x, y - 0.05f);
        Rgb c = Mix(Hex(0xFFFFFF), Hex(0xC8D0E0), Clamp01(std::hypot(x, y) - 0.6f));
        const float iris = 1 - Smooth(0.48f, 0.52f, r);
        c = Mix(c, Mix(Hex(0x2A7AFF), Hex(0x0A2A8A), Clamp01(r * 2)), iris);
        c = Mix(c, Hex(0x050508), 1 - Smooth(0.22f, 0.26f, r));
        c = Mix(c, Hex(0xFFFFFF), 1 - Smooth(0.08f, 0.12f, std::hypot(x + 0.16f, y + 0.18f)));
        return c;
    });
    slot(1, [](float x, float y) {  // mouth: dark red with a tongue
        Rgb c = Mix(Hex(0x3A0610), Hex(0x100204), Clamp01(std::hypot(x, y)));
        return Mix(c, Hex(0xE04A6A), 1 - Smooth(0.3f, 0.4f, std::hypot(x, y - 0.5f)));
    });
    slot(2, [](float x, float y) {  // antenna tip: glowing yellow
        const float r = std::hypot(x + 0.2f, y + 0.2f);
        return Mix(Hex(0xFFFFC0), Hex(0xFF9A10), Clamp01(r));
    });
    slot(3, [](float x, float y) {  // claws and feet: dark purple
        return Mix(Hex(0x6A2A8A), Hex(0x2A0A3A), Clamp01(std::hypot(x, y)));
    });
    return Resample(img, 256, 256);
}

Image Building() {
    // Tiles 4 window columns by 8 floors; the last rows of each floor are the
    // ledge, whose colour the roofs take.
    const int n = 256, cw = 64, fh = 32;
    Image img(n, n);
    Rng rng(5151);
    for (int fy = 0; fy < n / fh; ++fy)
        for (int fx = 0; fx < n / cw; ++fx) {
            const bool lit = rng.Unit() < 0.42f;
            const Rgb warm = Mix(Hex(0xFFD27A), Hex(0xFFF0C0), rng.Unit());
            const float tone = rng.Range(0.0f, 1.0f);
            for (int y = 0; y < fh; ++y)
                for (int x = 0; x < cw; ++x) {
                    const int X = fx * cw + x, Y = fy * fh + y;
                    const float grain = PeriodicNoise(float(X) / 2.0f, float(Y) / 2.0f, n / 2, n / 2, 5152);
                    Rgb c = Mix(Hex(0x9A9088), Hex(0xB8AEA0), grain);
                    if (y >= fh - 5) c = Hex(0x5A5660) * (0.9f + 0.2f * grain);  // ledge
                    const bool window = x >= 10 && x < cw - 10 && y >= 5 && y < fh - 10;
                    if (window) {
                        const float gy = float(y - 5) / float(fh - 15);
                        if (lit)
                            c = warm * (0.85f + 0.15f * gy);
                        else
                            c = Mix(Hex(0x1A2A4A), Hex(0x4A6A9A), Clamp01(1.0f - gy + 0.3f * tone)) * (0.8f + 0.2f * grain);
                        if (x == cw / 2 || x == cw / 2 - 1) c = Hex(0x3A3A40);  // mullion
                    }
                    if ((x == 9 || x == cw - 10) && y >= 4 && y < fh - 9) c = Hex(0x4A4448);
                    img.At(X, Y) = c;
                }
        }
    return img;
}

Image Sky() {
    // Sunset all round: indigo zenith to a glowing horizon at the middle row,
    // pink-lit clouds, dusk haze below the horizon. Tiles across. Big, since
    // the sphere is close to the camera: about 1.5 units per texel.
    const int w = 1024, h = 512;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float lat = float(y) / h;  // 0 zenith, 0.5 horizon
            const float u = float(x) / w;
            Rgb c;
            if (lat < 0.5f) {
                c = Ramp({{0.0f, Hex(0x0A0A30)}, {0.22f, Hex(0x2A2070)}, {0.36f, Hex(0x7A3A8A)},
                          {0.44f, Hex(0xE0607A)}, {0.485f, Hex(0xFFB060)}, {0.5f, Hex(0xFFE0A0)}},
                         lat);
                // The sun's glow on one side.
                const float du = std::fabs(u - 0.25f) * 2 * kPi;
                const float sun = std::exp(-(du * du * 4.0f + (0.5f - lat) * (0.5f - lat) * 120.0f));
                c = c + Hex(0xFFC070) * (sun * 0.7f);
                const float cloud = Fbm(u * 8, lat * 10, 8, 0, 5, 4101);
                const float band = Smooth(0.15f, 0.28f, lat) * (1 - Smooth(0.44f, 0.49f, lat));
                const float k = Smooth(0.5f, 0.68f, cloud) * band;
                const Rgb lit = Mix(Hex(0xFF9AAA), Hex(0xFFD0A0), Smooth(0.3f, 0.48f, lat));
                const Rgb shade = Mix(Hex(0x4A2A6A), Hex(0x8A4A7A), Smooth(0.2f, 0.45f, lat));
                c = Mix(c, Mix(shade, lit, Smooth(0.55f, 0.8f, cloud)), k * 0.9f);
                if (lat < 0.3f) {
                    const float star = PeriodicNoise(float(x) / 1.3f, float(y) / 1.3f, int(w / 1.3f), 0, 4102);
                    c = c + Hex(0xFFFFFF) * (Smooth(0.985f, 1.0f, star) * (1 - lat / 0.3f));
                }
            } else {
                c = Mix(Hex(0xB07A6A), Hex(0x1A1420), Smooth(0.5f, 0.62f, lat));
            }
            img.At(x, y) = c;
        }
    return img;
}

Image Ground() {
    // The whole box top, 2000 units square: a paved plaza under the city in the
    // middle, grass and fields around, four avenues out to the edge.
    const int n = 1024;
    Image img(n, n);
    const Mask groundNoise = NoiseField(n, n, 60.0f, 5, 3101, 2);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float u = float(x) / n - 0.5f, v = float(y) / n - 0.5f;
            const float units = 2000.0f;
            const float ux = u * units, vz = v * units;
            const float r = std::hypot(ux, vz);
            const float g = groundNoise.At(x, y);
            Rgb c = Mix(Hex(0x3A6A2A), Hex(0x6A8A3A), g);
            const float fields = PeriodicNoise(std::floor(float(x) / 40.0f) + 0.5f, std::floor(float(y) / 30.0f) + 0.5f, 0, 0, 3102);
            c = Mix(c, Ramp({{0, Hex(0x8A7A3A)}, {0.5f, Hex(0x5A8A30)}, {1, Hex(0xA89A50)}}, fields), 0.35f);
            // Plaza.
            const float plaza = 1 - Smooth(46.0f, 52.0f, r);
            const float tiles = (int(std::floor(ux / 4.0f)) + int(std::floor(vz / 4.0f))) & 1;
            c = Mix(c, Mix(Hex(0x8A8490), Hex(0x9E98A2), tiles) * (0.9f + 0.2f * g), plaza);
            const float ring = 1 - Smooth(2.0f, 4.0f, std::fabs(r - 56.0f));
            c = Mix(c, Hex(0x3A3A42), ring);
            // Avenues along the axes and the diagonals.
            const float road = std::min(std::fabs(ux), std::fabs(vz));
            const float diag = std::min(std::fabs(ux - vz), std::fabs(ux + vz)) * 0.7071f;
            const float avenue = (1 - Smooth(5.0f, 8.0f, std::min(road, diag))) * Smooth(50.0f, 58.0f, r);
            c = Mix(c, Hex(0x34343C), avenue);
            img.At(x, y) = c * (0.85f + 0.3f * g);
        }
    return Resample(img, 512, 512);
}

// Billboard picture: a steel frame round a coloured field with the lettering.
bool BoardPicture(Image& out, const std::vector<Line>& lines, Rgb a, Rgb b, uint32_t seed) {
    const int w = 1024, h = 512;
    Image img(w, h);
    const Mask noise = NoiseField(w, h, 120.0f, 4, seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float t = float(y) / h;
            const float n = noise.At(x, y);
            const float diag = 0.5f + 0.5f * std::sin((float(x) + float(y)) / 38.0f);
            Rgb c = Mix(a, b, t) * (0.8f + 0.35f * n);
            c = c + Hex(0xFFFFFF) * (0.04f * diag);
            img.At(x, y) = c;
        }
    if (!DrawLines(img, lines, 512, 250, 900)) return false;
    // Frame in the posts' colour, with a bevel and bolts.
    const float f = 26;
    Mask inside = RoundRectMask(w, h, f, f, float(w) - f, float(h) - f, 10);
    const Rgb steel = Hex(0x34383F);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float k = inside.At(x, y);
            const float edge = std::min({float(x), float(y), float(w - 1 - x), float(h - 1 - y)});
            const float bevel = Clamp01(edge / f);
            const Rgb frame = steel * (0.8f + 0.4f * std::sin(bevel * kPi));
            img.At(x, y) = Mix(frame, img.At(x, y), k);
        }
    for (float bx : {f / 2, float(w) - f / 2})
        for (float by : {f / 2, float(h) - f / 2}) FillCircle(img, bx, by, 6, Hex(0x8A8E96));
    // The posts sample the left edge's middle: keep it plain steel.
    FillRect(img, 0, float(h) / 2 - 40, 12, float(h) / 2 + 40, steel);
    out = Resample(img, 512, 256);
    return true;
}

bool Billboards(std::vector<NamedTexture>& out) {
    struct Credit {
        const char* role;
        const char* who;
        const char* detail;
        uint32_t a, b;
    };
    const std::vector<Credit> credits = {
        {"CODE", "THE TESSARY TEAM", "engine, scenes and rasterizer in C++20", 0x0A2A6A, 0x041030},
        {"MUSIC", "COMPOSED IN CODE", "every note written by mkdata", 0x5A0A4A, 0x20041E},
        {"GRAPHICS", "DRAWN BY PROGRAMS", "noise, gradients and FreeType", 0x0A5A3A, 0x04241A},
        {"ENGINE", "TESSARY V2.5", "with KVR Kavreli V2.2 display", 0x6A3A0A, 0x2A1404},
        {"TOOLS", "MKDATA & CAPTURE", "data and video, made at build time", 0x3A1A6A, 0x140828},
        {"A PRODUCTION OF", "*ZORNA*", "happy birthday!", 0x7A0A1A, 0x2A0408},
    };
    for (size_t i = 0; i < credits.size(); ++i) {
        const Credit& c = credits[i];
        std::vector<Line> lines = {
            {c.role, Font("DejaVuSans-Bold.ttf", 64), Plain(Hex(0xFFD860), Hex(0xFF8A20), 8), 0.2f},
            {c.who, Font("DejaVuSans-Bold.ttf", 118), Chrome(Hex(0x8AC8FF), 5, Hex(0x40A0FF), 14), 0.3f},
            {c.detail, Font("DejaVuSans.ttf", 46), Plain(Hex(0xE8F0FF), Hex(0x000000), 0), 0},
        };
        NamedTexture t{"credit0" + std::to_string(i + 1) + ".jpg", {}, true};
        if (!BoardPicture(t.image, lines, Hex(c.a), Hex(c.b), 2000u + uint32_t(i))) return false;
        out.push_back(std::move(t));
    }
    struct Greet {
        const char* name;
        const char* what;
    };
    const std::vector<Greet> greets = {
        {"SDL", "window, keys and sound"},       {"libopenmpt", "plays our module"},
        {"libjpeg-turbo", "every texture here"}, {"FreeType", "draws these letters"},
        {"DejaVu fonts", "the letters themselves"}, {"GCC", "compiles every line"},
        {"CMake", "builds the lot"},             {"Debian", "the ground we stand on"},
        {"FFmpeg", "turns frames into video"},   {"GoogleTest", "keeps us honest"},
    };
    for (size_t i = 0; i < greets.size(); ++i) {
        const float hue = float(i) / float(greets.size());
        const Rgb a = Mix(Hex(0x0A3A5A), Hex(0x5A0A5A), hue), b = Mix(Hex(0x04101E), Hex(0x1E041E), hue);
        std::vector<Line> lines = {
            {"THANK YOU", Font("DejaVuSans-Bold.ttf", 60), Plain(Hex(0xFFE070), Hex(0xFF9030), 8), 0.2f},
            {greets[i].name, Font("DejaVuSans-Bold.ttf", 128), Gold(5, 14), 0.3f},
            {greets[i].what, Font("DejaVuSerif-BoldItalic.ttf", 50), Plain(Hex(0xF0F0FF), Hex(0x000000), 0), 0},
        };
        NamedTexture t{"greet" + std::to_string(i + 1) + ".jpg", {}, true};
        if (!BoardPicture(t.image, lines, a, b, 3000u + uint32_t(i))) return false;
        out.push_back(std::move(t));
    }
    return true;
}

// ---- cake ----

bool CakeTexture(Image& out) {
    // Top design (u, v 0..0.5): pink icing, a ring of piped dots, a heart
    // of lettering. Side band (u 0.5..1, v 0..0.5): sponge and cream layers
    // under a drip edge, repeating once around. Lower half: plate, cream.
    const int n = 1024, q = n / 2;
    Image img(n, n);
    for (int y = 0; y < q; ++y)
        for (int x = 0; x < q; ++x) {
            const float px = (float(x) + 0.5f) / q * 2 - 1, py = (float(y) + 0.5f) / q * 2 - 1;
            const float r = std::hypot(px, py);
            const float n1 = Fbm(float(x) / 40.0f, float(y) / 40.0f, 0, 0, 3, 1201);
            Rgb c = Mix(Hex(0xFFB0CC), Hex(0xFFD0E0), n1);
            c = Mix(c, Hex(0xFF7AA8), Smooth(0.86f, 0.9f, r));
            img.At(x, y) = c;
        }
    for (int i = 0; i < 36; ++i) {
        const float a = 2 * kPi * float(i) / 36.0f;
        FillCircle(img, q * 0.5f + std::sin(a) * q * 0.40f, q * 0.5f + std::cos(a) * q * 0.40f, 7, Hex(0xFFFFFF));
    }
    {
        Image top(q, q);
        for (int y = 0; y < q; ++y)
            for (int x = 0; x < q; ++x) top.At(x, y) = img.At(x, y);
        std::vector<Line> lines = {
            {"Happy", Font("DejaVuSerif-BoldItalic.ttf", 96), Plain(Hex(0xC0105A), Hex(0x000000), 0), 0.05f},
            {"Birthday!", Font("DejaVuSerif-BoldItalic.ttf", 96), Plain(Hex(0xC0105A), Hex(0x000000), 0), 0},
        };
        for (Line& l : lines) {
            l.look.outline = Hex(0xFFFFFF);
            l.look.outlineRadius = 4;
            l.look.shadow = 0;
        }
        if (!DrawLines(top, lines, q * 0.5f, q * 0.5f, q * 0.66f)) return false;
        for (int y = 0; y < q; ++y)
            for (int x = 0; x < q; ++x) img.At(x, y) = top.At(x, y);
    }
    // Side band.
    for (int y = 0; y < q; ++y)
        for (int x = q; x < n; ++x) {
            const float u = float(x - q) / q, t = float(y) / q;  // t: 0 top, 1 bottom
            const float drip = 0.16f + 0.06f * std::sin(u * 2 * kPi * 12) + 0.04f * std::sin(u * 2 * kPi * 31 + 1.0f);
            Rgb c;
            if (t < drip)
                c = Mix(Hex(0xFF9ABE), Hex(0xFFC8DA), PeriodicNoise(u * 40, t * 20, 40, 0, 1301));
            else {
                const float layer = std::fmod((t - 0.2f) * 4.0f, 1.0f);
                const float sponge = PeriodicNoise(u * 90, t * 40, 90, 0, 1302);
                c = layer < 0.72f ? Mix(Hex(0xE8B060), Hex(0xF8D08A), sponge) : Mix(Hex(0xFFF6EA), Hex(0xFFE0EE), sponge);
                c = Mix(c, Hex(0xC02040), Smooth(0.72f, 0.75f, layer) * (1 - Smooth(0.8f, 0.83f, layer)) * 0.9f);
            }
            img.At(x, y) = c;
        }
    // Plate (left of the lower half) and cream (right).
    for (int y = q; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float px = (float(x) + 0.5f) / q * 2 - 1, py = (float(y - q) + 0.5f) / q * 2 - 1;
            Rgb c;
            if (x < q) {
                const float r = std::hypot(px, py);
                c = Mix(Hex(0xF4F6FA), Hex(0xC8D0DC), Smooth(0.6f, 1.0f, r));
                c = Mix(c, Hex(0xD8B04A), (1 - Smooth(0.02f, 0.04f, std::fabs(r - 0.93f))));
            } else if (y < q + q / 4) {
                c = Mix(Hex(0xD8DCE4), Hex(0xF6F8FC), float(x - q) / q);  // plate rim
            } else {
                const float s = PeriodicNoise(float(x) / 8.0f, float(y) / 8.0f, 0, 0, 1401);
                c = Mix(Hex(0xFFF4F8), Hex(0xFFD6E6), s);
            }
            img.At(x, y) = c;
        }
    out = Resample(img, 512, 512);
    return true;
}

Image CandleTexture() {
    // Left half: wax with three stripe patterns stacked (each candle picks
    // one); right half: the flame from its blue root (bottom) to its tip (top).
    const int n = 512;
    Image img(n, n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const float u = float(x) / n, v = float(y) / n;
            Rgb c;
            if (u < 0.5f) {
                const float a = u / 0.5f;
                const float stripe = std::fmod(a * 3.0f + v * 9.0f, 1.0f);
                const int band = std::min(2, int((1.0f - v) / 0.333f));
                const Rgb base = band == 0 ? Hex(0xFFF0F4) : band == 1 ? Hex(0xF0F8FF) : Hex(0xFFFBEA);
                const Rgb str = band == 0 ? Hex(0xFF4A8A) : band == 1 ? Hex(0x3A8AFF) : Hex(0xFFB020);
                c = Mix(base, str, Smooth(0.45f, 0.5f, stripe) * (1 - Smooth(0.8f, 0.85f, stripe)));
                c = c * (0.8f + 0.2f * std::sin(a * kPi));
            } else {
                const float t = 1.0f - v;  // 0 root, 1 tip
                c = Ramp({{0.0f, Hex(0x3050FF)}, {0.12f, Hex(0xFFF8E0)}, {0.45f, Hex(0xFFF0A0)}, {0.75f, Hex(0xFFA020)},
                          {1.0f, Hex(0xFF5010)}},
                         t);
            }
            img.At(x, y) = c;
        }
    return Resample(img, 256, 256);
}

bool FestiveBackground(Image& out) {
    // Behind the cake: a warm violet room with out-of-focus lights, confetti,
    // bunting along the top and the greeting.
    const int w = 1024, h = 768;
    Image img(w, h);
    const Mask noise = NoiseField(w, h, 150.0f, 4, 7001);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = (float(x) - w * 0.5f) / w, dy = (float(y) - h * 0.55f) / h;
            const float n = noise.At(x, y);
            Rgb c = Mix(Hex(0x3A1050), Hex(0x12041E), Clamp01(std::hypot(dx, dy) * 1.6f));
            img.At(x, y) = c * (0.85f + 0.3f * n);
        }
    Rng rng(2024);
    const Rgb bokeh[] = {Hex(0xFFB040), Hex(0xFF4A8A), Hex(0x40C8FF), Hex(0xA060FF), Hex(0xFFF0A0)};
    for (int i = 0; i < 70; ++i) {
        Image layer(w, h);
        const float x = rng.Range(0, float(w)), y = rng.Range(float(h) * 0.15f, float(h));
        const float r = rng.Range(14, 48);
        FillCircle(img, x, y, r, bokeh[rng.Int(0, 4)], rng.Range(0.12f, 0.35f));
    }
    for (int i = 0; i < 260; ++i) {
        const float x = rng.Range(0, float(w)), y = rng.Range(0, float(h));
        const float a = rng.Range(0, kPi), len = rng.Range(5, 12);
        const Rgb c = bokeh[rng.Int(0, 4)];
        for (float t = -len; t <= len; t += 0.5f) FillCircle(img, x + std::cos(a) * t, y + std::sin(a) * t, 2.2f, c, 0.9f);
    }
    // Bunting: two sagging strings of flags.
    for (int s = 0; s < 2; ++s) {
        const float y0 = 30.0f + 40.0f * s, sag = 70.0f + 20.0f * s;
        const int flags = 14 - 2 * s;
        for (int k = 0; k < flags; ++k) {
            const float t0 = (float(k) + 0.1f) / flags, t1 = (float(k) + 0.9f) / flags;
            auto yAt = [&](float t) { return y0 + sag * 4 * t * (1 - t); };
            const Rgb c = bokeh[(k + s) % 5];
            const float xa = t0 * w, xb = t1 * w, ya = yAt(t0), yb = yAt(t1);
            const float xm = (xa + xb) / 2, ym = (ya + yb) / 2 + 52;
            for (int y = int(std::min(ya, yb)); y < int(ym); ++y)
                for (int x = int(xa); x < int(xb); ++x) {
                    // Inside the triangle (xa, ya), (xb, yb), (xm, ym)?
                    auto side = [](float ax, float ay, float bx, float by, float px, float py) {
                        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
                    };
                    const float px = float(x) + 0.5f, py = float(y) + 0.5f;
                    const float d1 = side(xa, ya, xb, yb, px, py), d2 = side(xb, yb, xm, ym, px, py),
                                d3 = side(xm, ym, xa, ya, px, py);
                    if ((d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0))
                        img.At(x, y) = c * (0.85f + 0.15f * float(y - int(ya)) / 52.0f);
                }
        }
        for (int x = 0; x < w; ++x) {
            const float t = float(x) / w;
            FillCircle(img, float(x), y0 + sag * 4 * t * (1 - t), 1.4f, Hex(0xF0E0C0));
        }
    }
    std::vector<Line> lines = {
        {"HAPPY BIRTHDAY!", Font("DejaVuSans-Bold.ttf", 96), Gold(5, 22), 0},
    };
    if (!DrawLines(img, lines, 512, 190, 900)) return false;
    out = Resample(img, 512, 512);
    return true;
}

}  // namespace

bool BuildTextures(std::vector<NamedTexture>& out) {
    if (!Opening(out) || !Logo(out)) return false;
    out.push_back({"landtext.jpg", LandTexture(), false});
    out.push_back({"deforme.jpg", Plasma(), false});
    out.push_back({"deforme2.jpg", SunSphere(), false});
    out.push_back({"skin.jpg", Skin(), false});
    out.push_back({"build.jpg", Building(), false});
    out.push_back({"cielo.jpg", Sky(), false});
    out.push_back({"tierra.jpg", Ground(), false});
    if (!Billboards(out)) return false;
    NamedTexture cake{"tarta.jpg", {}, true};
    if (!CakeTexture(cake.image)) return false;
    out.push_back(std::move(cake));
    out.push_back({"llama.jpg", CandleTexture(), false});
    NamedTexture festive{"pcr.jpg", {}, true};
    if (!FestiveBackground(festive.image)) return false;
    out.push_back(std::move(festive));
    return true;
}

}  // namespace mkdata
