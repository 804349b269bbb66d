// SPDX-License-Identifier: GPL-3.0-or-later
// float_text_sweep: FloatText over far more values than the unit test has time for.
//
//   float_text_sweep compare [MILLIONS]   ours against the C++ library's std::to_chars and
//                                         std::from_chars: floats at every stride-th bit
//                                         pattern, random doubles, random number texts
//                                         (MILLIONS of each, default 100); prints the counts
//                                         and every difference, exits 1 on any.
//   float_text_sweep print [THOUSANDS] [--library]
//                                         one line per value and per text (THOUSANDS of each,
//                                         default 200): what we write and read. With --library
//                                         the C++ library's conversions instead: the table a
//                                         build without them (the web build) is held to, by
//                                         diffing its `print` output against it.
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/FloatText.h"

namespace {

std::uint64_t Next(std::uint64_t& state) {  // splitmix64: the same numbers on every build
  std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

template <class T>
std::uint64_t Bits(T value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  return bits;
}

template <class T>
T FromBits(std::uint64_t bits) {
  T value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A number text of random shape, as the unit test makes them (long mantissas, exponents at
// the limits, stray characters where the grammar ends).
std::string RandomNumberText(std::uint64_t& state) {
  auto pick = [&](int n) { return static_cast<int>(Next(state) % static_cast<unsigned>(n)); };
  std::string text;
  if (pick(4) == 0) text += '-';
  const int lengths[] = {0, 1, 2, 3, 5, 8, 9, 10, 16, 17, 18, 19, 20, 25, 40, 120, 800, 900};
  auto digits = [&](int count) {
    const bool sparse = pick(3) == 0;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + (sparse && pick(8) != 0 ? 0 : pick(10)));
  };
  digits(lengths[pick(14 + (pick(16) == 0 ? 4 : 0))]);
  if (pick(2) == 0) {
    text += '.';
    digits(lengths[pick(14 + (pick(16) == 0 ? 4 : 0))]);
  }
  if (pick(3) != 0) {
    text += pick(2) == 0 ? 'e' : 'E';
    if (pick(2) == 0) text += pick(2) == 0 ? '-' : '+';
    const int exponents[] = {0,   1,   5,   9,   30,  38,  39,  44,  45,   46,
                             300, 307, 308, 309, 323, 324, 325, 340, 99999};
    const int exponent = pick(4) == 0 ? pick(400) : exponents[pick(19)];
    if (pick(40) != 0) text += std::to_string(exponent);
  }
  if (pick(10) == 0) text += "e.x+-0 "[pick(7)];
  if (pick(50) == 0) {  // one pick per statement: the same texts whatever order a compiler evaluates in
    text.clear();
    if (pick(2) == 0) text += '-';
    text += pick(2) == 0 ? "nan" : "inf";
    text += "inity(x)"[pick(8)];
  }
  return text;
}

template <class T>
std::string OurText(T value) {
  char text[64];
  return std::string(text, orr::FloatToChars(text, text + sizeof text, value).ptr);
}

// "error offset bits" of reading text; the error by name, as errno's numbers differ between
// C libraries.
std::string Reading(const std::from_chars_result& result, const std::string& text, std::uint64_t bits) {
  const char* error = result.ec == std::errc()                      ? "ok"
                      : result.ec == std::errc::invalid_argument    ? "invalid"
                      : result.ec == std::errc::result_out_of_range ? "range"
                                                                    : "other";
  char line[64];
  std::snprintf(line, sizeof line, "%s %d %" PRIx64, error, static_cast<int>(result.ptr - text.data()), bits);
  return line;
}

// Reading text.
template <class T>
std::string OurReading(const std::string& text) {
  T value = FromBits<T>(0x1234567);
  const auto result = orr::FloatFromChars(text.data(), text.data() + text.size(), value);
  return Reading(result, text, Bits(value));
}

#if defined(__cpp_lib_to_chars)
template <class T>
std::string LibraryText(T value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

template <class T>
std::string LibraryReading(const std::string& text) {
  T value = FromBits<T>(0x1234567);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return Reading(result, text, Bits(value));
}

struct TTally {
  const char* What;
  std::uint64_t Checked = 0, Differ = 0;
  void Check(const std::string& ours, const std::string& library, const std::string& input) {
    ++Checked;
    if (ours == library) return;
    if (++Differ <= 20)
      std::printf("DIFFERS %s %s: ours \"%s\", library \"%s\"\n", What, input.c_str(), ours.c_str(),
                  library.c_str());
  }
};

template <class T>
void CheckValue(TTally& written, TTally& readBack, T value) {
  const std::string ours = OurText(value);
  char bits[24];
  std::snprintf(bits, sizeof bits, "%" PRIx64, Bits(value));
  written.Check(ours, LibraryText(value), bits);
  readBack.Check(OurReading<T>(ours), LibraryReading<T>(ours), ours);
}

int Compare(std::uint64_t millions) {
  const std::uint64_t count = millions * 1000000;
  TTally floats{"float"}, floatsBack{"float read back"}, doubles{"double"}, doublesBack{"double read back"},
      textsAsFloat{"text as float"}, textsAsDouble{"text as double"};
  // Every stride-th of the 2^32 float bit patterns: an odd stride walks through every
  // exponent and every low-bit pattern evenly.
  const std::uint64_t stride = count >= (1ull << 32) ? 1 : ((1ull << 32) / count) | 1;
  for (std::uint64_t bits = 0; bits < (1ull << 32); bits += stride) {
    const float value = FromBits<float>(bits);
    if (!std::isnan(value)) CheckValue(floats, floatsBack, value);
  }
  std::uint64_t state = 1;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t bits = Next(state);
    if (i % 8 == 0) bits &= 0x800fffffffffffffu;  // subnormals, rare among random patterns
    const double value = FromBits<double>(bits);
    if (!std::isnan(value)) CheckValue(doubles, doublesBack, value);
  }
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::string text = RandomNumberText(state);
    textsAsFloat.Check(OurReading<float>(text), LibraryReading<float>(text), text);
    textsAsDouble.Check(OurReading<double>(text), LibraryReading<double>(text), text);
  }
  std::uint64_t differ = 0;
  for (const TTally* tally : {&floats, &floatsBack, &doubles, &doublesBack, &textsAsFloat, &textsAsDouble}) {
    std::printf("%-16s %12" PRIu64 " checked, %" PRIu64 " differ\n", tally->What, tally->Checked,
                tally->Differ);
    differ += tally->Differ;
  }
  return differ == 0 ? 0 : 1;
}
#else
// Never called: print --library stops first where the library lacks the conversions.
template <class T>
std::string LibraryText(T value) {
  return OurText(value);
}
template <class T>
std::string LibraryReading(const std::string& text) {
  return OurReading<T>(text);
}
#endif

int Print(std::uint64_t thousands, bool library) {
#if !defined(__cpp_lib_to_chars)
  if (library) {
    std::fprintf(stderr, "float_text_sweep: this C++ library has no floating-point to_chars\n");
    return 2;
  }
#endif
  const std::uint64_t count = thousands * 1000;
  std::uint64_t state = 2;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t bits = Next(state);
    if (i % 8 == 0) bits &= 0x800fffffffffffffu;
    const double value = FromBits<double>(bits);
    const float single = FromBits<float>(i % 8 == 1 ? (bits >> 32) & 0x807fffffu : bits >> 32);
    const std::string doubleText = library ? LibraryText(value) : OurText(value);
    const std::string floatText = library ? LibraryText(single) : OurText(single);
    std::printf("d %016" PRIx64 " %s\nf %08" PRIx64 " %s\n", Bits(value), doubleText.c_str(), Bits(single),
                floatText.c_str());
  }
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::string text = RandomNumberText(state);
    const std::string asFloat = library ? LibraryReading<float>(text) : OurReading<float>(text);
    const std::string asDouble = library ? LibraryReading<double>(text) : OurReading<double>(text);
    std::printf("t %s | %s | %s\n", text.c_str(), asFloat.c_str(), asDouble.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool library = argc > 3 && std::strcmp(argv[3], "--library") == 0;
  if (mode == "print") return Print(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200, library);
#if defined(__cpp_lib_to_chars)
  if (mode == "compare") return Compare(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100);
#endif
  std::fprintf(stderr, "usage: float_text_sweep compare [MILLIONS] | print [THOUSANDS] [--library]\n");
  return 2;
}
