// What the entity files share and nobody else uses: the scene root and the step registry as
// EntityServices offers them.
#pragma once

#include "entities/UEntityStructures.h"

namespace orr {

// The root object of the world's scene; throws std::logic_error when no scene is set.
TGLBaseSceneObject* SceneRoot();
// Register and remove a step handler; without a step registry they do nothing.
void AddStep(const TStepHandler& handler);
void RemoveStep(const TStepHandler& handler);

}  // namespace orr
