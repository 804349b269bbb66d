// SPDX-License-Identifier: GPL-3.0-or-later
// From the document model of a Tiled map (TiledDocument.h) to an episode map. Every
// problem of the file is reported at once, each naming the layer and Tiled's own column
// and row, or the object's id and name, so that an author mends them in one pass.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <sstream>

#include "TiledDocument.h"
#include "TiledMap.h"
#include "TiledNames.h"
#include "TiledTypes.h"
#include "map/MapFileWriter.h"
#include "platform/Paths.h"

namespace orr {

namespace {

using namespace tiled;

// ---- from the document to the map --------------------------------------------------------

// Text the map file can store: printable ASCII without blanks.
bool StorableText(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 33 && static_cast<unsigned char>(c) <= 126;
  });
}

// At most this many problems are spelled out; the rest are counted.
constexpr std::size_t MaxProblems = 50;

class TConverter {
 public:
  explicit TConverter(TDocument& doc) : Doc(doc) {}

  TOrrindelMap Convert() {
    // Without a finite orthogonal grid of known cell size nothing else can be judged.
    if (Doc.Infinite) Refuse("map: an infinite map; make it finite (Map > Map Properties > Infinite)");
    if (Doc.Orientation != "orthogonal")
      Refuse("map: orientation \"" + Doc.Orientation + "\"; the game's maps are orthogonal");
    if (Doc.TileWidth <= 0 || Doc.TileHeight <= 0 || Doc.TileWidth > 4096 || Doc.TileHeight > 4096)
      Refuse("map: tile size " + std::to_string(Doc.TileWidth) + " x " + std::to_string(Doc.TileHeight));
    std::stable_sort(Doc.Tilesets.begin(), Doc.Tilesets.end(),
                     [](const TTileset& a, const TTileset& b) { return a.FirstGid < b.FirstGid; });
    // Two tilesets from one gid would leave it to the order of the file which one a tile is of.
    for (std::size_t i = 1; i < Doc.Tilesets.size(); ++i)
      if (Doc.Tilesets[i].FirstGid == Doc.Tilesets[i - 1].FirstGid)
        Refuse("tilesets " + Doc.Tilesets[i - 1].Name + " and " + Doc.Tilesets[i].Name +
               " both begin at gid " + std::to_string(Doc.Tilesets[i].FirstGid));
    MapProperties();
    W = static_cast<std::int32_t>(Doc.Width);
    H = static_cast<std::int32_t>(Doc.Height);
    Map.MapSize = {W, H};
    Map.TerrainGrid.SetSize(W, H);
    Map.DecorationGrid.SetSize(W, H);
    Map.HeightMap.SetSize(W, H);
    const TLayer* terrain = nullptr;
    const TLayer* decoration = nullptr;
    const TLayer* height = nullptr;
    for (const TLayer& layer : Doc.Layers) {
      if (layer.Kind == TLayerKind::Group)
        Problem("layer " + layer.Name + ": a group layer; keep the layers at the top level");
      if (layer.Kind != TLayerKind::Tiles) continue;
      const TLayer** slot = layer.Name == TerrainName      ? &terrain
                            : layer.Name == DecorationName ? &decoration
                            : layer.Name == HeightName     ? &height
                                                           : nullptr;
      if (slot == nullptr) {
        Problem("layer " + layer.Name +
                ": unknown tile layer; the map has the layers terrain, decoration and height");
      } else if (*slot != nullptr) {
        Problem("layer " + layer.Name + ": appears twice");
      } else {
        *slot = &layer;
      }
    }
    for (auto [layer, name] :
         {std::pair{terrain, TerrainName}, {decoration, DecorationName}, {height, HeightName}})
      if (layer == nullptr) Problem(std::string("layer ") + name + ": missing");
    if (terrain != nullptr) Cells(*terrain, Map.TerrainGrid, false);
    if (decoration != nullptr) Cells(*decoration, Map.DecorationGrid, true);
    if (height != nullptr) Heights(*height);
    for (const TLayer& layer : Doc.Layers)
      if (layer.Kind == TLayerKind::Objects && !ViewOnly(layer)) Entities(layer);
    if (Map.EntitySpawns.size() > 65535)
      Problem("map: " + std::to_string(Map.EntitySpawns.size()) + " entities; the map holds at most 65535");
    if (MoreProblems > 0)
      Problems.push_back("... and " + std::to_string(MoreProblems) + " more problem" +
                         (MoreProblems == 1 ? "" : "s"));
    if (!Problems.empty()) throw ETiledRefusal(std::move(Problems));
    Map.EntityCount = static_cast<std::uint16_t>(Map.EntitySpawns.size());
    return std::move(Map);
  }

