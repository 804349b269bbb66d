// SPDX-License-Identifier: GPL-3.0-or-later
// Whole sessions of the shipped episode run in this process, as the simulator runs them.
#include "Simulator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
  const std::vector<std::string> args{"--seed", "77", "--steps", "600", "--dump-every", "150", "--keys",
                                      "Up@1-400,Left@100-160,Space@200-350,Down@450-500"};
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
  const TResult one = Simulate({"--seed", "9", "--steps", "240", "--dump-every", "20", "--keys", "Up@1-200,Left@30-90"});
  ASSERT_EQ(one.ExitCode, 0) << one.Err;
  for (const char* keys : {"Up@1-120,Up@60-200,Left@30-90", "Up@1-100,Up@101-200,Left@30-90",
                           "Up@101-200,Left@30-60,Up@1-100,Left@61-90,Left@40-50"})
    EXPECT_EQ(Simulate({"--seed", "9", "--steps", "240", "--dump-every", "20", "--keys", keys}).Out, one.Out) << keys;
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

}  // namespace
}  // namespace orr::sim
