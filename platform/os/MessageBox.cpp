#include "platform/os/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <mutex>

namespace os {
namespace {
struct {
    std::mutex lock;
    MessageBoxHook hook;
} state;
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard<std::mutex> guard(state.lock);
    state.hook = std::move(hook);
}

void ShowMessageBox(const char* text, const char* caption) {
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.hook) {
            state.hook(text, caption);
            return;
        }
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

}  // namespace os
