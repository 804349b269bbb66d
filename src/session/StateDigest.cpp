// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/StateDigest.h"

#include <cstring>

#include "core/Random.h"
#include "entities/UEntityStructures.h"
#include "scene/GLViewer.h"

namespace orr {
namespace {

// FNV-1a over 32-bit words: quick enough to run over every entity of a big map once a
// second without showing in a frame.
class THash {
 public:
  void Word(std::uint32_t w) {
    h_ ^= w;
    h_ *= 0x01000193u;
  }
  void Float(float f) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    Word(bits);
  }
  void Int(std::int64_t v) {
    Word(static_cast<std::uint32_t>(v));
    Word(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32));
  }
  void Point(const TVector& v) {
    Float(v.X);
    Float(v.Y);
    Float(v.Z);
  }
  std::uint32_t Value() const { return h_; }

 private:
  std::uint32_t h_ = 0x811C9DC5u;
};

void Visual(THash& h, const TVisualMapEntity& e) {
  h.Point(e.GetPosition());
  h.Float(e.Heading);
  h.Word(e.Hidden ? 1 : 0);
  h.Int(static_cast<std::int64_t>(e.Frame));
}

void Creature(THash& h, const TCreature& c) {
  h.Int(static_cast<std::int64_t>(c.Health));
  h.Int(static_cast<std::int64_t>(c.Armour));
  h.Int(static_cast<std::int64_t>(c.Weapon));
  h.Int(static_cast<std::int64_t>(c.AnimState));
  h.Int(static_cast<std::int64_t>(c.ActionState));
  h.Int(static_cast<std::int64_t>(c.WeaponPhase));
  h.Float(c.WeaponTimer);
  h.Word(c.LaserOn ? 1 : 0);
}

void Spawn(THash& h, const TMapEntity& e) {
  h.Int(static_cast<std::int64_t>(e.Spawn.Kind));
  h.Int(static_cast<std::int64_t>(e.Spawn.Index));
}

}  // namespace

TStateDigest GameStateDigest() {
  THash seed, position, state, inventory, camera, npcs, items, others;
  std::uint32_t cells = 0;
  seed.Word(RandSeed);
  const TPlayerRecord* record = PlayerRecords.empty() ? nullptr : PlayerRecords.front().get();
  const TLocalPlayer* player = record != nullptr ? record->Player : nullptr;
  if (player != nullptr) {
    position.Point(player->GetPosition());
    position.Float(player->Heading);
    state.Word(player->Hidden ? 1 : 0);
    state.Int(static_cast<std::int64_t>(player->Frame));
    Creature(state, *player);
    for (auto w : record->Weapons) inventory.Word(w);
    for (auto a : record->Ammo) inventory.Word(a);
    inventory.Word(record->SelectedWeapon);
    TGLSceneViewer* viewer = player->View != nullptr ? player->View->Viewer() : nullptr;
    if (viewer != nullptr && viewer->Camera() != nullptr) {
      const TGLCoordinates& p = viewer->Camera()->Position;
      camera.Float(p.X());
      camera.Float(p.Y());
      camera.Float(p.Z());
      camera.Int(viewer->Width);
      camera.Int(viewer->Height);
    }
    if (player->View != nullptr) cells = player->View->BuiltCellsDigest();
  }
  for (std::size_t i = 0; i < MapEntities.size(); ++i) {
    const TMapEntity& entity = *MapEntities[i];
    if (const auto* npc = dynamic_cast<const TNPC*>(&entity)) {
      npcs.Int(static_cast<std::int64_t>(i));
      Visual(npcs, *npc);
      Creature(npcs, *npc);
      npcs.Int(static_cast<std::int64_t>(npc->State));
      npcs.Int(static_cast<std::int64_t>(npc->Mode));
      npcs.Int(static_cast<std::int64_t>(npc->RouteIndex));
      npcs.Point(npc->RouteTarget);
      npcs.Point(npc->LookTarget);
      npcs.Float(npc->Pause);
      npcs.Float(npc->SearchTimer);
      Spawn(npcs, *npc);
    } else if (const auto* item = dynamic_cast<const TItem*>(&entity)) {
      items.Int(static_cast<std::int64_t>(i));
      Visual(items, *item);
      items.Int(static_cast<std::int64_t>(item->Amount));
      Spawn(items, *item);
      if (item->FlyText != nullptr && item->FlyText->Label != nullptr) {
        const TGLFlatText& label = *item->FlyText->Label;
        for (char c : label.Text()) items.Word(static_cast<std::uint8_t>(c));
        items.Float(label.Position.Z());
        items.Word(label.Visible() ? 1 : 0);
      }
    } else {
      others.Int(static_cast<std::int64_t>(i));
      others.Point(entity.GetPosition());
      others.Word(entity.Hidden ? 1 : 0);
      Spawn(others, entity);
    }
  }
  return {seed.Value(), position.Value(), state.Value(), inventory.Value(), camera.Value(),
          cells,        npcs.Value(),     items.Value(), others.Value()};
}

}  // namespace orr
