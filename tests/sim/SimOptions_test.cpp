// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimOptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace orr::sim {
namespace {

TEST(SimOptions, KeyScriptsReadRangesAndSingleSteps) {
  std::vector<TKeyEntry> entries;
  std::string error;
  ASSERT_TRUE(ParseKeyScript("Up@1-200,Space@7, Escape@4294967296", entries, error)) << error;
  const std::vector<TKeyEntry> expected{
      {TSimKey::Up, 1, 200}, {TSimKey::Space, 7, 7}, {TSimKey::Escape, 4294967296u, 4294967296u}};
  EXPECT_EQ(entries, expected);
}

TEST(SimOptions, MalformedKeyEntriesAreRefusedWithTheirReason) {
  const struct {
    const char* Script;
    const char* Reason;
  } cases[] = {
      {"Up", "expected KEY@"},      {"up@1", "unknown key"},        {"Jump@1", "unknown key"},
      {"Up@0", "steps start at 1"}, {"Up@0-3", "steps start at 1"}, {"Up@5-4", "ends before it starts"},
      {"Up@x", "not a number"},     {"Up@1-", "not numbers"},       {"Up@-3", "not numbers"},
      {"Up@1,,Down@2", "expected"}, {"Up@+1", "not a number"},      {"Up@1-2-3", "not numbers"},
  };
  for (const auto& c : cases) {
    std::vector<TKeyEntry> entries;
    std::string error;
    EXPECT_FALSE(ParseKeyScript(c.Script, entries, error)) << c.Script;
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Script << ": " << error;
  }
}

TEST(SimOptions, KeyFilesTakeOneEntryPerLineAndNameTheBadLine) {
  std::vector<TKeyEntry> entries;
  std::string error;
  ASSERT_TRUE(ParseKeyScriptLines("# walk\r\nUp@1-10\r\n\r\n  Left@3\n", entries, error)) << error;
  EXPECT_EQ(entries, (std::vector<TKeyEntry>{{TSimKey::Up, 1, 10}, {TSimKey::Left, 3, 3}}));
  EXPECT_FALSE(ParseKeyScriptLines("Up@1\nUp@2,Down@3\n", entries, error));
  EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
}

TEST(SimOptions, EveryOptionReadsItsValue) {
  const std::string keyFile = ::testing::TempDir() + "sim-keys.txt";
  std::ofstream(keyFile) << "Right@2-3\n";
  TSimOptions o;
  std::string error;
  ASSERT_TRUE(
      ParseSimOptions({"--game",     "g",         "--map",    "m.orx",       "--seed",       "4294967295",
                       "--steps",    "0",         "--keys",   "@" + keyFile, "--player-at",  "3.5,-2e1,90",
                       "--weapon",   "8",         "--screen", "800x600",     "--dump-every", "5",
                       "--timedemo", "--windows", "7",        "--log",       "l.txt",        "--no-index"},
                      o, error))
      << error;
  std::remove(keyFile.c_str());
  EXPECT_EQ(o.GameFolder, "g");
  EXPECT_EQ(o.MapFile, "m.orx");
  EXPECT_EQ(o.Seed, 4294967295u);
  EXPECT_EQ(o.Steps, 0u);
  EXPECT_EQ(o.Keys, (std::vector<TKeyEntry>{{TSimKey::Right, 2, 3}}));
  ASSERT_TRUE(o.PlayerAt.has_value());
  EXPECT_EQ(o.PlayerAt->X, 3.5f);
  EXPECT_EQ(o.PlayerAt->Y, -20.0f);
  EXPECT_EQ(o.PlayerAt->Heading, 90.0f);
  EXPECT_EQ(o.Weapon, 8);
  EXPECT_EQ(o.ScreenWidth, 800);
  EXPECT_EQ(o.ScreenHeight, 600);
  EXPECT_EQ(o.DumpEvery, 5u);
  EXPECT_TRUE(o.Timedemo);
  EXPECT_EQ(o.Windows, 7u);
  EXPECT_EQ(o.LogFile, "l.txt");
  EXPECT_TRUE(o.NoIndex);
}

TEST(SimOptions, BadValuesAreRefusedWithTheOptionNamed) {
  const std::vector<std::vector<std::string>> cases{
      {"--seed", "4294967296"},
      {"--seed", "-1"},
      {"--steps", "1e3"},
      {"--steps"},
      {"--weapon", "9"},
      {"--dump-every", "0"},
      {"--windows", "0"},
      {"--screen", "800"},
      {"--screen", "0x600"},
      {"--screen", "800x600x2"},
      {"--player-at", "1"},
      {"--player-at", "1,inf"},
      {"--player-at", "1,2,3,4"},
      {"--keys", "@/no/such/file"},
      {"--game", ""},
      {"--frobnicate"},
      {"extra"},
  };
  for (const auto& args : cases) {
    TSimOptions o;
    std::string error;
    EXPECT_FALSE(ParseSimOptions(args, o, error)) << args[0];
    EXPECT_NE(error.find(args[0]), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace orr::sim
