// SPDX-License-Identifier: GPL-3.0-or-later
#include "Simulator.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <unordered_set>

#include "SimState.h"
#include "app/UProgram.h"
#include "core/Replay.h"
#include "session/StateDigest.h"
#include "core/UMainModule.h"
#include "entities/UEntityStructures.h"
#include "session/UGameModule.h"
#include "platform/Application.h"
#include "platform/Forms.h"
#include "platform/Keys.h"
#include "render/UGameRender.h"
#include "platform/Paths.h"

namespace orr::sim {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

double SecondsBetween(TClock::time_point from, TClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Processor time of the calling thread: on a busy machine the wall time of the steps also
// holds the time other programs had the processor.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The peak resident memory of the process so far, in KiB (Windows: the peak working set).
long PeakResidentKilobytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
#endif
}

// Where the step time goes: each handler a step runs is put under the kind of object it
// steps (an entity, a fly text, or else a player's view). The clock is read only where the
// kind changes from one handler to the next and at the end of the step, so that timing the
// split does not cost as much as the handlers it times.
class TStepSplit : public TStepObserver {
 public:
  double Entities = 0, Views = 0, FlyTexts = 0;

  // The entities are made by set-up and live until shutdown.
  void Learn() {
    entities_.clear();
    items_.clear();
    order_.clear();
    for (const auto& e : MapEntities) {
      entities_.insert(static_cast<const void*>(dynamic_cast<TVisualMapEntity*>(e.get())));
      if (auto* item = dynamic_cast<TItem*>(e.get())) items_.push_back(item);
    }
    for (const auto& record : PlayerRecords)
      if (record != nullptr && record->Player != nullptr)
        entities_.insert(static_cast<const void*>(static_cast<TVisualMapEntity*>(record->Player)));
  }
  void BeforeHandler(const TStepHandler& handler) override {
    const TKind kind = KindOf(handler.Data);
    if (kind == running_) return;
    const auto now = TClock::now();
    Charge(now);
    running_ = kind;
    since_ = now;
  }
  void AfterHandler(const TStepHandler&) override {}
  // The step is over: the handlers run since the last reading are charged.
  void EndStep() {
    Charge(TClock::now());
    running_ = TKind::None;
    next_ = 0;
  }

 private:
  enum class TKind : std::uint8_t { None, Entity, FlyText, View };
  void Charge(TClock::time_point now) {
    const double seconds = SecondsBetween(since_, now);
    switch (running_) {
      case TKind::Entity: Entities += seconds; break;
      case TKind::FlyText: FlyTexts += seconds; break;
      case TKind::View: Views += seconds; break;
      case TKind::None: break;
    }
  }
  // Steps run the same handlers in the same order, so the kinds are remembered by place and
  // only looked up when the handler there changed.
  TKind KindOf(const void* data) {
    if (next_ < order_.size() && order_[next_].first == data) return order_[next_++].second;
    const TKind kind = entities_.count(data) != 0 ? TKind::Entity
                       : IsFlyText(data)          ? TKind::FlyText
                                                  : TKind::View;
    if (next_ < order_.size()) order_[next_] = {data, kind};
    else order_.emplace_back(data, kind);
    ++next_;
    return kind;
  }
  bool IsFlyText(const void* data) const {
    for (const TItem* item : items_)
      if (static_cast<const void*>(item->FlyText) == data) return true;
    return false;
  }
  TKind running_ = TKind::None;
  TClock::time_point since_;
  std::unordered_set<const void*> entities_;
  std::vector<const TItem*> items_;
  std::vector<std::pair<const void*, TKind>> order_;
  std::size_t next_ = 0;
};

struct TRun {
  TRun(const TSimOptions& options, std::ostream& out, std::ostream& err, TClock::time_point started)
      : Options(options), Out(out), Err(err), Started(started) {}
  const TSimOptions& Options;
  std::ostream& Out;
  std::ostream& Err;
  TClock::time_point Started;
  THeadlessBackend* Backend = nullptr;
  int ExitCode = 0;  // set by the session's own failures
  std::uint64_t StepsRun = 0;
  double StepWallSeconds = 0;
  double StepCpuSeconds = 0;
  double StartupSeconds = 0;
  TStepSplit Split;
  double WindowSeconds = 0, WindowCpuSeconds = 0;  // at the start of the current window
  std::uint64_t WindowRays = 0, WindowScans = 0;
  // A replay being re-run: its steps' keys come from it, its digests are checked.
  const TReplay* Replay = nullptr;
  std::size_t NextDigest = 0;
  bool ReplayDiffers = false;
  std::string Verdict;  // a replay's: printed last