  // Where each entity came from, in the map's order: "object ID "NAME" (layer L)".
  std::vector<std::string> EntityPlaces;

 private:
  TDocument& Doc;
  TOrrindelMap Map;
  std::int32_t W = 0, H = 0;
  std::vector<std::string> Problems;
  long long MoreProblems = 0;  // beyond MaxProblems: counted only (a map of bad cells has millions)

  // Notes a problem and goes on, so that the author sees them all at once.
  void Problem(const std::string& line) {
    if (Problems.size() < MaxProblems) Problems.push_back(OneLine(line));
    else ++MoreProblems;
  }
  void CheckText(const std::string& text, const std::string& where) {
    if (!StorableText(text))
      Problem(where + ": holds a blank or a character outside printable ASCII; the map file stores none");
  }

  static const TProp* Prop(const TProps& props, const char* name) {
    for (const auto& [key, value] : props)
      if (key == name) return &value;
    return nullptr;
  }

  static bool ViewOnly(const TLayer& layer) {
    const TProp* p = Prop(layer.Props, ViewOnlyProperty);
    return p != nullptr && p->Value == "true";
  }

  void MapProperties() {
    for (const auto& [name, prop] : Doc.Props)
      if (name != NameProperty && name != IdCodeProperty && name != VersionProperty)
        Problem("map property \"" + name + "\": unknown; the map has name, id code and version");
    const TProp* name = Prop(Doc.Props, NameProperty);
    const TProp* id = Prop(Doc.Props, IdCodeProperty);
    const TProp* version = Prop(Doc.Props, VersionProperty);
    for (auto [prop, key] : {std::pair{name, NameProperty}, {id, IdCodeProperty}, {version, VersionProperty}})
      if (prop == nullptr)
        Problem(std::string("map property \"") + key +
                "\": missing (Map > Map Properties; the game logs name, id code and version)");
    if (name != nullptr) {
      CheckText(name->Value, "map property \"name\"");
      if (name->Value.size() > TOrrindelMap::MaxNameLength)
        Problem("map property \"name\": longer than 255 characters");
      Map.MapName = name->Value;
    }
    if (id != nullptr) {
      CheckText(id->Value, "map property \"id code\"");
      Map.MapIdCode = id->Value;
    }
    if (version != nullptr) {
      try {
        Map.MapVersion = StrToSingle(version->Value);
      } catch (const EConvertError&) {
        Problem("map property \"version\": \"" + version->Value + "\" is not a number such as 1.1");
      }
    }
  }

  std::string CellName(const std::string& layer, long long index) const {
    const long long column = index % Doc.Width, row = index / Doc.Width;
    return "layer " + layer + ", cell " + std::to_string(column) + "," + std::to_string(H - 1 - row) +
           " (Tiled column " + std::to_string(column) + ", row " + std::to_string(row) + ")";
  }

  // The tileset of a gid without its flags; null for an id no tileset holds.
  const TTileset* TilesetOf(std::uint32_t id) const {
    const TTileset* found = nullptr;
    for (const TTileset& set : Doc.Tilesets)
      if (set.FirstGid <= id) found = &set;
    if (found != nullptr && found->TileCount >= 0 && id - found->FirstGid >= found->TileCount) return nullptr;
    return found;
  }

  struct TKept {
    int Tile = 0, Turns = 0;
  };

