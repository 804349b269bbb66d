// SPDX-License-Identifier: GPL-3.0-or-later
// The pick-up text that rises from a taken item.
#pragma once

#include <string>

#include "core/Numbers.h"
#include "scene/GLBitmapFont.h"
#include "scene/GLScene.h"

namespace orr {

// A pick-up text that rises from where the item was taken and vanishes at camera height.
class TFlyText {
 public:
  TFlyText(const std::string& text, const TVector& position);
  ~TFlyText();
  TFlyText(const TFlyText&) = delete;
  TFlyText& operator=(const TFlyText&) = delete;

  TGLFlatText* Label = nullptr;
  void Rise();

 private:
  TGLScene* scene_ = nullptr;
};

}  // namespace orr
