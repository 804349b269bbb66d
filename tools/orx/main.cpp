// SPDX-License-Identifier: GPL-3.0-or-later
// orx: read, write and check episode map files. See docs/orx.md.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "AuthorCommands.h"
#include "OrxCheck.h"
#include "OrxGenerate.h"
#include "OrxJson.h"
#include "ExportWeb.h"
#include "PlayCommand.h"
#include "core/UMainModule.h"
#include "map/MapFileWriter.h"
#include "map/UMapModule.h"
#include "platform/Paths.h"

namespace {

using namespace orr;

constexpr const char* Usage =
    "usage: orx COMMAND [ARGUMENTS]\n"
    "\n"
    "Reads, writes and checks Orrindel episode map files (.orx).\n"
    "\n"
    "commands:\n"
    "  decode FILE [--log]      print the map as JSON on stdout; the exit code is the\n"
    "                           loader's result: 0 loaded, 1 no such file, 2 unreadable\n"
    "                           (the reason goes to stderr); --log also prints the\n"
    "                           loader's log lines to stderr\n"
    "  encode SOURCE.json -o OUT.orx [--wrap N] [--seed S] [--crlf]\n"
    "                           write the map of a JSON source; the game reads it back to\n"
    "                           the same map. --wrap N breaks lines every N bytes (also\n"
    "                           inside fields), --crlf ends them with CR LF, --seed S picks\n"
    "                           the per-field shifts (default 1). Exit 1 when the source\n"
    "                           is refused, with the field named\n"
    "  check FILE               load the map and report, one line each, what would\n"
    "                           misbehave in the game; exit 0 with at most warnings, 1\n"
    "                           when the map does not load or the game's set-up would fail\n"
    "  info FILE                a short summary: name, id, version, size, entities by\n"
    "                           kind and index\n"
    "  generate OUT.orx --size WxH --npcs N --items M [--seed S] [--every-feature]\n"
    "                           write a playable map of rooms and corridors with N\n"
    "                           creatures and M items (test maps; same options, same file)\n"
    "%s"
    "%s"
    "%s"
    "  help, --help, -h         this text\n"
    "\n"
    "The JSON form and the file format are described in docs/orx.md and docs/map-format.md.\n";

bool WantsHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

// Loads FILE into GameMap; prints why on stderr when it does not load. Returns the
// loader's result (an unopenable file counts as unreadable).
int Load(const std::string& path, bool printLog = false) {
  std::string failure;
  TMapLoadResult result = TMapLoadResult::Unreadable;
  try {
    result = LoadMap(path, &failure);
  } catch (const EInOutError& e) {
    failure = e.what();
  }
  if (printLog)
    for (const auto& line : EventLog) std::fprintf(stderr, "%s\n", line.c_str());
  if (result == TMapLoadResult::Missing) std::fprintf(stderr, "orx: %s: no such file\n", path.c_str());
  if (result == TMapLoadResult::Unreadable)
    std::fprintf(stderr, "orx: %s: unreadable: %s\n", path.c_str(), failure.c_str());
  return static_cast<int>(result);
}

// Prints the map JSON one top-level key per line, one grid row or entity record per line:
// compact, yet readable and easy to compare line by line.
void PrintJson(const nlohmann::ordered_json& map) {
  std::string out = "{";
  bool firstKey = true;
  for (auto it = map.begin(); it != map.end(); ++it) {
    out += firstKey ? "\n  " : ",\n  ";
    firstKey = false;
    out += nlohmann::json(it.key()).dump() + ": ";
    const auto& value = it.value();
    const bool listed = it.key() == "TerrainGrid" || it.key() == "DecorationGrid" ||
                        it.key() == "HeightMap" || it.key() == "EntitySpawns";
    if (!listed || value.empty()) {
      out += value.dump();
      continue;
    }
    out += "[";
    for (std::size_t i = 0; i < value.size(); ++i) out += (i == 0 ? "\n    " : ",\n    ") + value[i].dump();
    out += "\n  ]";
  }
  out += "\n}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

int Decode(const std::vector<std::string>& args) {
  std::string path;
  bool log = false;
  for (const auto& a : args) {
    if (a == "--log") log = true;
    else if (!a.empty() && a[0] == '-') return UsageError("decode: unknown option " + a);
    else if (path.empty()) path = a;
    else return UsageError("decode: one FILE only");
  }
  if (path.empty()) return UsageError("decode: FILE missing");
  const int result = Load(path, log);
  if (result != 0) return result;
  PrintJson(MapToJson(GameMap));
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2;
}

bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= low && value <= high;
}

int Encode(const std::vector<std::string>& args) {
  std::string source, output;
  TMapWriteOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) return nullptr;
      (void)name;
      return &args[++i];
    };
    long long number = 0;
    if (a == "-o") {
      const std::string* v = value("-o");
      if (v == nullptr) return UsageError("encode: -o needs a file name");
      output = *v;
    } else if (a == "--wrap") {
      const std::string* v = value("--wrap");
      if (v == nullptr || !ParseNumber(*v, 0, 1 << 30, number))
        return UsageError("encode: --wrap needs a number of bytes (0 for one line)");
      options.Wrap = static_cast<int>(number);
    } else if (a == "--seed") {
      const std::string* v = value("--seed");
      if (v == nullptr || !ParseNumber(*v, 0, 4294967295LL, number))
        return UsageError("encode: --seed needs a number 0..4294967295");
      options.Seed = static_cast<std::uint32_t>(number);
    } else if (a == "--crlf") {
      options.CrLf = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return UsageError("encode: unknown option " + a);
    } else if (source.empty()) {
      source = a;
    } else {
      return UsageError("encode: one SOURCE.json only");
    }
  }
  if (source.empty()) return UsageError("encode: SOURCE.json missing");
  if (output.empty()) return UsageError("encode: -o OUT.orx missing");

  nlohmann::json document;
  try {
    if (source == "-") {
      document = nlohmann::json::parse(std::cin);
    } else {
      std::ifstream in(orr::PathFromUtf8(source), std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "orx: %s: cannot open: %s\n", source.c_str(), std::strerror(errno));
        return 1;
      }
      document = nlohmann::json::parse(in);
    }
  } catch (const nlohmann::json::parse_error& e) {
    std::fprintf(stderr, "orx: %s: not valid JSON: %s\n", source.c_str(), e.what());
    return 1;
  }
  try {
    TMapSource map = MapFromJson(document);
    options.EntityCount = map.EntityCount;
    WriteMapFile(output, map.Map, options);
  } catch (const EMapEncodeError& e) {
    std::fprintf(stderr, "orx: %s: refused: %s\n", source.c_str(), e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orx: %s: %s\n", output.c_str(), e.what());
    return 1;
  }
  return 0;
}

