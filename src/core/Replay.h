// SPDX-License-Identifier: GPL-3.0-or-later
// Replays: what a game's steps saw, so that the game can be run again step for step.
//
// A step reads one key snapshot (RunStep); a replay holds the start (seed, the screen the
// view is laid out for, the map, the game's version), every step's snapshot and a digest
// of the game state every ReplayDigestSteps steps and at the end. The game records every
// run and leaves it as last-run.replay beside its log; orrindel-sim re-runs it and checks
// the digests. The file format is described in docs/replay.md.
//
// Recording costs a comparison per step: a step whose keys equal the step before's only
// counts up a run; a digest is taken once every 100 steps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Keyboard.h"

namespace orr {

inline constexpr std::uint64_t ReplayDigestSteps = 100;
inline constexpr std::uint16_t ReplayFormatVersion = 1;

// The state digest: one 32-bit hash per part of the game state, so that a difference can
// be named.
inline constexpr std::size_t ReplayDigestFields = 9;
using TStateDigest = std::array<std::uint32_t, ReplayDigestFields>;
// The names of the parts, in order ("seed", "player.position", ...).
extern const char* const ReplayDigestFieldNames[ReplayDigestFields];

// How a recording ended.
enum class TReplayEnd : std::uint8_t { Shutdown = 0, Exception = 1, Crash = 2 };

struct TReplayHeader {
  std::string GameVersion;
  std::uint32_t Seed = 0;
  int ScreenWidth = 0, ScreenHeight = 0;
  std::string MapName;  // relative to the game folder when the map lies in it, with '/'
  std::uint64_t MapDigest = 0;
  std::uint64_t MapBytes = 0;
};

struct TReplayDigestRecord {
  std::uint64_t Step = 0;  // the digest is of the state after this step
  TStateDigest Digest{};
};

// Steps in a row that hold the same keys: the first sees Wheel, the others no wheel.
struct TReplayRun {
  TKeyStates Held;
  std::int32_t Wheel = 0;
  std::uint64_t Count = 1;
};

// A replay as read back.
struct TReplay {
  TReplayHeader Header;
  std::vector<TReplayRun> Runs;              // the steps, in order
  std::uint64_t StepCount = 0;               // the sum of the runs' counts
  std::vector<TReplayDigestRecord> Digests;  // in step order
  TReplayEnd End = TReplayEnd::Shutdown;
  bool HasEndDigest = false;  // a crash leaves none: then the last record
  TStateDigest EndDigest{};   // of Digests is the last check
};
// A replay holds at most this many steps (about 15 days of play).
inline constexpr std::uint64_t ReplayMaxSteps = std::uint64_t{1} << 27;

// The game's version as replays name it.
extern const char* const GameVersion;

// FNV-1a, 64 bits, of a file's bytes; false when it cannot be read.
bool FileDigest(const std::string& fileName, std::uint64_t& digest, std::uint64_t& bytes);

// Writes a whole replay (tests, tools). The recorder below writes the same bytes.
std::vector<std::uint8_t> EncodeReplay(const TReplay& replay);
// Reads a replay; false with a one-line reason for a file that is cut, damaged or of
// another format version. Every count and size read is checked against what is left.
bool DecodeReplay(const std::uint8_t* data, std::size_t size, TReplay& replay, std::string& error);
bool ReadReplayFile(const std::string& fileName, TReplay& replay, std::string& error);

// ---- Recording ------------------------------------------------------------------------------

// The state digest of the running game; set by the game session.
using TStateDigestFn = TStateDigest (*)();
extern TStateDigestFn StateDigestOf;

// False: sessions are not recorded (the simulator).
extern bool RecordReplays;

// Starts recording the session that starts now (the steps run from here on); the replay
// goes to `fileName` at StopRecording, from the exception hook (SaveReplay) and from the
// crash handlers. Room for about an hour of play is reserved here, so that the crash path
// finds the bytes in place.
void StartRecording(const TReplayHeader& header, const std::string& fileName);
// Writes the replay with the final digest and stops; no-op when not recording.
void StopRecording();
// Writes the replay as it stands, with a digest of now (the exception hook); recording
// goes on. False when it could not be written.
bool SaveReplay(TReplayEnd end);
bool Recording();
// Steps recorded so far, and the bytes they take so far.
std::uint64_t RecordedSteps();
std::size_t EncodedReplayBytes();

// The crash path: the file name, and the bytes of the replay as they stand in up to three
// pieces (recorded bytes, then a tail of the pending run, the end record and the check
// sum). Nothing is allocated. False when nothing is recorded.
struct TCrashReplay {
  const char* FileName;
  const std::uint8_t* Parts[2];
  std::size_t Sizes[2];
};
bool CrashReplay(TCrashReplay& out);
#ifdef _WIN32
// The file name for the Windows crash filter (wide, made ahead).
const wchar_t* CrashReplayFileWide();
#endif

// ---- Playing back -------------------------------------------------------------------------

// While set, each step's keys come from here instead of the keyboard (the keyboard is still
// looked at, so that the wheel and the window's events go on as usual).
struct TReplaySource {
  const TReplay* Replay = nullptr;
  std::size_t Run = 0;       // the run the next step is in
  std::uint64_t InRun = 0;   // steps of that run already played
  std::uint64_t Played = 0;  // steps played
  // Called at the end of every step, when all its handlers have run (as the recorder takes
  // its digests); may be empty.
  void (*AfterStep)(TReplaySource& source) = nullptr;
  // The snapshot of the next step; false when the replay has no more steps (the keys are
  // then all up).
  bool Next(TKeySnapshot& keys);
};
extern TReplaySource* ReplaySource;

// Called by RunStep with the keys the step took: records them, or replaces them with the
// replay's. Returns the keys the step uses.
void StepKeys(TKeySnapshot& keys);
// Called by RunStep after the step's handlers ran.
void StepDone();

// Resets recording and playback (tests).
void ResetReplay();

}  // namespace orr
