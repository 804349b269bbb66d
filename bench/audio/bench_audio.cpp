// SPDX-License-Identifier: GPL-3.0-or-later
// What the mixer costs: CPU time per second of audio with all eleven channels playing
// (the refills of the update threads plus the software mix of the device callback),
// against a baseline doing the least the same job needs (a raw read of the same file
// into a buffer and a plain saturating sum of the eleven streams), and memory per channel.
//
//   build/bin/bench_audio
//
// "core_pct" is the CPU time per second of audio in percent of one core.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/NullSoundDevice.h"
#include "audio/SoftwareMix.h"
#include "audio/mwDSMixer.h"

namespace orr {
namespace {

constexpr int Channels = 11;
constexpr int Rate = 44100;
constexpr int AudioSecondsPerIteration = 2;  // five 400-ms refill periods

// A 10 s 44.1 kHz 16-bit stereo WAV in a scratch folder, removed at exit.
const std::string& TestFile() {
  static std::string path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "orr-bench-audio-XXXXXX").string();
    folder = mkdtemp(folder.data());
    std::string file = folder + "/music.wav";
    SF_INFO info{};
    info.samplerate = Rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    std::vector<short> samples(static_cast<size_t>(Rate) * 2 * 10);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>((i * 7919) % 50000 - 25000);
    sf_writef_short(out, samples.data(), Rate * 10);
    sf_close(out);
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(TestFile()).parent_path()); });
    return file;
  }();
  return path;
}

struct TManualClock {
  std::atomic<uint64_t> Now{1000};
};

// Eleven looping channels on the null device; the test drives time and ticks.
struct TPlayingMixer {
  TManualClock Clock;
  std::shared_ptr<TNullSoundDriver> Driver;
  std::unique_ptr<TmwDSMixer> Mixer;
  std::vector<TmwDSMixerChannel*> ChannelList;

  explicit TPlayingMixer(int channels, bool play = true) {
    auto clock = [this] { return Clock.Now.load(); };
    Driver = std::make_shared<TNullSoundDriver>(clock);
    Mixer = std::make_unique<TmwDSMixer>(nullptr);
    Mixer->Driver = Driver;
    Mixer->Clock = clock;
    for (int i = 0; i < channels; ++i) {
      auto* channel = new TmwDSMixerChannel(Mixer.get());
      ChannelList.push_back(channel);
      if (!play) continue;
      channel->OpenFile(TestFile());
      channel->SetLooping(true);
      channel->Play();
      channel->UpdateThread()->Deactivate();  // ticks run here, on the benchmark's clock
    }
  }
};

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// CPU time of this thread per second of audio, in percent of one core.
void SetCorePercent(benchmark::State& state, double cpuSeconds) {
  double audioSeconds = static_cast<double>(state.iterations()) * AudioSecondsPerIteration;
  state.counters["core_pct"] = audioSeconds > 0 ? 100.0 * cpuSeconds / audioSeconds : 0.0;
}

void BM_MixerElevenChannels(benchmark::State& state) {
  TPlayingMixer playing(Channels);
  // The device callback's share: the same eleven 4-s buffers mixed into 16-bit stereo.
  std::vector<std::vector<uint8_t>> contents;
  std::vector<TMixSource> sources(Channels);
  std::vector<TMixSource*> list;
  for (int i = 0; i < Channels; ++i) {
    contents.push_back(playing.ChannelList[i]->Staging());
    TMixSource& s = sources[i];
    s.Data = contents.back().data();
    s.Bytes = static_cast<uint32_t>(contents.back().size());
    s.Format.SamplesPerSec = Rate;
    s.Playing = true;
    s.Looping = true;
    VolumePanToGains(-300, (i - 5) * 1000, &s.GainLeft, &s.GainRight);
    list.push_back(&s);
  }
  TSoftwareMix mix;
  TWaveFormat output;
  mix.SetOutput(output, 1024);
  std::vector<uint8_t> out(1024 * 4);
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    for (int period = 0; period < AudioSecondsPerIteration * 1000 / 400; ++period) {
      playing.Clock.Now += 400;
      for (auto* channel : playing.ChannelList) channel->UpdateTick();
    }
    for (int block = 0; block < AudioSecondsPerIteration * Rate / 1024; ++block) {
      mix.Mix(list.data(), list.size(), out.data(), 1024);
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetCorePercent(state, ThreadCpuSeconds() - cpuStart);
  if (playing.ChannelList[0]->PlayingState() != 1) state.SkipWithError("a channel stopped");
}
BENCHMARK(BM_MixerElevenChannels)->Unit(benchmark::kMillisecond);

void BM_BaselineRawReadAndSum(benchmark::State& state) {
  SF_INFO info{};
  std::vector<SNDFILE*> files;
  for (int i = 0; i < Channels; ++i) files.push_back(sf_open(TestFile().c_str(), SFM_READ, &info));
  const size_t frames = static_cast<size_t>(Rate) * AudioSecondsPerIteration;
  std::vector<std::vector<short>> data(Channels, std::vector<short>(frames * 2));
  std::vector<short> out(frames * 2);
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    for (int i = 0; i < Channels; ++i) {
      size_t got =
          static_cast<size_t>(sf_readf_short(files[i], data[i].data(), static_cast<sf_count_t>(frames)));
      if (got < frames) {
        sf_seek(files[i], 0, SEEK_SET);
        sf_readf_short(files[i], data[i].data() + got * 2, static_cast<sf_count_t>(frames - got));
      }
    }
    for (size_t k = 0; k < frames * 2; ++k) {
      int sum = 0;
      for (int i = 0; i < Channels; ++i) sum += data[i][k];
      out[k] = static_cast<short>(std::clamp(sum, -32768, 32767));
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetCorePercent(state, ThreadCpuSeconds() - cpuStart);
  for (auto* f : files) sf_close(f);
}
BENCHMARK(BM_BaselineRawReadAndSum)->Unit(benchmark::kMillisecond);

// Heap in use (small blocks plus separately mapped large ones): the same before and after
// whatever allocations come and go between, unlike the resident size.
size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Heap a channel takes: idle (object, update thread record, position times) and playing
// (plus its 4-s staging mirror, its device buffer and the open reader). Each update thread
// also reserves a stack (8 MiB of address space, of which it touches a few KiB).
void BM_MemoryPerChannel(benchmark::State& state) {
  const bool play = state.range(0) != 0;
  double perChannel = 0;
  TestFile();
  for (auto _ : state) {
    size_t before = HeapInUse();
    TPlayingMixer playing(Channels, play);
    perChannel = (static_cast<double>(HeapInUse()) - static_cast<double>(before)) / Channels;
  }
  state.counters["heap_bytes_per_channel"] = perChannel;
}
BENCHMARK(BM_MemoryPerChannel)->Arg(0)->Arg(1)->ArgNames({"playing"})->Iterations(1);

}  // namespace
}  // namespace orr

BENCHMARK_MAIN();
