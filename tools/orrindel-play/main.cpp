// SPDX-License-Identifier: GPL-3.0-or-later
// orrindel-play: plays an audio file through the game's mixer on the default output
// device, to hear that the audio path works.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/mwDSMixer.h"
#include "platform/Application.h"
#include "platform/Backend.h"
#include "platform/Paths.h"

namespace {

volatile std::sig_atomic_t Interrupted = 0;
void OnSignal(int) { Interrupted = 1; }

const char* Usage =
    "usage: orrindel-play FILE [--loop] [--fade-ms N] [--volume DB100]\n"
    "\n"
    "Plays FILE (WAV, FLAC, Ogg/Vorbis, ...) through the game's software mixer on the\n"
    "default output device, or on the silent null device when none opens.\n"
    "\n"
    "  --loop          play the file again and again until interrupted (Ctrl-C)\n"
    "  --fade-ms N     fade in from silence over N milliseconds\n"
    "  --volume DB100  volume in hundredths of a decibel, -10000 (silent) to 0 (full, default)\n"
    "  --help          show this text\n";

bool ParseInt(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

struct TOptions {
  std::string File;
  bool Loop = false;
  long FadeMs = -1;
  long Volume = 0;
};

// 0: go on; otherwise the exit code.
int ParseOptions(int argc, char** argv, TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto needValue = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "orrindel-play: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      return -1;
    } else if (arg == "--loop") {
      options.Loop = true;
    } else if (arg == "--fade-ms") {
      const char* v = needValue("--fade-ms");
      if (v == nullptr || !ParseInt(v, 0, 3600000, options.FadeMs)) {
        if (v != nullptr) std::fprintf(stderr, "orrindel-play: --fade-ms takes 0 to 3600000\n");
        return 2;
      }
    } else if (arg == "--volume") {
      const char* v = needValue("--volume");
      if (v == nullptr || !ParseInt(v, -10000, 0, options.Volume)) {
        if (v != nullptr) std::fprintf(stderr, "orrindel-play: --volume takes -10000 to 0\n");
        return 2;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "orrindel-play: unknown option %s\n%s", arg.c_str(), Usage);
      return 2;
    } else if (options.File.empty()) {
      options.File = arg;
    } else {
      std::fprintf(stderr, "orrindel-play: one file only\n");
      return 2;
    }
  }
  if (options.File.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  orr::UseUtf8Arguments(argc, argv);
  orr::UseBinaryStandardStreams();
  using namespace orr;
  TOptions options;
  if (int code = ParseOptions(argc, argv, options); code != 0) return code < 0 ? 0 : code;

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  // A headless application carries the end-of-play message to this thread.
  TApplication app(std::make_unique<THeadlessBackend>());
  TmwDSMixer* mixer = TComponent::Create<TmwDSMixer>(&app);
  int exitCode = 0;
  try {
    auto* channel = new TmwDSMixerChannel(mixer);  // freed with the mixer
    channel->OpenFile(options.File);
    channel->SetLooping(options.Loop);
    channel->SetVolume(static_cast<int32_t>(options.Volume));
    if (options.FadeMs >= 0)
      channel->StartFade(VolumeMin, static_cast<int32_t>(options.Volume),
                         static_cast<uint32_t>(options.FadeMs));
    bool ended = false;
    channel->OnPlayEnd = [&](TmwDSMixerChannel*) { ended = true; };
    channel->Play();
    std::printf("Playing %s on %s\n", options.File.c_str(), mixer->GetDevice()->Description().c_str());
    std::fflush(stdout);
    while (!ended && !Interrupted && channel->PlayingState() == 1) {
      app.CheckSynchronize();
      app.WaitForSynchronize(50);
    }
    app.CheckSynchronize();
    if (Interrupted) channel->Stop();
    if (!channel->LastError().empty()) {
      std::fprintf(stderr, "orrindel-play: playback failed: %s\n", channel->LastError().c_str());
      exitCode = 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orrindel-play: %s\n", e.what());
    exitCode = 1;
  }
  app.Shutdown();
  return exitCode;
}
