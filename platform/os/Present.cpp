// Showing a finished frame: offscreen windows hand it to the frame sink; real
// windows stream it into an SDL texture and draw it scaled with its aspect
// kept, centred on black (integer steps only with TESSARY_INTEGER_SCALE=1).
#include "platform/os/Present.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/os/Clock.h"
#include "platform/os/WindowImpl.h"

namespace os {
namespace {

bool IntegerScaling() {
    const char* value = std::getenv("TESSARY_INTEGER_SCALE");
    return value && *value && std::strcmp(value, "0") != 0;
}

bool EnsureTexture(Window* w, int32_t width, int32_t height) {
    if (!detail::EnsureRenderer(w)) return false;
    if (!w->texture || w->textureWidth != width || w->textureHeight != height) {
        if (w->texture) SDL_DestroyTexture(w->texture);
        w->texture = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB565,
                                       SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!w->texture) return false;
        w->textureWidth = width;
        w->textureHeight = height;
    }
    return true;
}

// The largest rectangle of the picture's aspect inside the output, centred.
SDL_Rect Fit(int32_t outW, int32_t outH, int32_t width, int32_t height, bool integer) {
    SDL_Rect r{0, 0, outW, outH};
    if (integer) {
        const int32_t scale = std::max(1, std::min(outW / width, outH / height));
        r.w = width * scale;
        r.h = height * scale;
    } else if (int64_t{outW} * height > int64_t{outH} * width) {
        r.w = static_cast<int32_t>(int64_t{outH} * width / height);
    } else {
        r.h = static_cast<int32_t>(int64_t{outW} * height / width);
    }
    r.x = (outW - r.w) / 2;
    r.y = (outH - r.h) / 2;
    return r;
}

void ShowOnScreen(Window* w, const uint16_t* pixels, int32_t width, int32_t height,
                  int32_t pitchBytes) {
    if (!EnsureTexture(w, width, height)) return;
    SDL_UpdateTexture(w->texture, nullptr, pixels, pitchBytes);
    int32_t outW = 0, outH = 0;
    SDL_GetRendererOutputSize(w->renderer, &outW, &outH);
    if (outW <= 0 || outH <= 0) return;
    const bool integer = IntegerScaling();
    SDL_SetTextureScaleMode(w->texture, integer ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    const SDL_Rect dest = Fit(outW, outH, width, height, integer);
    SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
    SDL_RenderClear(w->renderer);
    SDL_RenderCopy(w->renderer, w->texture, nullptr, &dest);
    SDL_RenderPresent(w->renderer);

    // Keep the picture's place in window coordinates for the mouse.
    int32_t winW = 0, winH = 0;
    SDL_GetWindowSize(w->sdl, &winW, &winH);
    w->picture = SDL_Rect{static_cast<int>(int64_t{dest.x} * winW / outW),
                          static_cast<int>(int64_t{dest.y} * winH / outH),
                          static_cast<int>(int64_t{dest.w} * winW / outW),
                          static_cast<int>(int64_t{dest.h} * winH / outH)};
}

}  // namespace

namespace detail {
bool EnsureRenderer(Window* w) {
    if (!w->renderer && w->sdl) {
        w->renderer = SDL_CreateRenderer(w->sdl, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
        if (!w->renderer) w->renderer = SDL_CreateRenderer(w->sdl, -1, SDL_RENDERER_SOFTWARE);
    }
    return w->renderer != nullptr;
}
}  // namespace detail

void PresentToWindow(Window* window, const uint16_t* pixels, int32_t width, int32_t height,
                     int32_t pitchBytes) {
    if (window && window->alive && pixels && width > 0 && height > 0 && pitchBytes >= width * 2) {
        if (window->offscreen)
            detail::SendToFrameSink(pixels, width, height, pitchBytes);
        else if (window->sdl)
            ShowOnScreen(window, pixels, width, height, pitchBytes);
    }
    clock::OnFramePresented();
}

}  // namespace os
