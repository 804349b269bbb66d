// SPDX-License-Identifier: GPL-3.0-or-later
// What our float texts cost against the C++ library's own conversions (the baseline) on the
// same values: 4096 random finite bit patterns, written, and their shortest texts, read.
// Reported per conversion.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/FloatText.h"

namespace {

template <class T>
const std::vector<T>& Values() {
  static const std::vector<T> values = [] {
    std::vector<T> out;
    std::mt19937_64 random(9);
    while (out.size() < 4096) {
      const std::uint64_t bits = random();
      T value;
      std::memcpy(&value, &bits, sizeof value);
      if (std::isfinite(value)) out.push_back(value);
    }
    return out;
  }();
  return values;
}

template <class T>
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> out;
    for (T value : Values<T>()) {
      char text[64];
      out.emplace_back(text, std::to_chars(text, text + sizeof text, value).ptr);
    }
    return out;
  }();
  return texts;
}

template <class T, bool Ours>
void BM_Write(benchmark::State& state) {
  char text[64];
  for (auto _ : state)
    for (T value : Values<T>()) {
      const auto result = Ours ? orr::FloatToChars(text, text + sizeof text, value)
                               : std::to_chars(text, text + sizeof text, value);
      benchmark::DoNotOptimize(result.ptr);
    }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Values<T>().size()));
}

template <class T, bool Ours>
void BM_Read(benchmark::State& state) {
  for (auto _ : state)
    for (const std::string& text : Texts<T>()) {
      T value{};
      const auto result = Ours ? orr::FloatFromChars(text.data(), text.data() + text.size(), value)
                               : std::from_chars(text.data(), text.data() + text.size(), value);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(result.ptr);
    }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Texts<T>().size()));
}

BENCHMARK(BM_Write<float, false>)->Name("WriteFloat/library");
BENCHMARK(BM_Write<float, true>)->Name("WriteFloat/ours");
BENCHMARK(BM_Write<double, false>)->Name("WriteDouble/library");
BENCHMARK(BM_Write<double, true>)->Name("WriteDouble/ours");
BENCHMARK(BM_Read<float, false>)->Name("ReadFloat/library");
BENCHMARK(BM_Read<float, true>)->Name("ReadFloat/ours");
BENCHMARK(BM_Read<double, false>)->Name("ReadDouble/library");
BENCHMARK(BM_Read<double, true>)->Name("ReadDouble/ours");

}  // namespace

BENCHMARK_MAIN();