  // After step `step` of a replay: compares the digest recorded there, if one was; on the
  // first difference says where and in what, and the run stops.
  void CheckReplay(std::uint64_t step) {
    const std::vector<TReplayDigestRecord>& digests = Replay->Digests;
    const bool last = step == Replay->StepCount;
    while (NextDigest < digests.size() && digests[NextDigest].Step < step) ++NextDigest;
    const bool recorded = NextDigest < digests.size() && digests[NextDigest].Step == step;
    if (!recorded && !(last && Replay->HasEndDigest)) return;
    const TStateDigest now = GameStateDigest();
    const TStateDigest& then = recorded ? digests[NextDigest].Digest : Replay->EndDigest;
    std::string fields;
    for (std::size_t i = 0; i < ReplayDigestFields; ++i)
      if (now[i] != then[i]) fields += (fields.empty() ? "" : ", ") + std::string(ReplayDigestFieldNames[i]);
    if (fields.empty() && last && recorded && Replay->HasEndDigest)
      for (std::size_t i = 0; i < ReplayDigestFields; ++i)
        if (now[i] != Replay->EndDigest[i])
          fields += (fields.empty() ? "" : ", ") + std::string(ReplayDigestFieldNames[i]);
    if (fields.empty()) return;
    const std::uint64_t from = step == 0 ? 0 : (step - 1) / ReplayDigestSteps * ReplayDigestSteps + 1;
    Verdict = "replay differs in steps " + std::to_string(from) + "-" + std::to_string(step) + ": " + fields;
    Err << "orrindel-sim: the replay differs in steps " << from << "-" << step << " (" << fields << ")\n";
    ReplayDiffers = true;
    if (ExitCode == 0) ExitCode = 1;
  }

  void Fail(int code, const std::string& line) {
    Err << "orrindel-sim: " << line << '\n';
    if (ExitCode == 0) ExitCode = code;
  }

  // The script as changes of how many of its entries hold each key: up at an entry's first
  // step, down after its last. Steps come in order, so a step costs the changes it meets,
  // not a pass over the whole script (an hour's soak script has thousands of entries).
  struct TKeyChange {
    std::uint64_t Step;
    TSimKey Key;
    int By;
  };
  std::vector<TKeyChange> KeyChanges;
  std::size_t NextKeyChange = 0;
  std::array<int, 7> KeyHolds{};

  void LearnKeys() {
    for (const TKeyEntry& e : Options.Keys) {
      if (e.Key == TSimKey::Escape || e.From > e.To) continue;
      KeyChanges.push_back({e.From, e.Key, 1});
      if (e.To != UINT64_MAX) KeyChanges.push_back({e.To + 1, e.Key, -1});
    }
    std::sort(KeyChanges.begin(), KeyChanges.end(),
              [](const TKeyChange& a, const TKeyChange& b) { return a.Step < b.Step; });
  }

  // Every key of the script but Escape, down or up for step `step` (steps in order).
  void HoldKeys(std::uint64_t step) {
    for (; NextKeyChange < KeyChanges.size() && KeyChanges[NextKeyChange].Step <= step; ++NextKeyChange)
      KeyHolds[static_cast<std::size_t>(KeyChanges[NextKeyChange].Key)] += KeyChanges[NextKeyChange].By;
    for (TSimKey key :
         {TSimKey::Up, TSimKey::Down, TSimKey::Left, TSimKey::Right, TSimKey::Space, TSimKey::Enter})
      Backend->SetKeyDown(VirtualKeyOf(key), KeyHolds[static_cast<std::size_t>(key)] > 0);
  }

