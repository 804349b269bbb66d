// SPDX-License-Identifier: GPL-3.0-or-later
// Whole sessions of the shipped episode run in this process, as the simulator runs them.
#include "Simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/Replay.h"

namespace orr::sim {
namespace {

struct TResult {
  int ExitCode;
  std::string Out, Err;
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TResult Simulate(std::vector<std::string> args) {
  args.insert(args.begin(), {"--game", ORR_GAME_DIR});
  TSimOptions options;
  std::string error;
  EXPECT_TRUE(ParseSimOptions(args, options, error)) << error;
  std::ostringstream out, err;
  const int code = RunSimulation(options, out, err);
  return {code, out.str(), err.str()};
}

TEST(Simulator, TheSameRunTwiceInOneProcessGivesTheSameBytes) {
  const std::vector<std::string> args{
      "--seed",       "77",  "--steps", "600",
      "--dump-every", "150", "--keys",  "Up@1-400,Left@100-160,Space@200-350,Down@450-500"};
  const TResult first = Simulate(args);
  const TResult second = Simulate(args);
  ASSERT_EQ(first.ExitCode, 0) << first.Err;
  EXPECT_EQ(first.Lines().size(), 5u);  // steps 0, 150, 300, 450, 600
  EXPECT_EQ(first.Out, second.Out);
  // The walk moved the player: the keys reached the game.
  const auto lines = first.Lines();
  EXPECT_NE(lines.front().substr(lines.front().find("\"player\""), 120),
            lines.back().substr(lines.back().find("\"player\""), 120));
}

TEST(Simulator, EnterDoesNothing) {
  const TResult plain = Simulate({"--seed", "5", "--steps", "300", "--keys", "Up@1-300"});
  const TResult enter = Simulate({"--seed", "5", "--steps", "300", "--keys", "Up@1-300,Enter@1-300"});
  ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
  EXPECT_EQ(plain.Out, enter.Out);
}

TEST(Simulator, OverlappingAndTouchingEntriesHoldAKeyAsOneEntryDoes) {
  const TResult one =
      Simulate({"--seed", "9", "--steps", "240", "--dump-every", "20", "--keys", "Up@1-200,Left@30-90"});
  ASSERT_EQ(one.ExitCode, 0) << one.Err;
  for (const char* keys : {"Up@1-120,Up@60-200,Left@30-90", "Up@1-100,Up@101-200,Left@30-90",
                           "Up@101-200,Left@30-60,Up@1-100,Left@61-90,Left@40-50"})
    EXPECT_EQ(Simulate({"--seed", "9", "--steps", "240", "--dump-every", "20", "--keys", keys}).Out, one.Out)
        << keys;
}

TEST(Simulator, AMapTheLoaderRefusesEndsWithTheGamesMessage) {
  const std::string map = ::testing::TempDir() + "refused.orx";
  std::ofstream(map) << "not a map";
  const TResult r = Simulate({"--map", map});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "orrindel-sim: Map data out of date or corrupted! Aborting...\n");
  EXPECT_EQ(r.Out, "");
}

// A figure of a JSON line, by name (the first one of that name); -1 when missing.
double Figure(const std::string& line, const std::string& name) {
  const std::size_t at = line.find("\"" + name + "\": ");
  return at == std::string::npos ? -1 : std::stod(line.substr(at + name.size() + 4));
}

TEST(Simulator, TheWindowsAndTheSplitAddUpToTheTimedSteps) {
  const TResult r = Simulate({"--steps", "300", "--windows", "100", "--timedemo", "--keys", "Up@1-300"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  std::vector<double> windows;
  double rays = 0, scans = 0;  // each window counts its own
  std::string timedemo;
  for (const std::string& line : r.Lines()) {
    if (line.rfind("{\"window\"", 0) == 0) {
      windows.push_back(Figure(line, "seconds"));
      rays += Figure(line, "ray_casts");
      scans += Figure(line, "collision_scans");
    }
    if (line.rfind("{\"timedemo\"", 0) == 0) timedemo = line;
  }
  ASSERT_EQ(windows.size(), 3u);
  const double seconds = Figure(timedemo, "seconds");
  EXPECT_GT(windows[2], 0);
  EXPECT_NEAR(windows[0] + windows[1] + windows[2], seconds, 1e-9);
  EXPECT_GT(rays, 0);
  EXPECT_EQ(rays, Figure(timedemo, "ray_casts"));
  EXPECT_EQ(scans, Figure(timedemo, "collision_scans"));
  const double entities = Figure(timedemo, "entities");
  EXPECT_GT(entities, 0);
  EXPECT_LE(entities + Figure(timedemo, "views") + Figure(timedemo, "flytexts"), seconds);
}

// A real game of the episode, 20 s in the window (tests/golden/played.replay).
const std::string PlayedReplay = std::string(ORR_TEST_DATA) + "/../golden/played.replay";

std::vector<std::uint8_t> ReadBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string file = ::testing::TempDir() + name;
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return file;
}

TEST(SimulatorReplay, ARecordedGameMatchesAndDumpsWhereAsked) {
  const TResult r = Simulate({"--replay", PlayedReplay, "--dump-every", "500"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const auto lines = r.Lines();
  ASSERT_EQ(lines.size(), 7u);  // steps 0, 500, 1000, 1500, 2000, 2162 and the verdict
  EXPECT_EQ(lines[1].substr(0, 13), "{\"step\": 500,");
  EXPECT_EQ(lines.back(), "replay matches: 2162 steps");
}

// A replay changed where the rules would notice: the check names the first window of
// 100 steps that differs and the parts of the state that differ there.
TEST(SimulatorReplay, AChangedReplayIsCaughtInItsFirstDifferingWindow) {
  const std::vector<std::uint8_t> bytes = ReadBytes(PlayedReplay);
  TReplay replay;
  std::string error;
  ASSERT_TRUE(DecodeReplay(bytes.data(), bytes.size(), replay, error)) << error;

  TReplay digest = replay;
  ASSERT_GT(digest.Digests.size(), 12u);
  ASSERT_EQ(digest.Digests[11].Step, 1200u);
  digest.Digests[11].Digest[6] ^= 1;  // npcs
  TResult r = Simulate({"--replay", WriteTemp("digest.replay", EncodeReplay(digest))});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Lines().back(), "replay differs in steps 1101-1200: npcs");
  EXPECT_EQ(r.Err, "orrindel-sim: the replay differs in steps 1101-1200 (npcs)\n");

  // Up held for the first two seconds besides what was played: the player goes elsewhere.
  TReplay keys = replay;
  std::vector<TReplayRun> runs;
  std::uint64_t step = 0;
  for (const TReplayRun& run : keys.Runs)
    for (std::uint64_t i = 0; i < run.Count; ++i) {
      TKeyStates held = run.Held;
      if (++step <= 200) held.set(38);
      runs.push_back({held, i == 0 ? run.Wheel : 0, 1});
    }
  keys.Runs = runs;
  r = Simulate({"--replay", WriteTemp("keys.replay", EncodeReplay(keys))});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Lines().back().substr(0, 40), "replay differs in steps 1-100: player.po") << r.Lines().back();
}

TEST(SimulatorReplay, FilesThatCannotBeReRunAreRefusedInOneLine) {
  const std::vector<std::uint8_t> bytes = ReadBytes(PlayedReplay);
  TReplay replay;
  std::string error;
  ASSERT_TRUE(DecodeReplay(bytes.data(), bytes.size(), replay, error)) << error;
  TReplay other = replay;
  other.Header.GameVersion = "9.9";
  std::vector<std::uint8_t> damaged = bytes;
  damaged[bytes.size() / 2] ^= 0x10;
  const std::string map = ::testing::TempDir() + "other-map.orx";
  {
    std::vector<std::uint8_t> episode = ReadBytes(std::string(ORR_GAME_DIR) + "/Episodes/Test/Promo4.orx");
    episode.push_back(0);
    WriteTemp("other-map.orx", episode);
  }
  const struct {
    std::vector<std::string> Args;
    std::string Err;
  } cases[] = {
      {{"--replay", WriteTemp("cut.replay", {bytes.begin(), bytes.end() - 7})},
       "the replay is cut short after step 2162 (no end record)"},
      {{"--replay", WriteTemp("damaged.replay", damaged)}, "damaged"},
      {{"--replay", WriteTemp("version.replay", EncodeReplay(other))},
       "recorded by game version 9.9; this is version " + std::string(GameVersion)},
      {{"--replay", PlayedReplay, "--map", map},
       "recorded on map Episodes/Test/Promo4.orx (" + std::to_string(replay.Header.MapBytes) + " bytes"},
      {{"--replay", PlayedReplay, "--seed", "3"}, "--seed cannot be used with --replay"},
  };
  for (const auto& c : cases) {
    TSimOptions options;
    std::vector<std::string> args = c.Args;
    args.insert(args.begin(), {"--game", ORR_GAME_DIR});
    std::ostringstream out, err;
    int code = 2;
    if (ParseSimOptions(args, options, error)) code = RunSimulation(options, out, err);
    else err << "orrindel-sim: " << error << '\n';
    const std::string said = err.str();
    EXPECT_EQ(code, 2) << c.Err;
    EXPECT_NE(said.find(c.Err), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(out.str(), "");
  }
  // The other map is named too.
  TResult r = Simulate({"--replay", PlayedReplay, "--map", map});
  EXPECT_NE(r.Err.find("not on " + map), std::string::npos) << r.Err;
}

}  // namespace
}  // namespace orr::sim
