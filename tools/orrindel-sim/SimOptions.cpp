// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimOptions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/FloatText.h"
#include "platform/Keys.h"
#include "platform/Paths.h"

namespace orr::sim {

const char* const SimUsage =
    "usage: orrindel-sim [--game DIR] [--map FILE] [--seed N] [--steps N] [--keys SCRIPT]\n"
    "                    [--player-at X,Y[,HEADING]] [--weapon N] [--screen WxH]\n"
    "                    [--dump-every K] [--timedemo] [--windows K] [--log FILE]\n"
    "                    [--no-index]\n"
    "       orrindel-sim --replay FILE [--game DIR] [--map FILE] [--dump-every K] [--log FILE]\n"
    "\n"
    "Runs a game session without a window: the game's own start-up, N steps of 0.01 s,\n"
    "the game's shutdown. Prints the state as one JSON object per line.\n"
    "\n"
    "  --game DIR          game folder with Graphics/ and Episodes/ (default: this build's)\n"
    "  --map FILE          episode file to play instead of Episodes/Test/Promo4.orx\n"
    "  --seed N            start value of the random generator, 0 to 4294967295 (default 0)\n"
    "  --steps N           steps to run (default 1000)\n"
    "  --keys SCRIPT       keys held: KEY@FROM-TO or KEY@S, comma-separated; KEY one of\n"
    "                      Up Down Left Right Space Enter Escape; @FILE reads one per line\n"
    "  --player-at X,Y[,H] put the player there after set-up, facing H degrees\n"
    "  --weapon N          select weapon N (0 to 8) after set-up\n"
    "  --screen WxH        screen the view is laid out for (default 1024x768)\n"
    "  --dump-every K      print the state every K steps too\n"
    "  --timedemo          time the steps and print where the time went\n"
    "  --windows K         every K steps print their time and the peak memory so far\n"
    "  --log FILE          write the event log to FILE (default: none)\n"
    "  --no-index          use plain scans instead of the spatial indexes, and build\n"
    "                      every side of the raised cells\n"
    "  --replay FILE       re-run a game's replay (last-run.replay beside its log.txt) with\n"
    "                      its seed, screen and keys, and check its state digests: exit 0\n"
    "                      and \"replay matches: N steps\" last, 1 and the first 100 steps\n"
    "                      that differ, 2 for a file cut, damaged, of another version or\n"
    "                      recorded on another map (--map names the map it was played on)\n"
    "  --help              show this text\n";

namespace {

struct TKeyName {
  const char* Name;
  TSimKey Key;
  int VirtualKey;
};

constexpr std::array<TKeyName, 7> KeyNames{{
    {"Up", TSimKey::Up, VK_UP},
    {"Down", TSimKey::Down, VK_DOWN},
    {"Left", TSimKey::Left, VK_LEFT},
    {"Right", TSimKey::Right, VK_RIGHT},
    {"Space", TSimKey::Space, VK_SPACE},
    {"Enter", TSimKey::Enter, VK_RETURN},
    {"Escape", TSimKey::Escape, VK_ESCAPE},
}};

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

template <class T>
bool ParseWhole(const std::string& text, T& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ParseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  return ParseWhole(text, value) && value <= max;
}

bool ParseFinite(const std::string& text, float& value) {
  // No leading '+'; a plain decimal or exponent form only.
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = FloatFromChars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

bool ParseKeyEntry(const std::string& rawEntry, TKeyEntry& entry, std::string& error) {
  const std::string text = Trim(rawEntry);
  const auto at = text.find('@');
  const auto bad = [&](const std::string& why) {
    error = "bad key entry \"" + text + "\": " + why;
    return false;
  };
  if (at == std::string::npos) return bad("expected KEY@FROM-TO or KEY@STEP");
  const std::string name = text.substr(0, at);
  const TKeyName* found = nullptr;
  for (const auto& k : KeyNames)
    if (name == k.Name) found = &k;
  if (found == nullptr) return bad("unknown key (Up Down Left Right Space Enter Escape)");
  entry.Key = found->Key;
  const std::string range = text.substr(at + 1);
  const auto dash = range.find('-');
  const std::uint64_t maxStep = UINT64_MAX;
  if (dash == std::string::npos) {
    if (!ParseUnsigned(range, maxStep, entry.From)) return bad("the step is not a number");
    entry.To = entry.From;
  } else if (!ParseUnsigned(range.substr(0, dash), maxStep, entry.From) ||
             !ParseUnsigned(range.substr(dash + 1), maxStep, entry.To)) {
    return bad("the steps are not numbers");
  }
  if (entry.From < 1) return bad("steps start at 1");
  if (entry.To < entry.From) return bad("the range ends before it starts");
  return true;
}

bool ReadFile(const std::string& name, std::string& text) {
  std::ifstream file(orr::PathFromUtf8(name), std::ios::binary);
  if (!file) return false;
  std::ostringstream all;
  all << file.rdbuf();
  text = all.str();
  return !file.bad();
}

}  // namespace

int VirtualKeyOf(TSimKey key) {
  for (const auto& k : KeyNames)
    if (k.Key == key) return k.VirtualKey;
  return 0;
}

bool ParseKeyScript(const std::string& text, std::vector<TKeyEntry>& entries, std::string& error) {
  for (const std::string& part : Split(text, ',')) {
    TKeyEntry entry;
    if (!ParseKeyEntry(part, entry, error)) return false;
    entries.push_back(entry);
  }
  return true;
}

bool ParseKeyScriptLines(const std::string& text, std::vector<TKeyEntry>& entries, std::string& error) {
  int lineNumber = 0;
  for (const std::string& line : Split(text, '\n')) {
    ++lineNumber;
    const std::string entryText = Trim(line);
    if (entryText.empty() || entryText[0] == '#') continue;
    TKeyEntry entry;
    if (!ParseKeyEntry(entryText, entry, error)) {
      error = "line " + std::to_string(lineNumber) + ": " + error;
      return false;
    }
    entries.push_back(entry);
  }
  return true;
}

bool ParseSimOptions(const std::vector<std::string>& args, TSimOptions& options, std::string& error) {
  std::vector<std::string> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    const auto takeValue = [&]() {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    const auto bad = [&](const std::string& expected) {
      error = arg + " takes " + expected + ", not \"" + value + "\"";
      return false;
    };
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--timedemo") {
      options.Timedemo = true;
    } else if (arg == "--no-index") {
      options.NoIndex = true;
    } else if (arg == "--game" || arg == "--map" || arg == "--log" || arg == "--replay") {
      if (!takeValue()) return false;
      if (value.empty()) return bad("a path");
      (arg == "--game"  ? options.GameFolder
       : arg == "--map" ? options.MapFile
       : arg == "--log" ? options.LogFile
                        : options.Replay) = value;
    } else if (arg == "--seed") {
      std::uint64_t seed = 0;
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, UINT32_MAX, seed)) return bad("a number from 0 to 4294967295");
      options.Seed = static_cast<std::uint32_t>(seed);
    } else if (arg == "--steps") {
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, UINT32_MAX, options.Steps)) return bad("a number from 0 to 4294967295");
    } else if (arg == "--dump-every" || arg == "--windows") {
      if (!takeValue()) return false;
      std::uint64_t& every = arg == "--windows" ? options.Windows : options.DumpEvery;
      if (!ParseUnsigned(value, UINT32_MAX, every) || every == 0) return bad("a number from 1 to 4294967295");
    } else if (arg == "--weapon") {
      std::uint64_t weapon = 0;
      if (!takeValue()) return false;
      if (!ParseUnsigned(value, 8, weapon)) return bad("a weapon number from 0 to 8");
      options.Weapon = static_cast<int>(weapon);
    } else if (arg == "--screen") {
      if (!takeValue()) return false;
      const auto parts = Split(value, 'x');
      std::uint64_t w = 0, h = 0;
      if (parts.size() != 2 || !ParseUnsigned(parts[0], 16384, w) || !ParseUnsigned(parts[1], 16384, h) ||
          w == 0 || h == 0)
        return bad("WIDTHxHEIGHT, each from 1 to 16384");
      options.ScreenWidth = static_cast<int>(w);
      options.ScreenHeight = static_cast<int>(h);
    } else if (arg == "--player-at") {
      if (!takeValue()) return false;
      const auto parts = Split(value, ',');
      TPlacement at;
      float heading = 0;
      if ((parts.size() != 2 && parts.size() != 3) || !ParseFinite(parts[0], at.X) ||
          !ParseFinite(parts[1], at.Y) || (parts.size() == 3 && !ParseFinite(parts[2], heading)))
        return bad("X,Y or X,Y,HEADING (numbers)");
      if (parts.size() == 3) at.Heading = heading;
      options.PlayerAt = at;
    } else if (arg == "--keys") {
      if (!takeValue()) return false;
      std::string script = value;
      std::string why;
      bool parsed;
      if (!value.empty() && value[0] == '@') {
        if (!ReadFile(value.substr(1), script)) {
          error = "--keys: cannot read " + value.substr(1);
          return false;
        }
        parsed = ParseKeyScriptLines(script, options.Keys, why);
      } else {
        parsed = ParseKeyScript(script, options.Keys, why);
      }
      if (!parsed) {
        error = "--keys: " + why;
        return false;
      }
    } else {
      error = "unknown option " + arg;
      return false;
    }
    if (!arg.empty() && arg[0] == '-') given.push_back(arg);
  }
  if (!options.Replay.empty()) {
    // A replay brings its own start and keys.
    for (const std::string& arg : given)
      if (arg == "--seed" || arg == "--steps" || arg == "--keys" || arg == "--screen" ||
          arg == "--player-at" || arg == "--weapon") {
        error = arg + " cannot be used with --replay: the replay brings its own start and keys";
        return false;
      }
  }
  return true;
}

}  // namespace orr::sim