  std::map<std::pair<int, int>, TKept> KeptCells(const TLayer& layer) {
    std::map<std::pair<int, int>, TKept> kept;
    const TProp* prop = nullptr;
    for (const auto& [name, value] : layer.Props) {
      if (name != KeptCellsProperty) Problem("layer " + layer.Name + ": unknown property \"" + name + "\"");
      else prop = &value;
    }
    if (prop == nullptr) return kept;
    std::istringstream entries(prop->Value);
    std::string entry;
    while (entries >> entry) {
      long long v[4];
      std::size_t at = 0;
      bool good = true;
      for (int k = 0; k < 4 && good; ++k) {
        const std::size_t comma = k < 3 ? entry.find(',', at) : entry.size();
        good =
            comma != std::string::npos && ParseInteger(std::string_view(entry).substr(at, comma - at), v[k]);
        at = comma + 1;
      }
      if (!good || at != entry.size() + 1 || v[0] < 0 || v[0] >= W || v[1] < 0 || v[1] >= H || v[2] < 0 ||
          v[2] > 65535 || (v[2] > 999 && v[2] < 65437) || v[3] < 0 || v[3] > 9) {
        Problem("layer " + layer.Name + ": \"kept cells\" entry \"" + entry +
                "\" is not x,y,tile,turns of a cell of the map (tile 0..999 or 65437..65535, turns 0..9)");
        continue;
      }
      kept[{static_cast<int>(v[0]), static_cast<int>(v[1])}] = {static_cast<int>(v[2]),
                                                                static_cast<int>(v[3])};
    }
    return kept;
  }

  void Cells(const TLayer& layer, TMapDataBlockArray& grid, bool emptyZero) {
    const auto kept = KeptCells(layer);
    for (std::size_t i = 0; i < layer.Gids.size(); ++i) {
      const std::uint32_t gid = layer.Gids[i];
      const int x = static_cast<int>(static_cast<long long>(i) % Doc.Width);
      const int y = H - 1 - static_cast<int>(static_cast<long long>(i) / Doc.Width);
      MapCell& cell = grid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
      const std::uint32_t id = gid & ~FlagBits;
      if (id == 0) {
        if (!emptyZero) {
          Problem(CellName(layer.Name, static_cast<long long>(i)) +
                  ": no tile; every cell needs a terrain tile");
          continue;
        }
        const auto k = kept.find({x, y});
        if (k != kept.end() && ShownGid(MapCell{static_cast<std::uint16_t>(k->second.Tile),
                                                static_cast<std::uint8_t>(k->second.Turns)},
                                        1, std::numeric_limits<int>::max(), true) == 0)
          cell = {static_cast<std::uint16_t>(k->second.Tile), static_cast<std::uint8_t>(k->second.Turns)};
        continue;
      }
      const TTileset* set = TilesetOf(id);
      if (set == nullptr || set->Name != layer.Name) {
        Problem(CellName(layer.Name, static_cast<long long>(i)) + ": a tile of " +
                (set == nullptr ? std::string("no tileset") : "the tileset " + set->Name) +
                "; this layer takes tiles of " + layer.Name);
        continue;
      }
      int turns = -1;
      for (int t = 0; t < 4; ++t)
        if ((gid & FlagBits) == TurnFlags[t]) turns = t;
      if (turns < 0) {
        Problem(CellName(layer.Name, static_cast<long long>(i)) +
                ": the tile is flipped; the game only turns tiles by quarter turns (use Rotate, not Flip)");
        continue;
      }
      const long long local = id - set->FirstGid;
      const bool placeholder = set->AtlasTiles >= 0 && local >= set->AtlasTiles;
      const auto k = kept.find({x, y});
      if (k != kept.end()) {
        const MapCell keptCell{static_cast<std::uint16_t>(k->second.Tile),
                               static_cast<std::uint8_t>(k->second.Turns)};
        const int atlas =
            set->AtlasTiles >= 0 ? static_cast<int>(set->AtlasTiles) : std::numeric_limits<int>::max();
        if (ShownGid(keptCell, static_cast<int>(set->FirstGid), atlas, emptyZero) == gid) {
          cell = keptCell;
          continue;
        }
      }
      if (placeholder) {
        Problem(CellName(layer.Name, static_cast<long long>(i)) +
                ": shows the placeholder tile but \"kept cells\" holds no tile number for it; paint a tile "
                "over it");
        continue;
      }
      if (local > 999) {
        Problem(CellName(layer.Name, static_cast<long long>(i)) + ": tile " + std::to_string(local) +
                "; the map stores tile numbers 0..999");
        continue;
      }
      cell = {static_cast<std::uint16_t>(local), static_cast<std::uint8_t>(turns)};
    }
  }

