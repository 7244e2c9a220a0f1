#include "base/conversions.hpp"

#include <bit>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace vistel {
namespace {

// The parts of one number as written. Both readers (lenient Val, strict
// assignment) find numbers the same way and differ only in what they accept
// around them.
struct NumberText {
  enum class Kind { kNone, kDecimal, kRadix };
  Kind kind = Kind::kNone;
  bool negative = false;
  std::string_view integerDigits;
  std::string_view fractionDigits;
  bool exponentNegative = false;
  std::string_view exponentDigits;  // empty: no exponent
  int radix = 10;
  std::string_view radixDigits;
  std::size_t end = 0;  // one past the last character of the number
};

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

std::size_t SkipDigits(std::string_view text, std::size_t pos, int radix) {
  while (pos < text.size() && DigitValue(text[pos]) < radix) ++pos;
  return pos;
}

// The longest number at the start of text; kind kNone when there is none.
NumberText ScanNumber(std::string_view text) {
  NumberText number;
  std::size_t pos = 0;
  if (!text.empty() && text[0] == '&') {
    if (text.size() < 2) return number;
    const char prefix = text[1];
    if (prefix == 'h' || prefix == 'H') {
      number.radix = 16;
    } else if (prefix == 'o' || prefix == 'O') {
      number.radix = 8;
    } else {
      return number;
    }
    const std::size_t digitsEnd = SkipDigits(text, 2, number.radix);
    if (digitsEnd == 2) return number;
    number.kind = NumberText::Kind::kRadix;
    number.radixDigits = text.substr(2, digitsEnd - 2);
    number.end = digitsEnd;
    return number;
  }

  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    number.negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t integerStart = pos;
  pos = SkipDigits(text, pos, 10);
  number.integerDigits = text.substr(integerStart, pos - integerStart);
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fractionStart = pos + 1;
    pos = SkipDigits(text, fractionStart, 10);
    number.fractionDigits = text.substr(fractionStart, pos - fractionStart);
  }
  if (number.integerDigits.empty() && number.fractionDigits.empty()) return number;
  number.kind = NumberText::Kind::kDecimal;
  number.end = pos;

  // An exponent counts only when complete: "1E" and "1E+" end before the E.
  if (pos < text.size() &&
      (text[pos] == 'e' || text[pos] == 'E' || text[pos] == 'd' || text[pos] == 'D')) {
    std::size_t exponentPos = pos + 1;
    bool exponentNegative = false;
    if (exponentPos < text.size() && (text[exponentPos] == '+' || text[exponentPos] == '-')) {
      exponentNegative = text[exponentPos] == '-';
      ++exponentPos;
    }
    const std::size_t exponentEnd = SkipDigits(text, exponentPos, 10);
    if (exponentEnd > exponentPos) {
      number.exponentNegative = exponentNegative;
      number.exponentDigits = text.substr(exponentPos, exponentEnd - exponentPos);
      number.end = exponentEnd;
    }
  }
  return number;
}

// &H / &O literals: 16-bit when written with at most 4 hex / 6 octal digits
// and the bits fit, else 32-bit; the bits are read as a signed number.
Result<double> RadixValue(const NumberText& number) {
  constexpr std::uint64_t kMax32 = 0xFFFF'FFFFU;
  std::uint64_t bits = 0;
  for (const char c : number.radixDigits) {
    bits =
        bits * static_cast<std::uint64_t>(number.radix) + static_cast<std::uint64_t>(DigitValue(c));
    if (bits > kMax32) return Fail(ErrorCode::Overflow);
  }
  const std::size_t shortDigits = number.radix == 16 ? 4 : 6;
  if (number.radixDigits.size() <= shortDigits && bits <= 0xFFFFU) {
    return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(bits)));
  }
  return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
}

