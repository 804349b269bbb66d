// SPDX-License-Identifier: GPL-3.0-or-later
// The text forms of 32- and 64-bit floats, computed by our own code so that every build we
// ship writes and reads the same characters: map files, the simulator's state lines and
// the map tool's JSON must not change with the C++ library (some have no floating-point
// std::to_chars/std::from_chars at all) nor with the process's locale.
//
// The contracts are those of std::to_chars(first, last, value) and
// std::from_chars(first, last, value) with chars_format::general, character for character:
//
//   FloatToChars  the shortest text that reads back to the same value; of several with the
//                 fewest digits, the closest to the value (ties to the even digit). Plain
//                 notation ("0.001", "123.5", "12345677824": a whole number prints its exact
//                 value) when it is no longer than the exponent form ("1e-04",
//                 "1.2345678e+20", at least two exponent digits). "-0", "inf", "-inf",
//                 "nan", "-nan". No terminating zero is written. A buffer too short gives
//                 {last, std::errc::value_too_large}.
//   FloatFromChars  an optional '-', then digits with an optional '.' part (at least one
//                 digit) and an optional exponent (e or E, optional sign, digits; an 'e'
//                 without digits is not part of the number), or "inf"/"infinity" or "nan"
//                 with an optional "(letters, digits, _)", case-insensitive. No leading
//                 blanks, no '+', no hexadecimal ("0x1" reads "0"). Rounded to nearest, ties
//                 to even, however many digits. ptr is just past the number. Errors leave
//                 value untouched: nothing matched gives {first, invalid_argument}; a finite
//                 number beyond the type's range, or a nonzero one that rounds to zero,
//                 gives {end of the number, result_out_of_range}. A NaN read is the quiet NaN
//                 of the type with the sign written.
#pragma once

#include <charconv>

namespace orr {

std::to_chars_result FloatToChars(char* first, char* last, float value);
std::to_chars_result FloatToChars(char* first, char* last, double value);

std::from_chars_result FloatFromChars(const char* first, const char* last, float& value);
std::from_chars_result FloatFromChars(const char* first, const char* last, double& value);

}  // namespace orr