  void Heights(const TLayer& layer) {
    for (const auto& [name, value] : layer.Props)
      Problem("layer " + layer.Name + ": unknown property \"" + name + "\"");
    for (std::size_t i = 0; i < layer.Gids.size(); ++i) {
      const std::uint32_t id = layer.Gids[i] & ~FlagBits;  // a height does not turn
      if (id == 0) continue;
      const TTileset* set = TilesetOf(id);
      if (set == nullptr || set->Name != HeightName) {
        Problem(CellName(layer.Name, static_cast<long long>(i)) + ": a tile of " +
                (set == nullptr ? std::string("no tileset") : "the tileset " + set->Name) +
                "; this layer takes heights");
        continue;
      }
      const long long height = id - set->FirstGid;
      if (height > 9) {
        Problem(CellName(layer.Name, static_cast<long long>(i)) + ": height " + std::to_string(height) +
                "; the map stores 0..9");
        continue;
      }
      const int x = static_cast<int>(static_cast<long long>(i) % Doc.Width);
      const int y = H - 1 - static_cast<int>(static_cast<long long>(i) / Doc.Width);
      Map.HeightMap[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] =
          static_cast<THeightMapCell>(height);
    }
  }

  // The property's whole number in 0..65535, or -1 after noting the problem.
  long long IntProp(const TProp* p, const std::string& where, const char* name) {
    long long value = -1;
    double real = 0;
    if (ParseInteger(p->Value, value)) {
    } else if (ParseReal(p->Value, real) && std::nearbyint(real) == real && std::fabs(real) < 9e15) {
      value = static_cast<long long>(real);
    } else {
      Problem(where + ": property \"" + name + "\" is \"" + p->Value + "\", not a whole number");
      return -1;
    }
    if (value < 0 || value > 65535) {
      Problem(where + ": " + name + " " + std::to_string(value) + " is outside 0..65535");
      return -1;
    }
    return value;
  }

