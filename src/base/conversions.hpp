// Numbers as the original program's language reads and converts them.
//
// Two families of text conversion exist there and both are needed:
//  - Val(): lenient, never fails. Used for window handles on the command line
//    and for registry texts.
//  - the implicit conversion of a String assigned to an Integer, Long, Single
//    or Boolean variable: strict, fails with "Type mismatch" on text that is
//    not a number and with "Overflow" on a number out of range. The package
//    reader uses these for its fields; a failure leaves the field unchanged.
// Fractional values convert to 16/32-bit integers by rounding half to even.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace vistel {

// The numeric value of the number at the start of text. Blanks, tabs and line
// feeds are ignored wherever they stand (" 1 2" is 12); the number ends at the
// first character that cannot continue it; no number gives 0. Accepts a sign,
// digits, one ".", an exponent (E or D), and &H / &O prefixed hex and octal
// (whose values are 16-bit when they fit in 4 hex / 6 octal digits and 32-bit
// up to 8 hex / 11 octal digits, as the original does: Val("&HFFFF") is -1).
// The only failure is Overflow: a number beyond double range (Val("1E400"))
// or a hex / octal literal beyond 32 bits.
Result<double> Val(std::string_view text);

// String to number the way an assignment to a typed variable converts it:
// surrounding blanks allowed, then an optional sign, digits with an optional
// "." and exponent, or &H / &O literals. Anything else is TypeMismatch; an
// out-of-range result is Overflow. Fractions round half to even.
Result<std::int16_t> TextToInteger(std::string_view text);
Result<std::int32_t> TextToLong(std::string_view text);
Result<float> TextToSingle(std::string_view text);
// "True" / "False" in any letter case, or a number (non-zero is True).
Result<bool> TextToBoolean(std::string_view text);

// The three conversions above without their shortcut for plain decimal text:
// the reading the shortcut must always agree with. For tests.
namespace general_reading {
Result<std::int16_t> TextToInteger(std::string_view text);
Result<std::int32_t> TextToLong(std::string_view text);
Result<float> TextToSingle(std::string_view text);
}  // namespace general_reading

// The integer nearest to value, ties to even (2.5 -> 2, 3.5 -> 4), whatever
// the floating-point rounding mode. NaN and infinities come back unchanged.
double RoundHalfToEven(double value);

// Fractional to integer: nearest integer, ties to even; out of range (or not a
// number) is Overflow.
Result<std::int16_t> RoundToInteger(double value);
Result<std::int32_t> RoundToLong(double value);
// Double to Single: nearest float, ties to even, whatever the rounding mode;
// values beyond float range (and NaN) overflow, tiny ones become 0 or denormal.
Result<float> RoundToSingle(double value);

// Single-precision arithmetic where the original computes in Single: every
// intermediate result is rounded to float.
inline float SingleDiv(float a, float b) {
  return a / b;
}

// The decimal text of an integer, as the original's CStr gives it.
std::string NumberToText(std::int64_t value);

// Format(value, "000...") with `digits` zeros: the value rounded half to even
// to an integer, written with at least `digits` digits; a minus sign goes in
// front of the padding (-1 with 3 digits is "-001"). Fewer than 1 digit counts
// as 1, and a value that rounds to zero has no sign.
std::string FormatZeroPadded(double value, int digits);

}  // namespace vistel
