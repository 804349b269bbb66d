// SPDX-License-Identifier: GPL-3.0-or-later
// A small set of enumeration values, written like the engine's option sets:
// `Options = {moNoLighting}`, `Options.Contains(moNoLighting)`.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace orr {

template <class E>
class TSetOf {
 public:
  TSetOf() = default;
  TSetOf(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  bool Contains(E v) const { return (bits_ >> static_cast<unsigned>(v)) & 1u; }
  void Include(E v) { bits_ |= 1u << static_cast<unsigned>(v); }
  void Exclude(E v) { bits_ &= ~(1u << static_cast<unsigned>(v)); }
  bool Empty() const { return bits_ == 0; }
  bool operator==(const TSetOf& o) const { return bits_ == o.bits_; }

 private:
  std::uint32_t bits_ = 0;
};

}  // namespace orr