  void Entities(const TLayer& layer) {
    for (const TObject& o : layer.Objects) {
      const std::string where = "object " + o.Id + " \"" + o.Name + "\" (layer " + layer.Name + ")";
      if (o.Shape == TShape::Other) {
        Problem(where + ": a " + o.OtherShape +
                "; an entity is a point (or a rectangle, whose centre counts)");
        continue;
      }
      // The editor leaves out of the file what stays at the default of the object's type:
      // those properties are taken from the type, as the editor shows them.
      TProps props = o.Props;
      if (const TObjectType* type = ObjectTypeNamed(o.Type)) {
        const TProp* kind = Prop(props, KindProperty);
        if (kind == nullptr || kind->Value == std::to_string(type->Kind)) {
          const TParamNames names = ParamNames(type->Kind);
          const std::pair<const char*, std::string> defaults[] = {
              {KindProperty, std::to_string(type->Kind)},
              {IndexProperty, std::to_string(type->Index)},
              {names.Param1, type->Param1},
              {names.Param2, type->Param2}};
          for (const auto& [name, value] : defaults)
            if (name != nullptr && Prop(props, name) == nullptr)
              props.emplace_back(name, TProp{"string", value});
        }
      }
      const TProp* kindProp = Prop(props, KindProperty);
      const TProp* indexProp = Prop(props, IndexProperty);
      for (auto [prop, key] : {std::pair{kindProp, KindProperty}, {indexProp, IndexProperty}})
        if (prop == nullptr)
          Problem(where + ": property \"" + key + "\" is missing; every entity has a kind and an index");
      if (kindProp == nullptr || indexProp == nullptr) continue;
      TPackedEntity e;
      const long long kind = IntProp(kindProp, where, KindProperty);
      const long long index = IntProp(indexProp, where, IndexProperty);
      if (kind < 0) continue;  // what its other properties mean depends on it
      e.Kind = static_cast<std::uint16_t>(kind);
      e.Index = static_cast<std::uint16_t>(std::max(index, 0LL));
      const TParamNames names = ParamNames(e.Kind);
      const char* param2Name = names.Param2 != nullptr ? names.Param2 : Param2Property;
      const TProp* position = nullptr;
      std::vector<std::string> seen;
      for (const auto& [name, prop] : props) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
          Problem(where + ": property \"" + name + "\" appears twice");
          continue;
        }
        seen.push_back(name);
        if (name == KindProperty || name == IndexProperty) continue;
        if (name == names.Param1) {
          CheckText(prop.Value, where + ", property \"" + name + "\"");
          e.Param1 = prop.Value;
        } else if (name == param2Name) {
          CheckText(prop.Value, where + ", property \"" + name + "\"");
          e.Param2 = prop.Value;
        } else if (name == PositionProperty) {
          position = &prop;
        } else {
          Problem(where + ": property \"" + name + "\" does not belong to a " + KindName(e.Kind) + " (kind " +
                  std::to_string(kind) + "), which has " + names.Param1 + " and " + param2Name);
        }
      }
      // The point that places the entity, in pixels from the map's north-west corner.
      double px = o.X, py = o.Y;
      if (o.Shape == TShape::Box) px += o.Width / 2, py += o.Height / 2;
      if (o.Shape == TShape::Tile) px += o.Width / 2, py -= o.Height / 2;
      const double x = px / static_cast<double>(Doc.TileWidth);
      const double y = static_cast<double>(H) - py / static_cast<double>(Doc.TileHeight);
      constexpr double largest = std::numeric_limits<float>::max();
      if (std::fabs(x) > largest || std::fabs(y) > largest) {
        Problem(where + ": placed beyond what the map's numbers hold");
        continue;
      }
      e.Position.X = static_cast<float>(x);
      e.Position.Y = static_cast<float>(y);
      if (position != nullptr) {
        const std::size_t comma = position->Value.find(',');
        float kx = 0, ky = 0;
        try {
          if (comma == std::string::npos) throw EConvertError("no comma");
          kx = StrToSingle(std::string_view(position->Value).substr(0, comma));
          ky = StrToSingle(std::string_view(position->Value).substr(comma + 1));
        } catch (const EConvertError&) {
          Problem(where + ": property \"position\" is \"" + position->Value + "\", not x,y");
        }
        // The kept position counts while the object stays where it was drawn.
        const double ex = static_cast<double>(kx) * static_cast<double>(Doc.TileWidth);
        const double ey = (static_cast<double>(H) - ky) * static_cast<double>(Doc.TileHeight);
        if (std::fabs(ex - px) <= 0.5 && std::fabs(ey - py) <= 0.5) e.Position.X = kx, e.Position.Y = ky;
      }
      if (index < 0) continue;
      Map.EntitySpawns.push_back(std::move(e));
      EntityPlaces.push_back(where);
    }
  }
};

}  // namespace

ETiledRefusal::ETiledRefusal(std::vector<std::string> problems)
    : std::runtime_error([&problems] {
        std::string text;
        for (const std::string& line : problems) text += (text.empty() ? "" : "\n") + line;
        return text;
      }()),
      Problems(std::move(problems)) {}

TOrrindelMap ImportTiled(const std::string& text, const std::string& folder,
                         std::vector<std::string>* entityPlaces) {
  const std::size_t start = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  TDocument doc = start != std::string::npos && text[start] == '<' ? ReadTmx(text, PathFromUtf8(folder))
                                                                   : ReadJson(text, PathFromUtf8(folder));
  TConverter converter(doc);
  TOrrindelMap map = converter.Convert();
  if (entityPlaces != nullptr) *entityPlaces = std::move(converter.EntityPlaces);
  return map;
}

}  // namespace orr