// Whether the first significant digit stands at 10^0 or above. For a value
// out of a type's range this tells an overflow from an underflow.
bool MagnitudeIsLarge(const NumberText& number) {
  long long leading = 0;
  bool found = false;
  for (std::size_t i = 0; i < number.integerDigits.size() && !found; ++i) {
    if (number.integerDigits[i] != '0') {
      leading = static_cast<long long>(number.integerDigits.size() - i) - 1;
      found = true;
    }
  }
  for (std::size_t i = 0; i < number.fractionDigits.size() && !found; ++i) {
    if (number.fractionDigits[i] != '0') {
      leading = -static_cast<long long>(i) - 1;
      found = true;
    }
  }
  if (!found) return false;
  constexpr long long kCap = 1'000'000'000'000LL;  // far beyond any floating range
  long long exponent = 0;
  for (const char c : number.exponentDigits) {
    exponent = exponent * 10 + (c - '0');
    if (exponent > kCap) exponent = kCap;
  }
  if (number.exponentNegative) exponent = -exponent;
  return leading + exponent >= 0;
}

// from_chars rounds to nearest only in the default rounding mode (otherwise
// it falls back to strtod, which follows the mode); the reading must not
// depend on what some other code left behind.
template <class T>
std::from_chars_result FromCharsToNearest(const std::string& text, T& value) {
  const int mode = std::fegetround();
  if (mode != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const std::from_chars_result result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (mode != FE_TONEAREST) std::fesetround(mode);
  return result;
}

// The decimal number rounded to the nearest T; Overflow beyond T's range,
// and a value too small for T becomes 0.
template <class T>
Result<T> DecimalValue(const NumberText& number) {
  // Most fields are plain integers of a few digits: those are exact in T, so
  // they need no rounding at all.
  constexpr std::size_t kExactDigits = std::numeric_limits<T>::digits10;
  if (number.fractionDigits.empty() && number.exponentDigits.empty() &&
      number.integerDigits.size() <= kExactDigits) {
    std::int64_t integer = 0;
    for (const char c : number.integerDigits) integer = integer * 10 + (c - '0');
    const auto value = static_cast<T>(integer);
    return number.negative ? -value : value;
  }
  std::string normal;
  normal.reserve(number.integerDigits.size() + number.fractionDigits.size() +
                 number.exponentDigits.size() + 4);
  normal.append(number.integerDigits.empty() ? std::string_view("0") : number.integerDigits);
  normal.push_back('.');
  normal.append(number.fractionDigits);
  if (!number.exponentDigits.empty()) {
    normal.push_back('e');
    if (number.exponentNegative) normal.push_back('-');
    normal.append(number.exponentDigits);
  }
  T value{};
  const auto [ptr, ec] = FromCharsToNearest(normal, value);
  if (ec == std::errc::result_out_of_range) {
    if (MagnitudeIsLarge(number)) return Fail(ErrorCode::Overflow);
    value = T{};
  } else if (ec != std::errc{} || ptr != normal.data() + normal.size()) {
    // Cannot happen for text that ScanNumber accepted.
    return Fail(ErrorCode::TypeMismatch);
  }
  return number.negative ? -value : value;
}

// Blanks for the assignment conversion: spaces and tabs around the number.
std::string_view TrimSpacesAndTabs(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return text.substr(first, last - first);
}

// The number that makes up the whole (trimmed) text, or TypeMismatch.
Result<NumberText> ScanWholeNumber(std::string_view text) {
  const std::string_view trimmed = TrimSpacesAndTabs(text);
  NumberText number = ScanNumber(trimmed);
  if (number.kind == NumberText::Kind::kNone || number.end != trimmed.size()) {
    return Fail(ErrorCode::TypeMismatch);
  }
  return number;
}

Result<double> TextToDouble(std::string_view text) {
  const Result<NumberText> number = ScanWholeNumber(text);
  if (!number) return Fail(number.error());
  if (number->kind == NumberText::Kind::kRadix) return RadixValue(*number);
  return DecimalValue<double>(*number);
}

template <class Int>
Result<Int> RoundToInt(double value) {
  const double rounded = RoundHalfToEven(value);
  // NaN fails both comparisons, so it takes the overflow path too.
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    return Fail(ErrorCode::Overflow);
  }
  return static_cast<Int>(rounded);
}

}  // namespace

Result<double> Val(std::string_view text) {
  std::string packed;
  packed.reserve(text.size());
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') packed.push_back(c);
  }
  const NumberText number = ScanNumber(packed);
  switch (number.kind) {
    case NumberText::Kind::kNone:
      return 0.0;
    case NumberText::Kind::kRadix:
      return RadixValue(number);
    case NumberText::Kind::kDecimal:
      break;
  }
  return DecimalValue<double>(number);
}

