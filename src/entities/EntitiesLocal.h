// SPDX-License-Identifier: GPL-3.0-or-later
// What the entity files share and nobody else uses: the scene root EntityServices offers.
#pragma once

#include "entities/UEntityStructures.h"

namespace orr {

// The root object of the world's scene; throws std::logic_error when no scene is set.
TGLBaseSceneObject* SceneRoot();

}  // namespace orr
