// The vector renderer in one include: paths, matrices, arcs, path painting,
// gradients and the whole-picture transforms.
#pragma once

#include "companions/vector/gradient_colors.h"
#include "companions/vector/image_transform.h"
#include "companions/vector/render_vector_obj.h"
#include "companions/vector/tev_arc.h"
#include "companions/vector/tev_path.h"
#include "companions/vector/trans_matrix.h"
