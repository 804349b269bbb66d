// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's command line and key scripts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orr::sim {

// The keys a script can hold, by the names scripts use.
enum class TSimKey { Up, Down, Left, Right, Space, Enter, Escape };

// One entry of a key script: the key is down during every step From..To (inclusive; the
// first step is 1).
struct TKeyEntry {
  TSimKey Key = TSimKey::Up;
  std::uint64_t From = 1;
  std::uint64_t To = 1;
  bool operator==(const TKeyEntry&) const = default;
};

// Where to put the local player after set-up; the heading only when given.
struct TPlacement {
  float X = 0, Y = 0;
  std::optional<float> Heading;
};

struct TSimOptions {
  std::string GameFolder;  // empty: the game folder of this build
  std::string MapFile;     // empty: the episode of the game folder
  std::uint32_t Seed = 0;
  std::uint64_t Steps = 1000;
  std::vector<TKeyEntry> Keys;
  std::optional<TPlacement> PlayerAt;
  std::optional<int> Weapon;
  int ScreenWidth = 1024, ScreenHeight = 768;
  std::uint64_t DumpEvery = 0;  // 0: only after set-up and after the last step
  bool Timedemo = false;
  std::uint64_t Windows = 0;  // print a time and memory line every that many steps; 0: none
  std::string LogFile;        // empty: no log written
  bool NoIndex = false;
  std::string Replay;  // a replay file to re-run and check; empty: none
  bool Help = false;
};

// The virtual-key code of a script key.
int VirtualKeyOf(TSimKey key);

// Parses "KEY@FROM-TO,KEY@S,..."; false with a one-line reason.
bool ParseKeyScript(const std::string& text, std::vector<TKeyEntry>& entries, std::string& error);
// The same entries, one per line (blank lines and lines starting with '#' skipped).
bool ParseKeyScriptLines(const std::string& text, std::vector<TKeyEntry>& entries, std::string& error);

// Parses the arguments after the program name; false with a one-line reason. "--keys @FILE"
// reads FILE.
bool ParseSimOptions(const std::vector<std::string>& args, TSimOptions& options, std::string& error);

extern const char* const SimUsage;

}  // namespace orr::sim
