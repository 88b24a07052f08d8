// The flat panel that the opening shows its texts on and the logo its logo:
// one object variable and one texture variable, loaded and freed by each of
// the two scenes in turn.
#pragma once

#include "engine/IEngine.h"

namespace demo {

extern Object3D* panelObject;
extern TextureHandle panelTexture;

}  // namespace demo
