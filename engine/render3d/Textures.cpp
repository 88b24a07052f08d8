// Placeholder slice: to be filled in by the subsystem.
#include "engine/Engine.h"

TextureHandle Engine::CreateTextureFromImage(const uint16_t* /*pixels*/) { return 0; }
void Engine::ReleaseTexture(TextureHandle /*texture*/) {}
TextureHandle Engine::LoadTexture(const char* /*name*/) { return 0; }
