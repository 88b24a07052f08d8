// Inside platform/os only: what a window is made of.
#pragma once

#include <SDL.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/os/Window.h"

namespace os::detail {

struct MessageQueue {
    std::mutex lock;
    std::condition_variable posted;
    std::deque<Message> messages;
};

}  // namespace os::detail

namespace os {

struct Window {
    std::string className, title;
    WindowProc proc = nullptr;
    uint32_t style = 0, exStyle = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool alive = true, offscreen = false;
    bool visible = false, minimised = false, active = false, fullscreen = false;
    std::shared_ptr<detail::MessageQueue> queue;

    // Real windows.
    SDL_Window* sdl = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t textureWidth = 0, textureHeight = 0;
    // Where the last frame was drawn, in window coordinates, for mapping the
    // mouse into picture coordinates when full screen.
    SDL_Rect picture{0, 0, 0, 0};
};

}  // namespace os

namespace os::detail {

// Frames of offscreen windows go here (empty: dropped).
void SendToFrameSink(const uint16_t* pixels, int32_t width, int32_t height, int32_t pitchBytes);
void UpdateCursor();
// The window's renderer (vsync where the driver offers it); false when none.
bool EnsureRenderer(Window* window);

}  // namespace os::detail
