// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdexcept>

#include "Art.h"

namespace orr::content {

TRgba TStyle::Color(const std::string& key, TRgba fallback) const {
  auto it = Colors.find(key);
  return it == Colors.end() ? fallback : it->second;
}

float TStyle::Number(const std::string& key, float fallback) const {
  auto it = Numbers.find(key);
  return it == Numbers.end() ? fallback : it->second;
}

TRgba ParseColor(const std::string& text, const std::string& where) {
  if (text.size() != 7 || text[0] != '#')
    throw std::runtime_error(where + ": colour \"" + text + "\" is not #rrggbb");
  std::uint32_t v = 0;
  for (size_t i = 1; i < 7; ++i) {
    char c = text[i];
    int d = (c >= '0' && c <= '9')   ? c - '0'
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                     : -1;
    if (d < 0) throw std::runtime_error(where + ": colour \"" + text + "\" is not #rrggbb");
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return Hex(v);
}

TStyle ParseStyle(const nlohmann::json& j, const std::string& where) {
  if (!j.is_object()) throw std::runtime_error(where + ": expected an object");
  TStyle s;
  s.Name = j.value("name", std::string());
  if (!j.contains("style") || !j["style"].is_string())
    throw std::runtime_error(where + ": \"style\" is missing");
  s.Kind = j["style"].get<std::string>();
  s.Seed = j.value("seed", 1u);
  if (j.contains("colors")) {
    for (auto& [key, value] : j["colors"].items()) {
      if (!value.is_string()) throw std::runtime_error(where + ": colour \"" + key + "\" is not a string");
      s.Colors[key] = ParseColor(value.get<std::string>(), where + ": " + key);
    }
  }
  if (j.contains("numbers")) {
    for (auto& [key, value] : j["numbers"].items()) {
      if (!value.is_number()) throw std::runtime_error(where + ": number \"" + key + "\" is not a number");
      s.Numbers[key] = value.get<float>();
    }
  }
  return s;
}

}  // namespace orr::content
