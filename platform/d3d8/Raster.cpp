// Software rasterizer of the device (being written): draws nothing yet.
#include "platform/d3d8/Internal.h"

namespace d3d8 {
void RasterDraw(const RasterTarget&, const RasterState&, const RasterTexture*, const RasterInput&) {}
}  // namespace d3d8