int SingleFileCommand(const std::string& command, const std::vector<std::string>& args, std::string& path) {
  for (const auto& a : args) {
    if (!a.empty() && a[0] == '-') return UsageError(command + ": unknown option " + a);
    if (!path.empty()) return UsageError(command + ": one FILE only");
    path = a;
  }
  if (path.empty()) return UsageError(command + ": FILE missing");
  return 0;
}

int Check(const std::vector<std::string>& args) {
  std::string path;
  if (int usage = SingleFileCommand("check", args, path)) return usage;
  if (Load(path) != 0) return 1;
  const TCheckReport report = CheckGameMap();
  for (const auto& finding : report.Findings)
    std::printf("%s: %s: %s\n", path.c_str(), finding.Severity == TCheckSeverity::Error ? "error" : "warning",
                finding.Text.c_str());
  if (!report.Findings.empty())
    std::printf("%s: %d error(s), %d warning(s)\n", path.c_str(), report.Errors(), report.Warnings());
  return report.Errors() > 0 ? 1 : 0;
}

int Info(const std::vector<std::string>& args) {
  std::string path;
  if (int usage = SingleFileCommand("info", args, path)) return usage;
  const int result = Load(path);
  if (result != 0) return result;
  std::fputs(DescribeGameMap().c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  orr::UseUtf8Arguments(argc, argv);
  orr::UseBinaryStandardStreams();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fprintf(stderr, Usage, TiledUsage, PlayUsage, ExportWebUsage);
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "help" || command == "--help" || command == "-h" || WantsHelp(args)) {
    std::printf(Usage, TiledUsage, PlayUsage, ExportWebUsage);
    return 0;
  }
  if (command == "decode") return Decode(args);
  if (command == "encode") return Encode(args);
  if (command == "check") return Check(args);
  if (command == "info") return Info(args);
  if (command == "generate") return GenerateCommand(args);
  if (command == "export-tiled") return ExportTiledCommand(args, Load);
  if (command == "import-tiled") return ImportTiledCommand(args, Load);
  if (command == "render") return RenderCommand(args, Load);
  if (command == "play") return PlayCommand(args, Load);
  if (command == "export-web") return ExportWebCommand(args);
  return UsageError("unknown command " + command);
}
