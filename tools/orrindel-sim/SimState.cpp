// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimState.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/FloatText.h"
#include "core/Random.h"
#include "entities/UEntityStructures.h"
#include "scene/GLViewer.h"

namespace orr::sim {

std::string ShortestFloat(float value) {
  char buffer[32];
  auto [end, ec] = FloatToChars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

std::string ShortestDouble(double value) {
  char buffer[32];
  auto [end, ec] = FloatToChars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

std::string JsonString(const std::string& value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void TJsonWriter::Separate(const char* key) {
  if (!first_) text_ += ", ";
  first_ = false;
  if (key != nullptr) text_ += JsonString(key) + ": ";
}

void TJsonWriter::BeginObject() {
  if (!text_.empty()) Separate(nullptr);
  text_ += '{';
  first_ = true;
}

void TJsonWriter::EndObject() {
  text_ += '}';
  first_ = false;
}

void TJsonWriter::BeginArray(const char* key) {
  Separate(key);
  text_ += '[';
  first_ = true;
}

void TJsonWriter::EndArray() {
  text_ += ']';
  first_ = false;
}

void TJsonWriter::Key(const char* key) {
  Separate(key);
  first_ = true;  // the value that follows is the key's, not a new member
}

void TJsonWriter::Int(const char* key, std::int64_t value) {
  Separate(key);
  text_ += std::to_string(value);
}

void TJsonWriter::Unsigned(const char* key, std::uint64_t value) {
  Separate(key);
  text_ += std::to_string(value);
}

void TJsonWriter::Float(const char* key, float value) {
  Separate(key);
  text_ += std::isfinite(value) ? ShortestFloat(value) : "null";
}

void TJsonWriter::Bool(const char* key, bool value) {
  Separate(key);
  text_ += value ? "true" : "false";
}

void TJsonWriter::String(const char* key, const std::string& value) {
  Separate(key);
  text_ += JsonString(value);
}

void TJsonWriter::Null(const char* key) {
  Separate(key);
  text_ += "null";
}

void TJsonWriter::Floats(const char* key, const float* values, int count) {
  BeginArray(key);
  for (int i = 0; i < count; ++i) Float(nullptr, values[i]);
  EndArray();
}

namespace {

void WritePoint(TJsonWriter& json, const char* key, const TVector& v, int count) {
  const float values[3] = {v.X, v.Y, v.Z};
  json.Floats(key, values, count);
}

void WriteVisual(TJsonWriter& json, const TVisualMapEntity& e) {
  WritePoint(json, "Position", e.GetPosition(), 3);
  json.Float("Heading", e.Heading);
  json.Bool("Hidden", e.Hidden);
  json.Int("Frame", static_cast<std::int64_t>(e.Frame));
}

void WriteCreature(TJsonWriter& json, const TCreature& c) {
  WriteVisual(json, c);
  json.Int("Health", static_cast<std::int64_t>(c.Health));
  json.Int("Armour", static_cast<std::int64_t>(c.Armour));
  json.Int("Weapon", static_cast<std::int64_t>(c.Weapon));
  json.Int("AnimState", static_cast<std::int64_t>(c.AnimState));
  json.Int("ActionState", static_cast<std::int64_t>(c.ActionState));
  json.Int("WeaponPhase", static_cast<std::int64_t>(c.WeaponPhase));
  json.Float("WeaponTimer", c.WeaponTimer);
  json.Bool("LaserOn", c.LaserOn);
}

void WriteSpawn(TJsonWriter& json, const TMapEntity& e) {
  json.Int("Kind", static_cast<std::int64_t>(e.Spawn.Kind));
  json.Int("Index", static_cast<std::int64_t>(e.Spawn.Index));
}

void WriteEntity(TJsonWriter& json, const TMapEntity& entity) {
  if (const auto* npc = dynamic_cast<const TNPC*>(&entity)) {
    json.String("class", "TNPC");
    WriteCreature(json, *npc);
    json.Int("State", static_cast<std::int64_t>(npc->State));
    json.Int("Mode", static_cast<std::int64_t>(npc->Mode));
    json.Int("RouteIndex", static_cast<std::int64_t>(npc->RouteIndex));
    WritePoint(json, "RouteTarget", npc->RouteTarget, 2);
    WritePoint(json, "LookTarget", npc->LookTarget, 2);
    json.Float("Pause", npc->Pause);
    json.Float("SearchTimer", npc->SearchTimer);
  } else if (const auto* item = dynamic_cast<const TItem*>(&entity)) {
    json.String("class", "TItem");
    WriteVisual(json, *item);
    json.Int("Amount", static_cast<std::int64_t>(item->Amount));
  } else {
    json.String("class", "TMapEntity");
    WritePoint(json, "Position", entity.GetPosition(), 3);
    json.Bool("Hidden", entity.Hidden);
  }
  WriteSpawn(json, entity);
}

void WritePlayer(TJsonWriter& json, const TPlayerRecord& record) {
  const TLocalPlayer* player = record.Player;
  json.Key("player");
  if (player == nullptr) {
    json.Null(nullptr);
    return;
  }
  json.BeginObject();
  json.String("class", "TLocalPlayer");
  WriteCreature(json, *player);
  json.BeginArray("Weapons");
  for (auto w : record.Weapons) json.Int(nullptr, w);
  json.EndArray();
  json.BeginArray("Ammo");
  for (auto a : record.Ammo) json.Int(nullptr, a);
  json.EndArray();
  json.Int("SelectedWeapon", record.SelectedWeapon);
  TGLSceneViewer* viewer = player->View != nullptr ? player->View->Viewer() : nullptr;
  if (viewer != nullptr && viewer->Camera() != nullptr) {
    const TGLCoordinates& p = viewer->Camera()->Position;
    const float camera[3] = {p.X(), p.Y(), p.Z()};
    json.Floats("camera", camera, 3);
  } else {
    json.Null("camera");
  }
  json.EndObject();
}

}  // namespace

std::string StateLine(std::uint64_t step, bool halted) {
  TJsonWriter json;
  json.BeginObject();
  json.Unsigned("step", step);
  json.Unsigned("seed", RandSeed);
  json.Bool("halted", halted);
  if (!PlayerRecords.empty() && PlayerRecords.front() != nullptr) {
    WritePlayer(json, *PlayerRecords.front());
  } else {
    json.Null("player");
  }
  json.BeginArray("entities");
  for (std::size_t i = 0; i < MapEntities.size(); ++i) {
    json.BeginObject();
    json.Unsigned("i", i);
    WriteEntity(json, *MapEntities[i]);
    json.EndObject();
  }
  json.EndArray();
  json.BeginArray("flytexts");
  for (const auto& entity : MapEntities) {
    const auto* item = dynamic_cast<const TItem*>(entity.get());
    if (item == nullptr || item->FlyText == nullptr || item->FlyText->Label == nullptr) continue;
    const TGLFlatText& label = *item->FlyText->Label;
    json.BeginObject();
    json.String("text", label.Text());
    json.Float("Z", label.Position.Z());
    json.Bool("visible", label.Visible());
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.Text();
}

}  // namespace orr::sim
