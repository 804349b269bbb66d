// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's output: the game state after a step as one line of JSON.
#pragma once

#include <cstdint>
#include <string>

namespace orr::sim {

// Builds one JSON object. Single-precision values are written in the shortest form that
// reads back to the same float; a value that is not finite is written as null.
class TJsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray(const char* key = nullptr);
  void EndArray();
  void Key(const char* key);
  void Int(const char* key, std::int64_t value);
  void Unsigned(const char* key, std::uint64_t value);
  void Float(const char* key, float value);
  void Bool(const char* key, bool value);
  void String(const char* key, const std::string& value);
  void Null(const char* key);
  // [x, y] or [x, y, z].
  void Floats(const char* key, const float* values, int count);
  const std::string& Text() const { return text_; }

 private:
  void Separate(const char* key);
  std::string text_;
  bool first_ = true;  // nothing written yet in the open object or array
};

// Escapes a string for JSON (quotes included); bytes above 127 pass unchanged.
std::string JsonString(const std::string& value);
// The shortest decimal form that reads back to `value`.
std::string ShortestFloat(float value);
std::string ShortestDouble(double value);

// The state of the running session after step `step`: the random generator, the player,
// every map entity in order and the live fly texts.
std::string StateLine(std::uint64_t step, bool halted);

}  // namespace orr::sim