  // The step an Escape entry halts the game before; 0 for none.
  std::uint64_t EscapeStep() const {
    std::uint64_t first = 0;
    for (const TKeyEntry& e : Options.Keys)
      if (e.Key == TSimKey::Escape && (first == 0 || e.From < first)) first = e.From;
    return first;
  }

  bool PlacePlayer(TPlayerRecord& record) {
    if (Options.PlayerAt) {
      const TPlacement& at = *Options.PlayerAt;
      if (at.X < 0 || at.Y < 0 || at.X >= GameMap.MapSize.X || at.Y >= GameMap.MapSize.Y) {
        Fail(2, "--player-at: " + ShortestFloat(at.X) + "," + ShortestFloat(at.Y) + " lies outside the " +
                    std::to_string(GameMap.MapSize.X) + "x" + std::to_string(GameMap.MapSize.Y) + " map");
        return false;
      }
      TVector p = record.Player->GetPosition();
      p.X = at.X;
      p.Y = at.Y;
      record.Player->SetPosition(p);
      if (at.Heading) record.Player->SetHeading(*at.Heading);
    }
    if (Options.Weapon) record.SelectWeapon(static_cast<std::uint8_t>(*Options.Weapon));
    return true;
  }

  void Step(TApplication& app, std::uint64_t step) {
    if (Replay == nullptr) HoldKeys(step);
    const double cpuBegin = ThreadCpuSeconds();
    const auto begin = TClock::now();
    try {
      RunFrameSteps(1);
    } catch (...) {
      // As in the game's idle processing: to the exception hook (which may end the run).
      app.HandleCurrentException(&app);
    }
    if (Options.Timedemo) Split.EndStep();
    StepWallSeconds += SecondsBetween(begin, TClock::now());
    StepCpuSeconds += ThreadCpuSeconds() - cpuBegin;
    ++StepsRun;
  }

  // Escape in the game window: the window's own key handling halts the game and ends it.
  void PressEscape(TApplication& app) {
    TPlatformEvent escape;
    escape.Kind = TPlatformEvent::TKind::KeyDown;
    escape.Key = VK_ESCAPE;
    Backend->PushEvent(escape);
    app.ProcessMessages();
  }

  void Play(TApplication& app) {
    app.ProcessMessages();  // a start-up that asked to end (a map refused) ends here
    if (app.Terminated() || ExitCode != 0) return;
    TPlayerRecord* record = PlayerRecords.empty() ? nullptr : PlayerRecords.front().get();
    if (record == nullptr || record->Player == nullptr) return Fail(1, "the session made no player");
    if (app.MainForm != nullptr) app.MainForm->Show();
    if (Replay == nullptr && !PlacePlayer(*record)) return;
    if (Options.Timedemo) {
      Split.Learn();
      StepObserver = &Split;
    }
    const std::uint64_t last = Options.Steps;
    const std::uint64_t escapeAt = EscapeStep();
    LearnKeys();
    for (std::uint64_t step = 0;; ++step) {
      if (step == 1) StartupSeconds = SecondsBetween(Started, TClock::now());
      if (step > 0) Step(app, step);
      if (Replay != nullptr && !app.Terminated()) CheckReplay(step);
      if (step < last && escapeAt == step + 1) PressEscape(app);
      const bool halted = GameHalted || app.Terminated();
      const bool dumpDue = Options.DumpEvery != 0 && step % Options.DumpEvery == 0;
      if (step == 0 || step == last || halted || dumpDue) Out << StateLine(step, halted) << '\n';
      if (Options.Windows != 0 && step > 0 && step % Options.Windows == 0) WriteWindow(step);
      if (halted || step == last || ReplayDiffers) break;
    }
    StepObserver = nullptr;
    if (Replay != nullptr && !ReplayDiffers && ExitCode == 0) {
      if (StepsRun < last)
        return Fail(1, "the replay's game ended after step " + std::to_string(StepsRun) + " of " +
                           std::to_string(last));
      Verdict = "replay matches: " + std::to_string(last) + " steps";
      if (Replay->End == TReplayEnd::Crash)
        Verdict += " (the recorded game crashed in or after step " + std::to_string(last) + ")";
      if (Replay->End == TReplayEnd::Exception)
        Verdict += " (the recorded game met an exception after step " + std::to_string(last) + ")";
    }
  }

