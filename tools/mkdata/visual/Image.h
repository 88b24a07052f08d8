// A small float RGB canvas for drawing the demo's textures: gradients,
// periodic noise, soft shapes, text masks from FreeType, blur, resampling and
// JPEG output. Everything is deterministic: no clock, no global random state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkdata {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb Mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }
// 0xRRGGBB to 0..1 floats.
Rgb Hex(uint32_t rgb);

float Clamp01(float v);
float Smooth(float e0, float e1, float x);

// One-channel image: coverage masks, height fields.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask() = default;
    Mask(int width, int height) : w(width), h(height), v(size_t(width) * height, 0.0f) {}
    float& At(int x, int y) { return v[size_t(y) * w + x]; }
    float At(int x, int y) const { return v[size_t(y) * w + x]; }
};

struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Image() = default;
    Image(int width, int height, Rgb fill = {})
        : w(width), h(height), px(size_t(width) * height, fill) {}
    Rgb& At(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgb& At(int x, int y) const { return px[size_t(y) * w + x]; }
};

// Fixed-seed generator (xorshift32) for placement choices.
class Rng {
public:
    explicit Rng(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next();
    float Unit();                       // [0, 1)
    float Range(float lo, float hi);    // [lo, hi)
    int Int(int lo, int hi);            // [lo, hi]
private:
    uint32_t state_;
};

// Smooth value noise on a lattice that repeats every periodX x periodY cells
// (period 0: no repeat), so textures made from it tile.
float PeriodicNoise(float x, float y, int periodX, int periodY, uint32_t seed);
// Octaves of PeriodicNoise, each at twice the frequency; result about 0..1.
float Fbm(float x, float y, int periodX, int periodY, int octaves, uint32_t seed,
          float gain = 0.5f);

// Blurs in place with three box passes of the given radius (about a Gaussian);
// wrap: treat the mask as tiling.
void Blur(Mask& m, int radius, bool wrap = false);
// Fbm(x / scale, y / scale) over a w x h field, evaluated every step pixels.
Mask NoiseField(int w, int h, float scale, int octaves, uint32_t seed, int step = 4);
// Grows a mask by radius pixels (max filter over a disc, approximated by a square
// and a diamond), for outlines.
Mask Dilate(const Mask& m, int radius);
Mask Shift(const Mask& m, int dx, int dy);

// Composites colour over img where mask says, scaled by opacity.
void Paint(Image& img, const Mask& mask, Rgb colour, float opacity = 1.0f);
// Like Paint, with a vertical gradient running from top to bottom over rows y0..y1.
void PaintGradient(Image& img, const Mask& mask, Rgb top, Rgb bottom, int y0, int y1,
                   float opacity = 1.0f);
void AddGlow(Image& img, const Mask& mask, Rgb colour, float strength);

// Soft filled shapes (anti-aliased over about one pixel).
void FillCircle(Image& img, float cx, float cy, float r, Rgb colour, float opacity = 1.0f);
void FillRect(Image& img, float x0, float y0, float x1, float y1, Rgb colour,
              float opacity = 1.0f);
Mask CircleMask(int w, int h, float cx, float cy, float r, float soft = 1.0f);
Mask RoundRectMask(int w, int h, float x0, float y0, float x1, float y1, float radius);

// Area-averaging resample to any size (both axes independently).
Image Resample(const Image& src, int w, int h);

// Text through FreeType. Fonts are looked up in the DejaVu folder by file name
// ("DejaVuSans-Bold.ttf"). Text is UTF-8.
struct TextStyle {
    std::string font = "DejaVuSans-Bold.ttf";
    float pixelHeight = 64;     // em size in canvas pixels
    float stretchX = 1.0f;      // horizontal scale of the glyphs
    float tracking = 0.0f;      // extra advance per glyph, in pixels
};
// Width in pixels that the text would take.
float MeasureText(const std::string& text, const TextStyle& style);
// Draws the text's coverage into a mask of the given size, the baseline starting
// at (x, baseline). Returns false when the font cannot be opened.
bool DrawText(Mask& into, const std::string& text, const TextStyle& style, float x,
              float baseline);
// Centred horizontally on cx; the baseline at baseline.
bool DrawTextCentred(Mask& into, const std::string& text, const TextStyle& style, float cx,
                     float baseline);
// Shrinks pixelHeight until the text fits maxWidth.
TextStyle FitText(const std::string& text, TextStyle style, float maxWidth);

const std::string& FontDirectory();

// Baseline JPEG, 8 bits per channel; subsampling 4:4:4 when fullChroma, else 4:2:0.
bool WriteJpeg(const std::string& path, const Image& img, int quality, bool fullChroma);

}  // namespace mkdata
