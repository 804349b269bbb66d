// SPDX-License-Identifier: GPL-3.0-or-later
// The object types the Tiled editor offers a map's author, so that a creature or an item is
// picked from a list instead of typed as numbers: one type per thing the game places
// (Civilian, Medkit, ...) and one per kind (creature, health, ...), each with the
// properties it takes and their defaults. `orx export-tiled` writes them beside the map
// as a Tiled project (orrindel.tiled-project) and its object types file
// (orrindel-objecttypes.xml), the form Tiled 1.8 reads; the import fills in what the
// editor leaves out of the file: an object's properties left at its type's defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orr::tiled {

struct TObjectType {
  std::string Name;        // what the editor lists: a thing's name, or a kind's
  std::uint16_t Kind = 0;  // the defaults of its properties
  int Index = 0;
  std::string Param1, Param2;
};

const std::vector<TObjectType>& ObjectTypes();
// The type of that name, or null.
const TObjectType* ObjectTypeNamed(const std::string& name);

constexpr const char* ProjectFileName = "orrindel.tiled-project";
constexpr const char* ObjectTypesFileName = "orrindel-objecttypes.xml";
// The project file (JSON) naming the object types file beside it.
std::string TiledProject();
// The object types file (XML).
std::string TiledObjectTypes();

}  // namespace orr::tiled
