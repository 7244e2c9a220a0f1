#include "base/conversions.hpp"

#include <array>
#include <bit>
#include <cfenv>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

// The shortcut for Singles relies on each float operation rounding once, to float.
static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must be evaluated in float");
#ifdef __FAST_MATH__
#error "the number conversions need IEEE arithmetic: build without -ffast-math"
#endif

namespace vistel {
namespace {

// Within this file a failure travels as its bare code; the public functions
// make it an Error, with its text, once at the end. Conversions that fail are
// common (resume-next skips empty and text fields), and every Error on the way
// would build and copy that text.
template <class T>
using Outcome = expected<T, ErrorCode>;

unexpected<ErrorCode> Failure(ErrorCode code) {
  return unexpected<ErrorCode>(code);
}

template <class T>
Result<T> ToResult(const Outcome<T>& outcome) {
  if (!outcome) return Fail(outcome.error());
  return *outcome;
}

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
Outcome<double> RadixValue(const NumberText& number) {
  constexpr std::uint64_t kMax32 = 0xFFFF'FFFFU;
  std::uint64_t bits = 0;
  for (const char c : number.radixDigits) {
    bits =
        bits * static_cast<std::uint64_t>(number.radix) + static_cast<std::uint64_t>(DigitValue(c));
    if (bits > kMax32) return Failure(ErrorCode::Overflow);
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
Outcome<T> DecimalValue(const NumberText& number) {
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
    if (MagnitudeIsLarge(number)) return Failure(ErrorCode::Overflow);
    value = T{};
  } else if (ec != std::errc{} || ptr != normal.data() + normal.size()) {
    // Cannot happen for text that ScanNumber accepted.
    return Failure(ErrorCode::TypeMismatch);
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
Outcome<NumberText> ScanWholeNumber(std::string_view text) {
  const std::string_view trimmed = TrimSpacesAndTabs(text);
  NumberText number = ScanNumber(trimmed);
  if (number.kind == NumberText::Kind::kNone || number.end != trimmed.size()) {
    return Failure(ErrorCode::TypeMismatch);
  }
  return number;
}

Outcome<double> TextToDouble(std::string_view text) {
  const Outcome<NumberText> number = ScanWholeNumber(text);
  if (!number) return Failure(number.error());
  if (number->kind == NumberText::Kind::kRadix) return RadixValue(*number);
  return DecimalValue<double>(*number);
}

// Shortcuts for plain decimal text, which is how nearly every package field is
// written. Each one either gives exactly what the general reading gives or
// declines, and the text then goes the general way. They accept no blanks, no
// radix literals and nothing out of range: those are rare and stay with the
// general reading, which also owns every error. They report through an out
// parameter: a returned std::optional of a scalar makes GCC store the flag
// and value separately and read them back as one word, which stalls.

bool IsDecimalDigit(char c, unsigned& digit) {
  digit = static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned{'0'};
  return digit < 10U;
}

// An optional sign and nothing but digits: the exact value. Declines past 18
// significant digits, where int64 could overflow (any such value is out of
// every range we convert to anyway).
bool PlainInteger(std::string_view text, std::int64_t& result) {
  const char* at = text.data();
  const char* const end = at + text.size();
  bool negative = false;
  if (at != end && (*at == '-' || *at == '+')) {
    negative = *at == '-';
    ++at;
  }
  if (at == end) return false;
  while (at != end && *at == '0') ++at;
  constexpr std::ptrdiff_t kMaxDigits = 18;
  if (end - at > kMaxDigits) return false;
  std::int64_t value = 0;
  for (unsigned digit = 0; at != end; ++at) {
    if (!IsDecimalDigit(*at, digit)) return false;
    value = value * 10 + static_cast<std::int64_t>(digit);
  }
  result = negative ? -value : value;
  return true;
}

template <class Int>
bool PlainIntegerIn(std::string_view text, Int& result) {
  std::int64_t value = 0;
  if (!PlainInteger(text, value) || value < std::numeric_limits<Int>::min() ||
      value > std::numeric_limits<Int>::max()) {
    return false;
  }
  result = static_cast<Int>(value);
  return true;
}

// Powers of ten that a float holds exactly: 10^10 = 2^10 * 5^10 and 5^10 < 2^24.
constexpr std::array<float, 11> kExactFloatPowersOfTen = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F,
                                                          1e6F, 1e7F, 1e8F, 1e9F, 1e10F};
constexpr std::uint32_t kExactFloatIntegers = 1U << 24;  // every integer below is a float

// Sign, digits, an optional "." with digits, an optional exponent: the value
// is m * 10^e with m and e whole. When m < 2^24 and |e| <= 10 both m and
// 10^|e| are exact floats, so one IEEE multiplication or division gives the
// correctly rounded result (Clinger's fast path). That rounding follows the
// current mode, so the shortcut declines in any mode but to-nearest unless
// e = 0 (then m itself is the exact result).
bool PlainSingle(std::string_view text, float& result) {
  const char* at = text.data();
  const char* const end = at + text.size();
  bool negative = false;
  if (at != end && (*at == '-' || *at == '+')) {
    negative = *at == '-';
    ++at;
  }
  std::uint32_t significand = 0;
  int significantDigits = 0;  // leading zeros not counted
  int scale = 0;              // the power of ten m is multiplied with
  bool anyDigit = false;
  // Nine digits could overflow 32 bits; eight are already past 2^24.
  constexpr int kMaxDigits = 8;
  const auto takeDigits = [&](int scalePerDigit) {
    for (unsigned digit = 0; at != end && IsDecimalDigit(*at, digit); ++at) {
      anyDigit = true;
      scale += scalePerDigit;
      if (significand == 0 && digit == 0) continue;
      if (++significantDigits > kMaxDigits) return false;
      significand = significand * 10U + digit;
    }
    return true;
  };
  if (!takeDigits(0)) return false;
  if (at != end && *at == '.') {
    ++at;
    if (!takeDigits(-1)) return false;
  }
  if (!anyDigit || significand >= kExactFloatIntegers) return false;
  if (at != end && (*at == 'e' || *at == 'E' || *at == 'd' || *at == 'D')) {
    ++at;
    bool exponentNegative = false;
    if (at != end && (*at == '-' || *at == '+')) {
      exponentNegative = *at == '-';
      ++at;
    }
    if (at == end) return false;  // an incomplete exponent does not convert
    constexpr int kCap = 1000;    // far beyond what the shortcut takes
    int exponent = 0;
    for (unsigned digit = 0; at != end; ++at) {
      if (!IsDecimalDigit(*at, digit)) return false;
      if (exponent < kCap) exponent = exponent * 10 + static_cast<int>(digit);
    }
    scale += exponentNegative ? -exponent : exponent;
  }
  if (at != end) return false;
  constexpr int kMaxScale = static_cast<int>(kExactFloatPowersOfTen.size()) - 1;
  if (scale < -kMaxScale || scale > kMaxScale) return false;

  float value = static_cast<float>(significand);
  if (scale != 0) {
    if (std::fegetround() != FE_TONEAREST) return false;
    if (scale > 0) {
      value *= kExactFloatPowersOfTen[static_cast<std::size_t>(scale)];
    } else {
      value /= kExactFloatPowersOfTen[static_cast<std::size_t>(-scale)];
    }
  }
  result = negative ? -value : value;
  return true;
}

template <class Int>
Outcome<Int> RoundToInt(double value) {
  const double rounded = RoundHalfToEven(value);
  // NaN fails both comparisons, so it takes the overflow path too.
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    return Failure(ErrorCode::Overflow);
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
      return ToResult(RadixValue(number));
    case NumberText::Kind::kDecimal:
      break;
  }
  return ToResult(DecimalValue<double>(number));
}

Result<std::int16_t> TextToInteger(std::string_view text) {
  if (std::int16_t value = 0; PlainIntegerIn(text, value)) return value;
  return general_reading::TextToInteger(text);
}

Result<std::int32_t> TextToLong(std::string_view text) {
  if (std::int32_t value = 0; PlainIntegerIn(text, value)) return value;
  return general_reading::TextToLong(text);
}

Result<float> TextToSingle(std::string_view text) {
  if (float value = 0; PlainSingle(text, value)) return value;
  return general_reading::TextToSingle(text);
}

namespace general_reading {

Result<std::int16_t> TextToInteger(std::string_view text) {
  const Outcome<double> value = TextToDouble(text);
  if (!value) return Fail(value.error());
  return ToResult(RoundToInt<std::int16_t>(*value));
}

Result<std::int32_t> TextToLong(std::string_view text) {
  const Outcome<double> value = TextToDouble(text);
  if (!value) return Fail(value.error());
  return ToResult(RoundToInt<std::int32_t>(*value));
}

Result<float> TextToSingle(std::string_view text) {
  const Outcome<NumberText> number = ScanWholeNumber(text);
  if (!number) return Fail(number.error());
  if (number->kind == NumberText::Kind::kRadix) {
    const Outcome<double> value = RadixValue(*number);
    if (!value) return Fail(value.error());
    return RoundToSingle(*value);
  }
  // Read straight to float: going through double could round twice.
  return ToResult(DecimalValue<float>(*number));
}

}  // namespace general_reading

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
  if (std::int64_t value = 0; PlainInteger(trimmed, value)) return value != 0;
  const Outcome<double> value = TextToDouble(trimmed);
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
  return ToResult(RoundToInt<std::int16_t>(value));
}

Result<std::int32_t> RoundToLong(double value) {
  return ToResult(RoundToInt<std::int32_t>(value));
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