Result<std::int16_t> TextToInteger(std::string_view text) {
  const Result<double> value = TextToDouble(text);
  if (!value) return Fail(value.error());
  return RoundToInteger(*value);
}

Result<std::int32_t> TextToLong(std::string_view text) {
  const Result<double> value = TextToDouble(text);
  if (!value) return Fail(value.error());
  return RoundToLong(*value);
}

Result<float> TextToSingle(std::string_view text) {
  const Result<NumberText> number = ScanWholeNumber(text);
  if (!number) return Fail(number.error());
  if (number->kind == NumberText::Kind::kRadix) {
    const Result<double> value = RadixValue(*number);
    if (!value) return Fail(value.error());
    return RoundToSingle(*value);
  }
  // Read straight to float: going through double could round twice.
  return DecimalValue<float>(*number);
}

Result<bool> TextToBoolean(std::string_view text) {
  const std::string_view trimmed = TrimSpacesAndTabs(text);
  const auto equalsWord = [trimmed](std::string_view word) {
    if (trimmed.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      char c = trimmed[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != word[i]) return false;
    }
    return true;
  };
  if (equalsWord("true")) return true;
  if (equalsWord("false")) return false;
  const Result<double> value = TextToDouble(trimmed);
  if (!value) return Fail(value.error());
  return *value != 0.0;
}

double RoundHalfToEven(double value) {
  // From 2^52 on every double is an integer; NaN fails the comparison.
  if (!(std::fabs(value) < 0x1p52)) return value;
  // floor is exact, and so is the difference for values below 2^52, so no
  // step here depends on the rounding mode.
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

Result<std::int16_t> RoundToInteger(double value) {
  return RoundToInt<std::int16_t>(value);
}

Result<std::int32_t> RoundToLong(double value) {
  return RoundToInt<std::int32_t>(value);
}

Result<float> RoundToSingle(double value) {
  // Halfway between FLT_MAX and 2^128: from here on the nearest float is
  // infinity (the tie goes to the even 2^128).
  constexpr double kOverflowFrom = 0x1.ffffffp127;
  if (!(std::fabs(value) < kOverflowFrom)) return Fail(ErrorCode::Overflow);
  // The cast lands on one of the two floats around value, which one depends
  // on the rounding mode; pick the nearer by exact differences.
  float guess = static_cast<float>(value);
  if (std::isinf(guess)) guess = std::copysign(std::numeric_limits<float>::max(), guess);
  const double guessValue = static_cast<double>(guess);
  if (guessValue == value) return guess;
  float below = guess;
  float above = guess;
  if (guessValue < value) {
    above = std::nextafter(guess, std::numeric_limits<float>::infinity());
  } else {
    below = std::nextafter(guess, -std::numeric_limits<float>::infinity());
  }
  // Beyond FLT_MAX but below kOverflowFrom the nearer one is FLT_MAX.
  if (std::isinf(above)) return below;
  if (std::isinf(below)) return above;
  const double distanceBelow = value - static_cast<double>(below);
  const double distanceAbove = static_cast<double>(above) - value;
  if (distanceBelow < distanceAbove) return below;
  if (distanceAbove < distanceBelow) return above;
  // A tie: the float whose last significand bit is 0.
  return (std::bit_cast<std::uint32_t>(below) & 1U) == 0 ? below : above;
}

std::string NumberToText(std::int64_t value) {
  return std::to_string(value);
}

std::string FormatZeroPadded(double value, int digits) {
  double rounded = RoundHalfToEven(value);
  if (rounded == 0.0) rounded = 0.0;  // no "-000" for values that round to zero
  // The largest double has 309 integer digits.
  char buffer[400];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), std::fabs(rounded),
                                       std::chars_format::fixed, 0);
  std::string magnitude(buffer, ec == std::errc{} ? end : buffer);
  const std::size_t wanted = static_cast<std::size_t>(digits < 1 ? 1 : digits);
  std::string text;
  text.reserve(wanted + magnitude.size() + 1);
  if (std::signbit(rounded) && !std::isnan(rounded)) text.push_back('-');
  if (std::isfinite(rounded) && magnitude.size() < wanted) {
    text.append(wanted - magnitude.size(), '0');
  }
  text.append(magnitude);
  return text;
}

}  // namespace vistel
