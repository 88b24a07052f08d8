// Placeholder: frames go nowhere yet.
#include "platform/os/Present.h"

namespace os {
void PresentToWindow(Window*, const uint16_t*, int32_t, int32_t, int32_t) {}
}  // namespace os
