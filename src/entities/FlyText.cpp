// SPDX-License-Identifier: GPL-3.0-or-later
// The pick-up text that rises from a taken item.
#include "entities/EntitiesLocal.h"

namespace orr {

// ---- TFlyText ------------------------------------------------------------------------------

TFlyText::TFlyText(const std::string& text, const TVector& position) {
  TGLBaseSceneObject* root = SceneRoot();
  scene_ = root->Scene();
  Label = NewChildObject<TGLFlatText>(root);
  Label->Position.SetVector(position);
  Label->SetText(text);
  Label->Scale.SetPoint(0.01f, 0.01f, 0.01f);
  Label->SetBitmapFont(EntityServices.Font);
  Label->SetAlignment(taCenter);
  Label->ObjectStyle.NoDepthTest = true;
  AddStepHandler(StepHandlerOf<&TFlyText::Rise>(this));
}

TFlyText::~TFlyText() {
  RemoveStepHandler(StepHandlerOf<&TFlyText::Rise>(this));
  if (Label != nullptr) Label->Free();
}

void TFlyText::Rise() {
  if (Label->Position.Z() > CameraHeight) Label->SetVisible(false);
  else Label->Position.SetZ(Label->Position.Z() + 0.1f);
}

}  // namespace orr
