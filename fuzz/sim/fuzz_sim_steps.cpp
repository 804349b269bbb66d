// SPDX-License-Identifier: GPL-3.0-or-later
// The game's rules against arbitrary maps: each input is a key script, a zero byte, then
// the bytes of an episode file. The simulator runs the whole session on them (start-up,
// 300 steps, shutdown) in a game folder without pictures. A map the loader refuses ends
// the run with exit code 1; everything else must run to the end with exit code 0, and
// nothing may crash, read out of bounds or hang.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Simulator.h"
#include "../ScratchFile.h"

namespace {

const std::filesystem::path& GameFolder() {
  // Removed with what the sessions wrote at exit.
  static const struct TFolder {
    TFolder()
        : Path(std::filesystem::path(orr::fuzz::ScratchFolder()) /
               ("orr_fuzz_sim_" + std::to_string(::getpid()))) {
      std::filesystem::create_directories(Path);
    }
    ~TFolder() {
      std::error_code ignored;
      std::filesystem::remove_all(Path, ignored);
    }
    std::filesystem::path Path;
  } folder;
  return folder.Path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orr::sim;
  const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  if (zero == nullptr) return 0;
  const std::string script(reinterpret_cast<const char*>(data), static_cast<std::size_t>(zero - data));
  TSimOptions options;
  std::string error;
  if (!ParseKeyScriptLines(script, options.Keys, error)) return 0;
  options.GameFolder = GameFolder().string();
  options.MapFile = (GameFolder() / "map.orx").string();
  {
    std::ofstream map(options.MapFile, std::ios::binary | std::ios::trunc);
    map.write(reinterpret_cast<const char*>(zero + 1), static_cast<std::streamsize>(data + size - zero - 1));
  }
  options.Steps = 300;
  options.Seed = static_cast<std::uint32_t>(size);
  std::ostringstream out, err;
  const int code = RunSimulation(options, out, err);
  if (code == 0) return 0;
  // The only refusal: the loader's (or the log's) message box.
  if (code != 1 || err.str().find("orrindel-sim: ") != 0) std::abort();
  return 0;
}
