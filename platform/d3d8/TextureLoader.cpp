// JPEG texture loader (being written): fails for every file yet.
#include "platform/d3d8/Internal.h"

namespace d3d8 {
HRESULT D3DXCreateTextureFromFileA(Device*, const char*, Texture** textureOut) {
    if (textureOut) *textureOut = nullptr;
    return D3DERR_NOTAVAILABLE;
}
}  // namespace d3d8
