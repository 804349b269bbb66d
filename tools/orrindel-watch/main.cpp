// SPDX-License-Identifier: GPL-3.0-or-later
// orrindel-watch: shows a replay in the game's own window, at the game's own speed. It is
// the game program (the same creation steps, window, clock and rules) with two things put
// in: each step's keys come from the replay instead of the keyboard, and the window is laid
// out for the screen the replay was recorded on. Escape still ends it. When the replay's
// steps are played, the game halts and ends, and the state is checked against the
// recording's digests; the verdict is the last line on standard output.
//
// The game itself reads no command line: this separate program is the way in, and `orx play
// --replay` starts it from a folder it lays out like the game's, with the replay's map as
// the episode. An ordinary start of the game never runs any of this.
#include <cstdio>
#include <memory>
#include <string>

#include "app/UProgram.h"
#include "core/GameSteps.h"
#include "core/Random.h"
#include "core/Replay.h"
#include "core/UMainModule.h"
#include "platform/Application.h"
#include "platform/Backend.h"
#include "platform/Paths.h"
#include "session/StateDigest.h"
#include "session/UGameModule.h"

namespace orr {
namespace {

// The SDL backend, reporting the recorded screen so that the view is laid out as it was.
class TRecordedScreen : public TPlatformBackend {
 public:
  TRecordedScreen(std::unique_ptr<TPlatformBackend> inner, int width, int height)
      : inner_(std::move(inner)), width_(width), height_(height) {}
  bool Initialize(std::string& error) override {
    const bool ok = inner_->Initialize(error);
    inner_->OnDisplayLost = OnDisplayLost;
    return ok;
  }
  bool PollEvent(TPlatformEvent& event) override { return inner_->PollEvent(event); }
  void WaitEvent(int timeoutMs) override { inner_->WaitEvent(timeoutMs); }
  void Wake() override { inner_->Wake(); }
  void PostQuit() override { inner_->PostQuit(); }
  int ScreenWidth() override { return width_; }
  int ScreenHeight() override { return height_; }
  std::vector<std::string> FontFamilies() override { return inner_->FontFamilies(); }
  TModalResult ShowMessageBox(const std::string& caption, const std::string& text,
                              TMsgBoxKind kind) override {
    return inner_->ShowMessageBox(caption, text, kind);
  }
  bool TerminationRequested() override { return inner_->TerminationRequested(); }
  void CloseMessageBoxes() override { inner_->CloseMessageBoxes(); }
  TKeyStates KeyStates() override { return inner_->KeyStates(); }
  bool CreateMainWindow(std::string& error) override { return inner_->CreateMainWindow(error); }
  void SetWindowBounds(int left, int top, int width, int height) override {
    inner_->SetWindowBounds(left, top, width, height);
  }
  void ShowMainWindow() override { inner_->ShowMainWindow(); }
  bool PaintFrame(const std::function<void(TPaintContext&)>& paint) override {
    return inner_->PaintFrame(paint);
  }
  void PresentFrame() override { inner_->PresentFrame(); }

 private:
  std::unique_ptr<TPlatformBackend> inner_;
  int width_, height_;
};

// Runs at the end of every step (where the recorder took its digests): compares the digests the recording
// took after this step, and halts the game once the replay's steps are played.
struct TWatch {
  const TReplay* Replay = nullptr;
  TReplaySource* Source = nullptr;
  std::size_t NextDigest = 0;
  std::string Differs;  // the first difference: "steps A-B: fields"
  bool Done = false;

  void Step() {
    // Steps the frame runs after the last one (before the halt takes effect) play no keys
    // and are not checked.
    if (Done) return;
    const std::uint64_t step = Source->Played;
    while (NextDigest < Replay->Digests.size() && Replay->Digests[NextDigest].Step < step) ++NextDigest;
    const bool last = step >= Replay->StepCount;
    if (NextDigest < Replay->Digests.size() && Replay->Digests[NextDigest].Step == step)
      Compare(step, Replay->Digests[NextDigest].Digest);
    if (last && Replay->HasEndDigest) Compare(step, Replay->EndDigest);
    if (last) {
      Done = true;
      GameHalted = true;  // the picture stays as the recording ended
      if (Application != nullptr) Application->Terminate();
    }
  }
  void Compare(std::uint64_t step, const TStateDigest& recorded) {
    if (!Differs.empty()) return;
    const TStateDigest now = GameStateDigest();
    std::string fields;
    for (std::size_t i = 0; i < ReplayDigestFields; ++i)
      if (now[i] != recorded[i])
        fields += (fields.empty() ? "" : ", ") + std::string(ReplayDigestFieldNames[i]);
    if (fields.empty()) return;
    const std::uint64_t from = step == 0 ? 0 : (step - 1) / ReplayDigestSteps * ReplayDigestSteps + 1;
    Differs = "steps " + std::to_string(from) + "-" + std::to_string(step) + ": " + fields;
  }
};
TWatch Watch;

}  // namespace
}  // namespace orr

int main(int argc, char** argv) {
  using namespace orr;
  UseUtf8Arguments(argc, argv);
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: orrindel-watch FILE.replay\n"
                 "Shows the replay in the game's window; run it from a game folder whose episode is the\n"
                 "replay's map (orx play --replay lays one out). Escape ends it.\n");
    return argc == 2 ? 0 : 2;
  }
  TReplay replay;
  std::string error;
  if (!ReadReplayFile(argv[1], replay, error)) {
    std::fprintf(stderr, "orrindel-watch: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  if (replay.Header.GameVersion != GameVersion) {
    std::fprintf(stderr, "orrindel-watch: %s: recorded by game version %s; this is version %s\n", argv[1],
                 replay.Header.GameVersion.c_str(), GameVersion);
    return 2;
  }
  const std::string episode = EpisodeMapPath(FolderWithSeparator(ExecutableFileName()));
  std::uint64_t digest = 0, bytes = 0;
  if (!FileDigest(episode, digest, bytes) || digest != replay.Header.MapDigest ||
      bytes != replay.Header.MapBytes) {
    std::fprintf(stderr, "orrindel-watch: %s: recorded on map %s, not on %s\n", argv[1],
                 replay.Header.MapName.c_str(), episode.c_str());
    return 2;
  }

  RecordReplays = false;  // the replay watched is the game's last run, not this one
  TReplaySource source;
  source.Replay = &replay;
  ReplaySource = &source;
  Watch.Replay = &replay;
  Watch.Source = &source;
  source.AfterStep = [](TReplaySource&) { Watch.Step(); };
  const std::uint32_t seed = replay.Header.Seed;
  TCreationExtras extras = {
      {TCreated::MainModule, [seed](TApplication&) { RandSeed = seed; }},
  };
  auto backend = std::make_unique<TRecordedScreen>(CreateSdlBackend(), replay.Header.ScreenWidth,
                                                   replay.Header.ScreenHeight);
  const int code = RunProgram(std::move(backend), GameCreationSteps(extras));
  ReplaySource = nullptr;
  if (code != 0) return code;
  if (!Watch.Differs.empty()) {
    std::printf("replay differs in %s\n", Watch.Differs.c_str());
    return 1;
  }
  if (!Watch.Done) {
    std::printf("replay stopped after %llu of %llu steps\n", static_cast<unsigned long long>(source.Played),
                static_cast<unsigned long long>(replay.StepCount));
    return 0;
  }
  std::printf("replay matches: %llu steps\n", static_cast<unsigned long long>(replay.StepCount));
  return 0;
}
