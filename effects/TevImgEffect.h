// The transition effect library in one include (namespace TevImgEffectLib).
#pragma once

#include "effects/effect_images.h"
#include "effects/effect_slides.h"
#include "effects/effect_wipes.h"
#include "effects/general_effect.h"
