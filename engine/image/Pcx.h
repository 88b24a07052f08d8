// PCX decoding on bytes already in memory, as LoadPcx does it on the load
// buffer. Kept apart so that the decoder can be tried on any byte string.
#pragma once

#include <cstdint>

namespace image {

constexpr uint32_t kPcxHeaderSize = 128;
constexpr uint32_t kPaletteBytes = 768;

// Decodes a whole PCX file of `size` bytes: pixel indices into `pixels`, the
// palette (8-bit entries shifted down to 6 bits) into `palette`. Returns false
// and writes nothing when the header is incomplete or not a 256-colour
// single-plane version-5 PCX. Never reads at or past data + size: decoding
// stops early when the data runs out, and the palette is left as it was when
// no marker with 768 bytes after it follows the pixel data. At most
// pixelRoom pixels are written; an image with more pixels is refused whole.
bool DecodePcx(const uint8_t* data, uint32_t size, uint8_t* pixels, uint8_t* palette,
               uint32_t pixelRoom = 0xFFFFFFFFu);

}  // namespace image
