// The load buffer from inside the engine: the scratch block that
// AllocLoadBuffer takes from the heap, for readers that decode whole files
// (the PCX loader).
//
// Neither LoadFile nor FileRead knows how much room the destination has: they
// read what they are asked to. A reader that fills the load buffer must ask
// for at most LoadBufferSize() bytes, whatever FileSize says, so that a large
// file never runs past the buffer:
//
//   uint32_t n = std::min(engine->FileSize(f), files::LoadBufferSize());
//   engine->FileRead(f, files::LoadBuffer(), n);
#pragma once

#include <cstdint>

namespace files {

// Caption of every file message.
inline constexpr const char* kCaption = "TFS TESSARY";

// The buffer of the last AllocLoadBuffer (null before, or when the heap could
// not supply it) and the size that call asked for (0 while the buffer is null).
uint8_t* LoadBuffer();
uint32_t LoadBufferSize();

}  // namespace files