  // The steps since the last window line: their wall and processor time, and the peak
  // resident memory of the process so far (the soak test's figures).
  void WriteWindow(std::uint64_t step) {
    Out << "{\"window\": {\"step\": " << step
        << ", \"seconds\": " << ShortestDouble(StepWallSeconds - WindowSeconds)
        << ", \"cpu_seconds\": " << ShortestDouble(StepCpuSeconds - WindowCpuSeconds)
        << ", \"peak_rss_kb\": " << PeakResidentKilobytes()
        << ", \"ray_casts\": " << RuleCounters.RayCasts - WindowRays
        << ", \"collision_scans\": " << RuleCounters.CollisionScans - WindowScans << "}}\n";
    WindowSeconds = StepWallSeconds;
    WindowCpuSeconds = StepCpuSeconds;
    WindowRays = RuleCounters.RayCasts;
    WindowScans = RuleCounters.CollisionScans;
  }

  void WriteTimedemo() {
    const double perSecond = StepWallSeconds > 0 ? static_cast<double>(StepsRun) / StepWallSeconds : 0;
    const double other = StepWallSeconds - Split.Entities - Split.Views - Split.FlyTexts;
    Out << "{\"timedemo\": {\"steps\": " << StepsRun << ", \"seconds\": " << ShortestDouble(StepWallSeconds)
        << ", \"steps_per_second\": " << ShortestDouble(perSecond)
        << ", \"cpu_seconds\": " << ShortestDouble(StepCpuSeconds)
        << ", \"startup_seconds\": " << ShortestDouble(StartupSeconds)
        << ", \"split\": {\"entities\": " << ShortestDouble(Split.Entities)
        << ", \"views\": " << ShortestDouble(Split.Views)
        << ", \"flytexts\": " << ShortestDouble(Split.FlyTexts) << ", \"other\": " << ShortestDouble(other)
        << ", \"ray_casts\": " << RuleCounters.RayCasts
        << ", \"collision_scans\": " << RuleCounters.CollisionScans << "}}}\n";
  }
};

}  // namespace

namespace {

// A replay's start in place of the command line's: its seed, screen, steps and map. False
// (exit code 2, one line) for a file that cannot be re-run here.
bool TakeReplay(TSimOptions& options, const fs::path& game, TReplay& replay, std::ostream& err) {
  std::string error;
  if (!ReadReplayFile(options.Replay, replay, error)) {
    err << "orrindel-sim: " << options.Replay << ": " << error << '\n';
    return false;
  }
  const TReplayHeader& h = replay.Header;
  if (h.GameVersion != GameVersion) {
    err << "orrindel-sim: " << options.Replay << ": recorded by game version " << h.GameVersion
        << "; this is version " << GameVersion << '\n';
    return false;
  }
  std::error_code ec;
  if (options.MapFile.empty()) {
    const fs::path candidate = game / PathFromUtf8(h.MapName);
    if (h.MapName.empty() || PathFromUtf8(h.MapName).is_absolute() || !fs::is_regular_file(candidate, ec)) {
      err << "orrindel-sim: " << options.Replay << ": recorded on map " << h.MapName
          << ", which the game folder " << Utf8FromPath(game) << " does not hold; name it with --map FILE\n";
      return false;
    }
    options.MapFile = Utf8FromPath(candidate);
  }
  std::uint64_t digest = 0, bytes = 0;
  if (!FileDigest(options.MapFile, digest, bytes)) {
    err << "orrindel-sim: cannot read the map " << options.MapFile << '\n';
    return false;
  }
  if (digest != h.MapDigest || bytes != h.MapBytes) {
    char recorded[17], here[17];
    std::snprintf(recorded, sizeof recorded, "%016llx", static_cast<unsigned long long>(h.MapDigest));
    std::snprintf(here, sizeof here, "%016llx", static_cast<unsigned long long>(digest));
    err << "orrindel-sim: " << options.Replay << ": recorded on map " << h.MapName << " (" << h.MapBytes
        << " bytes, digest " << recorded << "), not on " << options.MapFile << " (" << bytes
        << " bytes, digest " << here << ")\n";
    return false;
  }
  options.Seed = h.Seed;
  options.ScreenWidth = h.ScreenWidth;
  options.ScreenHeight = h.ScreenHeight;
  options.Steps = replay.StepCount;
  options.Keys.clear();
  return true;
}

}  // namespace

