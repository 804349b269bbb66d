// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportWeb.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "OrxCheck.h"
#include "platform/Application.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace orr {
namespace {

namespace fs = std::filesystem;

// What a built site holds (scripts/web-site); the export copies exactly these.
const char* const SiteFiles[] = {"index.html", "orrindel.js", "orrindel.wasm", "orrindel.data",
                                 "orrindel-data.js"};
// The map beside the page, and how the page is told to play it.
constexpr const char* EpisodeFile = "episode.orx";
constexpr const char* NoEpisode = "data-episode=\"\"";
constexpr const char* ThisEpisode = "data-episode=\"episode.orx\"";

int Fail(const std::string& message) {
  std::fprintf(stderr, "orx: export-web: %s\n", message.c_str());
  return 1;
}

bool IsSite(const fs::path& folder) {
  std::error_code ec;
  for (const char* file : SiteFiles)
    if (!fs::is_regular_file(folder / file, ec)) return false;
  return true;
}

// The built site this tool belongs to: installed, the game folder's web/; in a build tree
// (build/bin/orx), the web tree's site beside it (build-web/site).
std::vector<fs::path> SiteCandidates() {
  std::vector<fs::path> candidates;
  const std::string exe = ExecutableFileName();
  const std::string game = GameFolderBeside(exe);
  if (!game.empty()) candidates.push_back(PathFromUtf8(game) / "web");
  const fs::path bin = PathFromUtf8(exe).parent_path();
  candidates.push_back(bin / ".." / ".." / "build-web" / "site");
  return candidates;
}

std::string ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Copies the site and the map into `staging`, the page pointed at the map.
std::string WriteSite(const fs::path& site, const fs::path& map, const fs::path& staging) {
  std::error_code ec;
  fs::create_directories(staging, ec);
  if (ec) return "cannot create " + Utf8FromPath(staging) + ": " + ec.message();
  for (const char* file : SiteFiles) {
    if (std::string(file) == "index.html") continue;
    fs::copy_file(site / file, staging / file, ec);
    if (ec) return "cannot copy " + Utf8FromPath(site / file) + ": " + ec.message();
  }
  fs::copy_file(map, staging / EpisodeFile, ec);
  if (ec) return "cannot copy " + Utf8FromPath(map) + ": " + ec.message();
  std::string page = ReadWhole(site / "index.html");
  const auto at = page.find(NoEpisode);
  if (at == std::string::npos || page.find(NoEpisode, at + 1) != std::string::npos)
    return Utf8FromPath(site / "index.html") + " is not the game's page (no single " + NoEpisode + ")";
  page.replace(at, std::string(NoEpisode).size(), ThisEpisode);
  std::ofstream out(staging / "index.html", std::ios::binary | std::ios::trunc);
  out << page;
  out.close();
  if (!out) return "cannot write " + Utf8FromPath(staging / "index.html");
  return {};
}

}  // namespace

const char* const ExportWebUsage =
    "  export-web MAP.orx DIR [--site SITE]\n"
    "                           write a web site that plays the map (checked first: a\n"
    "                           map with errors is refused) into DIR, a new or empty\n"
    "                           folder: the built game's page (SITE, by default the one\n"
    "                           built or installed with this tool) with the map beside\n"
    "                           it as episode.orx. Any static server can host DIR\n";

int ExportWebCommand(const std::vector<std::string>& args) {
  std::string map, dir, siteArg;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--site" && i + 1 < args.size()) {
      siteArg = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      std::fprintf(stderr, "orx: export-web: unknown option %s\n(orx --help shows how to use it)\n",
                   args[i].c_str());
      return 2;
    } else if (map.empty()) {
      map = args[i];
    } else if (dir.empty()) {
      dir = args[i];
    } else {
      std::fprintf(stderr,
                   "orx: export-web: one MAP.orx and one DIR only\n(orx --help shows how to use it)\n");
      return 2;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "orx: export-web: MAP.orx and DIR are needed\n(orx --help shows how to use it)\n");
    return 2;
  }

  std::vector<std::string> warnings;
  const std::string refusal = RefusalOfMapFile(map, map, warnings);
  for (const auto& warning : warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  if (!refusal.empty()) return Fail("the map cannot be played:\n" + refusal);

  fs::path site;
  if (!siteArg.empty()) {
    site = PathFromUtf8(siteArg);
    if (!IsSite(site))
      return Fail(siteArg +
                  " is not a built site (it lacks one of index.html, orrindel.js, "
                  "orrindel.wasm, orrindel.data, orrindel-data.js)");
  } else {
    std::string looked;
    for (const fs::path& candidate : SiteCandidates()) {
      if (IsSite(candidate)) {
        site = candidate;
        break;
      }
      looked += (looked.empty() ? "" : ", ") + Utf8FromPath(candidate.lexically_normal());
    }
    if (site.empty())
      return Fail("no built site found (looked in " + looked +
                  "); build one with scripts/build-web or name it "
                  "with --site SITE");
  }

  // Nothing of the author's is overwritten: DIR is new or empty, and it appears whole or
  // not at all (the site is written beside it first).
  const fs::path target = PathFromUtf8(dir);
  std::error_code ec;
  if (fs::exists(target, ec)) {
    if (!fs::is_directory(target, ec) || !fs::is_empty(target, ec))
      return Fail(dir + " exists and is not an empty folder: nothing was written");
  }
  const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const fs::path staging = parent / (target.filename().string() + ".export-web-tmp");
  fs::remove_all(staging, ec);
  const std::string failure = WriteSite(site, PathFromUtf8(map), staging);
  if (failure.empty()) {
    fs::remove(target, ec);  // the empty folder, if any
    fs::rename(staging, target, ec);
    if (!ec) {
      std::printf(
          "%s: the game's page with %s as its episode; serve the folder with any static server and "
          "open index.html\n",
          dir.c_str(), map.c_str());
      return 0;
    }
  }
  fs::remove_all(staging, ec);
  return Fail(failure.empty() ? "cannot create " + dir : failure);
}

}  // namespace orr
