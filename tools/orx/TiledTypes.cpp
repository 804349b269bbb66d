// SPDX-License-Identifier: GPL-3.0-or-later
#include "TiledTypes.h"

#include <pugixml.hpp>

#include <sstream>

#include "TiledNames.h"
#include "map/UMapModule.h"

namespace orr::tiled {

namespace {

// A picked item's amount: what the shipped episode gives that item, so that a new one is
// as generous as the ones an author already knows.
const char* DefaultAmount(std::uint16_t kind, int index) {
  static const char* const health[] = {"10", "25", "50"};
  static const char* const armour[] = {"15", "50", "100"};
  static const char* const ammunition[] = {"50", "60", "24", "40", "6", "3"};
  if (kind == 3 && index < 3) return health[index];
  if (kind == 4 && index < 3) return armour[index];
  if (kind == 5) return "1";
  if (kind == 6 && index < 6) return ammunition[index];
  return "";
}

TObjectType Make(const std::string& name, std::uint16_t kind, int index) {
  TObjectType t{name, kind, index, "", ""};
  if (kind == 0) t.Param1 = "0";  // looks around
  if (kind >= 3 && kind <= 6) t.Param1 = DefaultAmount(kind, index);
  return t;
}

const char* KindColour(std::uint16_t kind) {
  static const char* const colours[] = {"#e02020", "#2080e0", "#e0e020", "#20c040",
                                        "#20c0c0", "#c060e0", "#e08020"};
  return kind < 7 ? colours[kind] : "#a0a0a4";
}

}  // namespace

const std::vector<TObjectType>& ObjectTypes() {
  static const std::vector<TObjectType> types = [] {
    std::vector<TObjectType> list;
    for (std::uint16_t kind = 0; kind < EntityNameTables.size(); ++kind) {
      list.push_back(Make(KindName(kind), kind, 0));
      for (std::size_t index = 0; index < EntityNameTables[kind].size(); ++index)
        list.push_back(Make(EntityNameTables[kind][index], kind, static_cast<int>(index)));
    }
    return list;
  }();
  return types;
}

const TObjectType* ObjectTypeNamed(const std::string& name) {
  for (const TObjectType& t : ObjectTypes())
    if (t.Name == name) return &t;
  return nullptr;
}

std::string TiledProject() {
  return std::string(
             "{\n"
             "    \"automappingRulesFile\": \"\",\n"
             "    \"commands\": [\n    ],\n"
             "    \"extensionsPath\": \"extensions\",\n"
             "    \"folders\": [\n        \".\"\n    ],\n"
             "    \"objectTypesFile\": \"") +
         ObjectTypesFileName +
         "\",\n"
         "    \"propertyTypes\": [\n    ]\n"
         "}\n";
}

std::string TiledObjectTypes() {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("objecttypes");
  for (const TObjectType& t : ObjectTypes()) {
    pugi::xml_node type = root.append_child("objecttype");
    type.append_attribute("name") = t.Name.c_str();
    type.append_attribute("color") = KindColour(t.Kind);
    auto property = [&type](const char* name, const char* kind, const std::string& value) {
      pugi::xml_node p = type.append_child("property");
      p.append_attribute("name") = name;
      p.append_attribute("type") = kind;
      p.append_attribute("default") = value.c_str();
    };
    property(KindProperty, "int", std::to_string(t.Kind));
    property(IndexProperty, "int", std::to_string(t.Index));
    const TParamNames names = ParamNames(t.Kind);
    property(names.Param1, "string", t.Param1);
    if (names.Param2 != nullptr) property(names.Param2, "string", t.Param2);
  }
  std::ostringstream out;
  doc.save(out, " ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

}  // namespace orr::tiled
