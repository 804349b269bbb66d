// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/FloatText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

// The oracle is the C++ library's own std::to_chars/std::from_chars where it has them for
// floats (libstdc++ on Linux and Windows); the long sweep over many more values is
// `float_text_sweep` (tests/core/FloatTextSweep.cpp).
#if defined(__cpp_lib_to_chars)

namespace orr {
namespace {

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

template <class T>
std::string OurText(T value) {
  char text[64];
  const auto result = FloatToChars(text, text + sizeof text, value);
  EXPECT_EQ(result.ec, std::errc());
  return std::string(text, result.ptr);
}

template <class T>
std::string LibraryText(T value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Reads text both ways: the same error, the same end, the same bits, and on an error the
// value left alone.
template <class T>
void ExpectReadsLikeTheLibrary(const std::string& text) {
  const T untouched = FromBits<T>(0x1234567);
  T ours = untouched, library = untouched;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto ourResult = FloatFromChars(first, last, ours);
  const auto libraryResult = std::from_chars(first, last, library);
  ASSERT_EQ(static_cast<int>(ourResult.ec), static_cast<int>(libraryResult.ec)) << '"' << text << '"';
  ASSERT_EQ(ourResult.ptr - first, libraryResult.ptr - first) << '"' << text << '"';
  ASSERT_EQ(Bits(ours), Bits(library)) << '"' << text << '"';
}

// Writes value both ways and reads our text back both ways.
template <class T>
void ExpectWritesLikeTheLibrary(T value) {
  const std::string ours = OurText(value);
  ASSERT_EQ(ours, LibraryText(value)) << "bits " << std::hex << Bits(value);
  ExpectReadsLikeTheLibrary<T>(ours);
}

// Values where the text is hard: every power of ten and its neighbours, the powers of two
// and theirs (their rounding interval is lopsided), whole numbers around the switch from
// plain to exponent form and around the last exact integers, the type's limits, and
// subnormals.
template <class T>
std::vector<T> HardValues() {
  using Limits = std::numeric_limits<T>;
  std::vector<T> values = {Limits::min(),
                           Limits::max(),
                           Limits::denorm_min(),
                           Limits::lowest(),
                           Limits::epsilon(),
                           T(0.1),
                           T(0.2),
                           T(0.3),
                           T(1) / 3,
                           T(2) / 3,
                           T(1.1),
                           T(123.456),
                           T(0.001),
                           T(1e-4),
                           T(1e-5),
                           T(9.5),
                           T(0.5),
                           T(1.5)};
  auto withNeighbours = [&](T v) {
    T below = v, above = v;
    for (int i = 0; i < 3; ++i) {
      below = std::nextafter(below, T(0));
      above = std::nextafter(above, Limits::infinity());
      values.insert(values.end(), {below, above});
    }
    values.push_back(v);
  };
  for (int e = Limits::min_exponent10 - 8; e <= Limits::max_exponent10; ++e)
    withNeighbours(static_cast<T>(std::pow(10.0L, e)));
  for (int e = Limits::min_exponent - Limits::digits; e < Limits::max_exponent; ++e)
    withNeighbours(std::ldexp(T(1), e));
  for (int i = 0; i <= 20000; ++i) values.push_back(T(i));
  for (int digits = 1; digits <= Limits::max_digits10 + 2; ++digits)
    for (int e = 10; e <= 26; ++e) {
      // d.ddd x 10^e with a few digits, where the plain form's length passes the exponent form's.
      const long double mantissa =
          std::floor(std::pow(10.0L, digits - 1) * 1.2345678901234567L) / std::pow(10.0L, digits - 1);
      withNeighbours(static_cast<T>(mantissa * std::pow(10.0L, e)));
      withNeighbours(static_cast<T>(mantissa * std::pow(10.0L, -e)));
    }
  withNeighbours(std::ldexp(T(1), Limits::digits));
  for (int i = 0; i < 64; ++i) values.push_back(FromBits<T>(i));  // the smallest subnormals
  return values;
}

TEST(FloatText, WritesHardValuesLikeTheLibrary) {
  for (float value : HardValues<float>()) {
    ExpectWritesLikeTheLibrary(value);
    ExpectWritesLikeTheLibrary(-value);
  }
  for (double value : HardValues<double>()) {
    ExpectWritesLikeTheLibrary(value);
    ExpectWritesLikeTheLibrary(-value);
  }
  for (float special :
       {0.0f, -0.0f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(OurText(special), LibraryText(special));
    EXPECT_EQ(OurText(double(special)), LibraryText(double(special)));
  }
}

TEST(FloatText, WritesRandomBitPatternsLikeTheLibrary) {
  std::mt19937_64 random(2026);
  for (int i = 0; i < 100000; ++i) {
    const auto bits = random();
    const float single = FromBits<float>(bits >> 32);
    const double value = FromBits<double>(bits);
    if (!std::isnan(single)) ExpectWritesLikeTheLibrary(single);
    if (!std::isnan(value)) ExpectWritesLikeTheLibrary(value);
    // Subnormals are rare among random patterns: as many again with the exponent cleared.
    ExpectWritesLikeTheLibrary(FromBits<float>((bits >> 32) & 0x807fffff));
    ExpectWritesLikeTheLibrary(FromBits<double>(bits & 0x800fffffffffffff));
  }
}

TEST(FloatText, WritesIntoAShortBufferNothingPastItsEnd) {
  char text[32];
  for (double value : {1.0 / 3, -1e-300, 123456789012345678.0, 0.001}) {
    const std::size_t length = OurText(value).size();
    for (std::size_t room = 0; room < length; ++room) {
      std::memset(text, '#', sizeof text);
      const auto result = FloatToChars(text, text + room, value);
      EXPECT_EQ(result.ec, std::errc::value_too_large);
      EXPECT_EQ(result.ptr, text + room);
      EXPECT_EQ(text[room], '#');
    }
    EXPECT_EQ(FloatToChars(text, text + length, value).ptr, text + length);
  }
}

TEST(FloatText, ReadsTheEdgesOfTheGrammarLikeTheLibrary) {
  const char* texts[] = {"",
                         "-",
                         "+1",
                         " 1",
                         ".",
                         "-.",
                         ".5",
                         "-.5",
                         "5.",
                         "1.e5",
                         "e5",
                         "-e1",
                         "1e",
                         "1e+",
                         "1e-",
                         "1e+x",
                         "1E5",
                         "1e+05",
                         "1e-0005",
                         "0x1p3",
                         "0X10",
                         "1,5",
                         "1.5.5",
                         "--1",
                         "-0",
                         "0",
                         "000",
                         "0.000",
                         "00012.50",
                         "-0.0e99999999",
                         "0e999999",
                         "inf",
                         "-inf",
                         "INF",
                         "iNfInItY",
                         "infinity",
                         "infinit",
                         "infin",
                         "in",
                         "-in",
                         "nan",
                         "-nan",
                         "NaN",
                         "nan()",
                         "nan(abc_123)",
                         "nan(a b)",
                         "nan(",
                         "nan(-)",
                         "-nan(x)y",
                         "nanq",
                         "1e99999999999999999999",
                         "1e-99999999999999999999",
                         "1e2147483648",
                         "1e-2147483649",
                         "0.0000000000000000000000000000001e40",
                         "100000000000000000000000000000000000000000000000000e-50",
                         "3.4028235e38",
                         "3.4028236e38",
                         "3.40282357e38",
                         "1e-45",
                         "7e-46",
                         "7.1e-46",
                         "1.4e-45",
                         "1e-46",
                         "1.7976931348623157e308",
                         "1.7976931348623159e308",
                         "2.4703282292062327e-324",
                         "2.4703282292062328e-324",
                         "4.9e-324",
                         "1e-400",
                         "1e400",
                         "9"
                         "9999999999999999999",
                         "1.5\n",
                         "1.5 ",
                         "12a",
                         "1e5e5",
                         "1..5",
                         "..5"};
  for (const char* text : texts) {
    ExpectReadsLikeTheLibrary<float>(text);
    ExpectReadsLikeTheLibrary<double>(text);
  }
}

// A number as a text of random shape: sign, whole and fraction digits (sometimes very many,
// sometimes mostly zeros), exponent near and past the limits, and now and then a stray
// character where the grammar ends.
std::string RandomNumberText(std::mt19937_64& random) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::string text;
  if (pick(4) == 0) text += '-';
  const int lengths[] = {0, 1, 2, 3, 5, 8, 9, 10, 16, 17, 18, 19, 20, 25, 40, 120, 800, 900};
  auto digits = [&](int count) {
    const bool sparse = pick(3) == 0;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + (sparse && pick(8) != 0 ? 0 : pick(10)));
  };
  digits(lengths[pick(14 + (pick(8) == 0 ? 4 : 0))]);
  if (pick(2) == 0) {
    text += '.';
    digits(lengths[pick(14 + (pick(8) == 0 ? 4 : 0))]);
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
  return text;
}

TEST(FloatText, ReadsRandomNumberTextsLikeTheLibrary) {
  std::mt19937_64 random(28);
  for (int i = 0; i < 100000; ++i) {
    const std::string text = RandomNumberText(random);
    ExpectReadsLikeTheLibrary<float>(text);
    ExpectReadsLikeTheLibrary<double>(text);
  }
}

// The exact decimal of the point halfway between two neighbouring floats (ties go to the
// even one), and the same text a little below and a little above: the cases a reader that
// rounds a shortened mantissa gets wrong.
template <class T, class Wide>
void ExpectHalfwayCasesReadLikeTheLibrary(std::mt19937_64& random, int count) {
  for (int i = 0; i < count; ++i) {
    std::uint64_t bits = random() >> (64 - sizeof(T) * 8 + 1);              // positive
    if (i % 4 == 0) bits &= sizeof(T) == 4 ? 0x7fffffu : 0xfffffffffffffu;  // subnormal
    const T low = FromBits<T>(bits);
    const T high = std::nextafter(low, std::numeric_limits<T>::infinity());
    if (std::isinf(high) || std::isnan(low)) continue;
    const Wide halfway = (static_cast<Wide>(low) + static_cast<Wide>(high)) / 2;
    char exact[1200];
    std::snprintf(exact, sizeof exact, "%.800Le", static_cast<long double>(halfway));
    std::string text = exact;
    const auto e = text.find('e');
    std::string mantissa = text.substr(0, e), exponent = text.substr(e);
    while (mantissa.back() == '0') mantissa.pop_back();
    ExpectReadsLikeTheLibrary<T>(mantissa + exponent);
    ExpectReadsLikeTheLibrary<T>(mantissa + "000000000000000000001" + exponent);
    std::string below = mantissa;
    for (std::size_t at = below.size() - 1; at > 0; --at) {
      if (below[at] == '.') continue;
      if (below[at] != '0') {
        --below[at];
        break;
      }
      below[at] = '9';
    }
    ExpectReadsLikeTheLibrary<T>(below + "9999999999999999" + exponent);
  }
}

TEST(FloatText, ReadsHalfwayCasesLikeTheLibrary) {
  std::mt19937_64 random(4);
  ExpectHalfwayCasesReadLikeTheLibrary<float, double>(random, 20000);
#if LDBL_MANT_DIG >= 64
  // The point halfway between two doubles needs 54 bits: x87's long double holds it.
  ExpectHalfwayCasesReadLikeTheLibrary<double, long double>(random, 20000);
#endif
}

TEST(FloatText, IgnoresTheLocale) {
  // A locale that writes the decimal point as a comma, where the system has one.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "C.UTF-8"})
    if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
      switched = true;
      break;
    }
  const std::string written = OurText(1234.5678), writtenSmall = OurText(1.5e-10f);
  double read = 0;
  const std::string text = "1234.5678e-2";
  const auto result = FloatFromChars(text.data(), text.data() + text.size(), read);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(written, "1234.5678");
  EXPECT_EQ(writtenSmall, "1.5e-10");
  EXPECT_EQ(result.ptr, text.data() + text.size());
  EXPECT_EQ(read, 12.345678);
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed; read and wrote under \"C\" only";
}

}  // namespace
}  // namespace orr

#endif  // __cpp_lib_to_chars