int RunSimulation(const TSimOptions& givenOptions, std::ostream& out, std::ostream& err,
                  TClock::time_point started) {
  TSimOptions replayOptions;
  TReplay replay;
  const TSimOptions& options = givenOptions.Replay.empty() ? givenOptions : replayOptions;
  TRun run{options, out, err, started};
  std::error_code ec;
  if (!givenOptions.Replay.empty()) {
    replayOptions = givenOptions;
    if (replayOptions.GameFolder.empty() || !fs::is_directory(PathFromUtf8(replayOptions.GameFolder), ec)) {
      run.Fail(2, replayOptions.GameFolder.empty()
                      ? "no game folder beside this program; name one with --game DIR"
                      : "no game folder " + replayOptions.GameFolder);
      return run.ExitCode;
    }
    if (!TakeReplay(replayOptions,
                    fs::absolute(PathFromUtf8(replayOptions.GameFolder), ec).lexically_normal(), replay, err))
      return 2;
    run.Replay = &replay;
  }
  if (options.GameFolder.empty()) {
    run.Fail(2, "no game folder beside this program; name one with --game DIR");
    return run.ExitCode;
  }
  if (!fs::is_directory(PathFromUtf8(options.GameFolder), ec)) {
    run.Fail(2, "no game folder " + options.GameFolder);
    return run.ExitCode;
  }
  const fs::path game = fs::absolute(PathFromUtf8(options.GameFolder), ec).lexically_normal();
  const std::string map = options.MapFile.empty() ? EpisodeMapPath(Utf8FromPath(game / "")) : options.MapFile;
  if (!fs::is_regular_file(PathFromUtf8(map), ec)) {
    run.Fail(2, "no map file " + map);
    return run.ExitCode;
  }

  // The modules run as the game installed in that folder would; the log goes where asked.
  SetExecutableFileName(Utf8FromPath(game / "orrindel"));
  LogFileName = options.LogFile;
  LogSaveEnabled = !options.LogFile.empty();
  EpisodeMapOverride = options.MapFile;
  SpatialIndexEnabled = !options.NoIndex;
  EveryRaisedSide = options.NoIndex;  // the plain reference builds the hidden sides too
  RuleCounters = {};
  RecordReplays = false;  // the simulator leaves no replay of its own
  TReplaySource source;
  source.Replay = run.Replay;
  ReplaySource = run.Replay != nullptr ? &source : nullptr;

  auto backend = std::make_unique<THeadlessBackend>(options.ScreenWidth, options.ScreenHeight);
  run.Backend = backend.get();
  std::mutex errMutex;
  // Every box the game shows is a failure here: its text goes to stderr, and OK is what a
  // person would answer (the exception dialog's OK ends the run).
  backend->MessageBoxResponder = [&](const std::string&, const std::string& text, TMsgBoxKind) {
    std::lock_guard<std::mutex> lock(errMutex);
    run.Fail(1, text);
    return TModalResult::Ok;
  };

  // The game's creation steps, with the seed put in place of the start-up one and the
  // sound device kept silent.
  const std::vector<TCreationStep> steps = GameCreationSteps(ReproducibleStart(options.Seed));
  const int programExit = RunProgram(std::move(backend), steps, [&](TApplication& app) { run.Play(app); });

  SetExecutableFileName({});
  ReplaySource = nullptr;
  RecordReplays = true;
  SpatialIndexEnabled = true;
  EveryRaisedSide = false;
  StepObserver = nullptr;
  if (options.Timedemo && run.ExitCode == 0) run.WriteTimedemo();
  if (!run.Verdict.empty()) out << run.Verdict << '\n';
  out.flush();
  if (run.ExitCode != 0) return run.ExitCode;
  return programExit;
}

}  // namespace orr::sim
