// Shape and text objects in one include.
#pragma once

#include "companions/shapes/font_outline.h"
#include "companions/shapes/preset_gradients.h"
#include "companions/shapes/shape_object.h"
#include "companions/shapes/text_object.h"
#include "companions/shapes/vector_object.h"
