// File access through platform handles, the load buffer and whole-file reads.
#include "engine/files/Files.h"

#include "engine/Engine.h"
#include "platform/os/File.h"
#include "platform/os/MessageBox.h"

static_assert(kInvalidFileHandle == os::kInvalidFile);

namespace files {
namespace {
struct {
    uint8_t* loadBuffer = nullptr;
    uint32_t loadBufferSize = 0;
} state;
}  // namespace

uint8_t* LoadBuffer() { return state.loadBuffer; }
uint32_t LoadBufferSize() { return state.loadBuffer != nullptr ? state.loadBufferSize : 0; }

}  // namespace files

using files::state;

FileHandle Engine::FileOpen(const char* name) {
    const FileHandle file = os::OpenForReading(name);
    if (file == kInvalidFileHandle) os::ShowMessageBox("Error opening da file!", files::kCaption);
    return file;
}

void Engine::FileClose(FileHandle file) { os::CloseFile(file); }

void Engine::FileRead(FileHandle file, void* destination, uint32_t count) {
    os::ReadFile(file, destination, count);
}

uint32_t Engine::FileSize(FileHandle file) {
    uint64_t size;
    if (!os::FileSize64(file, &size)) return 0xFFFFFFFFu;
    if ((size >> 32) != 0)
        os::ShowMessageBox("We can't manage files larger than a dword size!", files::kCaption);
    return static_cast<uint32_t>(size);
}

void Engine::Reserved40(int32_t /*ignored*/) {}
int32_t Engine::Reserved41() { return 0; }

void Engine::AllocLoadBuffer(uint32_t size) {
    IEngine* self = this;
    state.loadBufferSize = size;
    state.loadBuffer = static_cast<uint8_t*>(self->MemAlloc(size));
}

void Engine::FreeLoadBuffer() {
    IEngine* self = this;
    self->MemFree(state.loadBuffer, state.loadBufferSize);
}

// The destination must hold the whole file: its size is not known here.
void Engine::LoadFile(const char* name, void* destination) {
    IEngine* self = this;
    const FileHandle file = self->FileOpen(name);
    const uint32_t size = self->FileSize(file);
    self->FileRead(file, destination, size);
    self->FileClose(file);
}
