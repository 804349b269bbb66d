// SPDX-License-Identifier: GPL-3.0-or-later
// A pick-up: health, armour, a weapon crate or ammunition.
#pragma once

#include <cstdint>
#include <memory>

#include "entities/FlyText.h"
#include "entities/MapEntity.h"
#include "scene/GLScene.h"

namespace orr {

class TItem : public TVisualMapEntity {
 public:
  TItem();
  ~TItem() override;

  TFlyText* FlyText = nullptr;  // the last pick-up text shown; owned by the item
  std::uint16_t Amount = 0;     // units left

  void SetHidden(bool value) override;
  void SetSpawn(const TPackedEntity& record) override;
  void Progress() override;
  // Takes up to `wanted` units; returns what was taken and shows a pick-up text.
  std::uint16_t Take(std::int32_t wanted);

 private:
  std::unique_ptr<TFlyText> flyText_;
  // The sprite spins a little every step it is shown; the sprite makes the rolls when it is
  // next looked at (drawn, met by a ray), so a step does not touch it.
  TOwedRolls spin_{0.45f, 0};
  TGLScene* scene_ = nullptr;
};

}  // namespace orr
