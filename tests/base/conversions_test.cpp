#include "base/conversions.hpp"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace vistel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr float kFloatMax = std::numeric_limits<float>::max();

// Checks a failed result's error code, with the value it gave otherwise.
template <class T>
::testing::AssertionResult FailsWith(const Result<T>& result, ErrorCode code) {
  if (result) {
    return ::testing::AssertionFailure()
           << "expected error " << static_cast<int>(code) << ", got the value " << +*result;
  }
  if (result.error().code != code) {
    return ::testing::AssertionFailure() << "expected error " << static_cast<int>(code)
                                         << ", got error " << static_cast<int>(result.error().code);
  }
  return ::testing::AssertionSuccess();
}

// Sets a floating-point rounding mode for one scope.
class RoundingModeScope {
 public:
  explicit RoundingModeScope(int mode) : saved_(std::fegetround()) { std::fesetround(mode); }
  ~RoundingModeScope() { std::fesetround(saved_); }
  RoundingModeScope(const RoundingModeScope&) = delete;
  RoundingModeScope& operator=(const RoundingModeScope&) = delete;

 private:
  int saved_;
};

double ValOf(std::string_view text) {
  const Result<double> value = Val(text);
  EXPECT_TRUE(value) << "Val(\"" << text << "\") failed: " << value.error().description;
  return value.value_or(kNaN);
}

TEST(Val, IgnoresBlanksTabsAndLineFeedsAnywhere) {
  EXPECT_EQ(ValOf("1 2 3"), 123.0);
  EXPECT_EQ(ValOf("- 5"), -5.0);
  EXPECT_EQ(ValOf(" \t\n12\n3\t"), 123.0);
  EXPECT_EQ(ValOf(" 1234"), 1234.0);  // a preview handle after "/p"
  EXPECT_EQ(ValOf("1 . 5 e 2"), 150.0);
  EXPECT_EQ(ValOf("&H F F"), 255.0);
  // A carriage return is not a blank: it ends the number.
  EXPECT_EQ(ValOf("1\r2"), 1.0);
}

TEST(Val, TakesTheLongestLeadingNumber) {
  EXPECT_EQ(ValOf("12abc"), 12.0);
  EXPECT_EQ(ValOf("1.2.3"), 1.2);
  EXPECT_EQ(ValOf(".5"), 0.5);
  EXPECT_EQ(ValOf("+7"), 7.0);
  EXPECT_EQ(ValOf("5."), 5.0);
  EXPECT_EQ(ValOf("1e2"), 100.0);
  EXPECT_EQ(ValOf("1D2"), 100.0);
  EXPECT_EQ(ValOf("1.5E-1"), 0.15);
  EXPECT_EQ(ValOf("2e+3x"), 2000.0);
  EXPECT_EQ(ValOf("1e2.5"), 100.0);
  EXPECT_EQ(ValOf("0.1"), 0.1);
  EXPECT_EQ(ValOf("1,000"), 1.0);
  // Integers of 15 digits are exact; from 16 digits on they round.
  EXPECT_EQ(ValOf("999999999999999"), 999999999999999.0);
  EXPECT_EQ(ValOf("-123456789012345"), -123456789012345.0);
  EXPECT_EQ(ValOf("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(ValOf("00000000000000009007199254740993"), 9007199254740992.0);
}

TEST(Val, IncompleteExponentEndsBeforeTheLetter) {
  EXPECT_EQ(ValOf("1e"), 1.0);
  EXPECT_EQ(ValOf("1e+"), 1.0);
  EXPECT_EQ(ValOf("1d-x"), 1.0);
  EXPECT_EQ(ValOf("-2.5E"), -2.5);
}

TEST(Val, NothingNumericGivesZero) {
  EXPECT_EQ(ValOf(""), 0.0);
  EXPECT_EQ(ValOf("abc"), 0.0);
  EXPECT_EQ(ValOf(":1234"), 0.0);  // "/p:1234"
  EXPECT_EQ(ValOf("-"), 0.0);
  EXPECT_EQ(ValOf("."), 0.0);
  EXPECT_EQ(ValOf("-.e5"), 0.0);
  EXPECT_EQ(ValOf("e5"), 0.0);
  EXPECT_EQ(ValOf("&"), 0.0);
  EXPECT_EQ(ValOf("&X1"), 0.0);
  EXPECT_EQ(ValOf("&H"), 0.0);
  EXPECT_EQ(ValOf("&Hx"), 0.0);
  EXPECT_EQ(ValOf("&O9"), 0.0);
  EXPECT_EQ(ValOf("-&H10"), 0.0);  // a sign belongs to decimal numbers only
}

TEST(Val, HexLiteralsAreSixteenBitUpToFourDigits) {
  EXPECT_EQ(ValOf("&HFFFF"), -1.0);
  EXPECT_EQ(ValOf("&hffff"), -1.0);
  EXPECT_EQ(ValOf("&H8000"), -32768.0);
  EXPECT_EQ(ValOf("&H7FFF"), 32767.0);
  EXPECT_EQ(ValOf("&H1G"), 1.0);
  // Five digits or more: 32-bit, even when the bits would fit in 16.
  EXPECT_EQ(ValOf("&H0FFFF"), 65535.0);
  EXPECT_EQ(ValOf("&H10000"), 65536.0);
  EXPECT_EQ(ValOf("&HFFFFFFFF"), -1.0);
  EXPECT_EQ(ValOf("&H80000000"), -2147483648.0);
  EXPECT_EQ(ValOf("&H7FFFFFFF"), 2147483647.0);
  EXPECT_EQ(ValOf("&H00000000FF"), 255.0);  // leading zeros never overflow
}

TEST(Val, OctalLiteralsFollowTheSameWidths) {
  EXPECT_EQ(ValOf("&O177777"), -1.0);
  EXPECT_EQ(ValOf("&o100000"), -32768.0);
  EXPECT_EQ(ValOf("&O17"), 15.0);
  EXPECT_EQ(ValOf("&O18"), 1.0);
  EXPECT_EQ(ValOf("&O777777"), 262143.0);  // six digits but beyond 16 bits
  EXPECT_EQ(ValOf("&O37777777777"), -1.0);
  EXPECT_EQ(ValOf("&O17777777777"), 2147483647.0);
}

TEST(Val, OverflowsBeyondDoubleAndThirtyTwoBits) {
  EXPECT_TRUE(FailsWith(Val("1e400"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(Val("-1e400"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(Val("1.7976931348623159e308"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(Val("1e99999999999999999999"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(Val("&H100000000"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(Val("&O40000000000"), ErrorCode::Overflow));
  EXPECT_EQ(ValOf("1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(ValOf("0.000001e314"), 1e308);
}

TEST(Val, UnderflowBecomesZeroOrDenormal) {
  EXPECT_EQ(ValOf("1e-400"), 0.0);
  EXPECT_EQ(ValOf("-1e-99999999999999999999"), 0.0);
  EXPECT_EQ(ValOf("0e99999"), 0.0);
  EXPECT_EQ(ValOf("100000e-330"), 0.0);  // six digits do not lift 1e-325 into range
  const double denormal = ValOf("1e-320");
  EXPECT_GT(denormal, 0.0);
  EXPECT_LT(denormal, std::numeric_limits<double>::min());
}

TEST(TextToInteger, AcceptsAPlainNumberWithBlanksAround) {
  EXPECT_EQ(TextToInteger("12").value_or(0), 12);
  EXPECT_EQ(TextToInteger("  12 ").value_or(0), 12);
  EXPECT_EQ(TextToInteger("\t-7\t").value_or(0), -7);
  EXPECT_EQ(TextToInteger("+5").value_or(0), 5);
  EXPECT_EQ(TextToInteger("1e2").value_or(0), 100);
  EXPECT_EQ(TextToInteger("1.5D1").value_or(0), 15);
  EXPECT_EQ(TextToInteger(".5").value_or(7), 0);
  EXPECT_EQ(TextToInteger("&HFFFF").value_or(0), -1);
  EXPECT_EQ(TextToInteger(" &O17 ").value_or(0), 15);
  EXPECT_EQ(TextToInteger("&HFFFFFFFF").value_or(0), -1);  // Long -1 fits
}

TEST(TextToInteger, FractionsRoundHalfToEven) {
  EXPECT_EQ(TextToInteger("2.5").value_or(0), 2);
  EXPECT_EQ(TextToInteger("3.5").value_or(0), 4);
  EXPECT_EQ(TextToInteger("-2.5").value_or(0), -2);
  EXPECT_EQ(TextToInteger("-3.5").value_or(0), -4);
  EXPECT_EQ(TextToInteger("2.51").value_or(0), 3);
  EXPECT_EQ(TextToInteger("0.49999999999999994").value_or(9), 0);
}

TEST(TextToInteger, RangeEdges) {
  EXPECT_EQ(TextToInteger("32767").value_or(0), 32767);
  EXPECT_EQ(TextToInteger("-32768").value_or(0), -32768);
  EXPECT_EQ(TextToInteger("32766.5").value_or(0), 32766);
  EXPECT_EQ(TextToInteger("-32768.5").value_or(0), -32768);
  EXPECT_TRUE(FailsWith(TextToInteger("32768"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToInteger("-32769"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToInteger("32767.5"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToInteger("-32769.5"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToInteger("&H10000"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToInteger("1e400"), ErrorCode::Overflow));
}

TEST(TextToInteger, AnythingButANumberIsATypeMismatch) {
  for (const char* text :
       {"",    "   ", "\t", "1,000", "$5",  "12abc", "1 2",   "- 5",   ".",  "-",   "+",  "1e",
        "1e+", "&H",  "&",  "&X1",   "abc", "0x10",  "1.2.3", "-&H10", "5%", "1\n", "\n1"}) {
    EXPECT_TRUE(FailsWith(TextToInteger(text), ErrorCode::TypeMismatch))
        << "text: \"" << text << "\"";
  }
}

TEST(TextToLong, RangeEdges) {
  EXPECT_EQ(TextToLong("2147483647").value_or(0), 2147483647);
  EXPECT_EQ(TextToLong("-2147483648").value_or(0), INT32_MIN);
  EXPECT_EQ(TextToLong("2147483646.5").value_or(0), 2147483646);
  EXPECT_EQ(TextToLong("-2147483648.5").value_or(0), INT32_MIN);
  EXPECT_EQ(TextToLong("16711680").value_or(0), 16711680);
  EXPECT_EQ(TextToLong("&HFFFFFFFF").value_or(0), -1);
  EXPECT_EQ(TextToLong("&H7FFFFFFF").value_or(0), 2147483647);
  EXPECT_EQ(TextToLong("&HFFFF").value_or(0), -1);
  EXPECT_EQ(TextToLong("00000000000014368804").value_or(0), 14368804);  // a package trailer
  EXPECT_TRUE(FailsWith(TextToLong("2147483648"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToLong("2147483647.5"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToLong("-2147483649"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToLong("-2147483649.5"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToLong("1e10"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToLong("1e400"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToLong("1,000"), ErrorCode::TypeMismatch));
  EXPECT_TRUE(FailsWith(TextToLong(""), ErrorCode::TypeMismatch));
}

TEST(TextToSingle, ReadsToTheNearestFloat) {
  EXPECT_EQ(TextToSingle("2.000164").value_or(0), 2.000164F);
  EXPECT_EQ(TextToSingle("-86.17347").value_or(0), -86.17347F);
  EXPECT_EQ(TextToSingle(" 0.1 ").value_or(0), 0.1F);
  EXPECT_EQ(TextToSingle("5").value_or(0), 5.0F);
  EXPECT_EQ(TextToSingle("1D3").value_or(0), 1000.0F);
  EXPECT_EQ(TextToSingle("&HFFFF").value_or(0), -1.0F);
  EXPECT_EQ(TextToSingle("&H7FFFFFFF").value_or(0), 2147483648.0F);
  EXPECT_EQ(TextToSingle("999999").value_or(0), 999999.0F);
  EXPECT_EQ(TextToSingle("16777217").value_or(0), 16777216.0F);  // a tie: to even
  EXPECT_EQ(TextToSingle("16777219").value_or(0), 16777220.0F);
  EXPECT_EQ(TextToSingle("-16777221").value_or(0), -16777220.0F);
  // Just above the midpoint of 1 and the next float: read through double it
  // would land on the midpoint and round down to 1.
  EXPECT_EQ(TextToSingle("1.0000000596046447755").value_or(0), std::nextafter(1.0F, 2.0F));
}

TEST(TextToSingle, IgnoresTheRoundingMode) {
  const float nearest = TextToSingle("0.1").value_or(0);
  const double nearestDouble = ValOf("0.1");
  for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    RoundingModeScope scope(mode);
    EXPECT_EQ(TextToSingle("0.1").value_or(0), nearest) << "mode " << mode;
    EXPECT_EQ(ValOf("0.1"), nearestDouble) << "mode " << mode;
    EXPECT_EQ(std::fegetround(), mode) << "the caller's rounding mode must be restored";
  }
}

TEST(TextToSingle, RangeEdges) {
  EXPECT_EQ(TextToSingle("3.4028235e38").value_or(0), kFloatMax);
  EXPECT_EQ(TextToSingle("-3.4028235e38").value_or(0), -kFloatMax);
  EXPECT_TRUE(FailsWith(TextToSingle("3.4028236e38"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToSingle("-1e39"), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(TextToSingle("1e400"), ErrorCode::Overflow));
  EXPECT_EQ(TextToSingle("1e-50").value_or(1), 0.0F);
  const float denormal = TextToSingle("1e-40").value_or(0);
  EXPECT_GT(denormal, 0.0F);
  EXPECT_LT(denormal, std::numeric_limits<float>::min());
  EXPECT_TRUE(FailsWith(TextToSingle("2,5"), ErrorCode::TypeMismatch));
  EXPECT_TRUE(FailsWith(TextToSingle("1.5f"), ErrorCode::TypeMismatch));
  EXPECT_TRUE(FailsWith(TextToSingle(""), ErrorCode::TypeMismatch));
}

TEST(TextToBoolean, WordsInAnyCaseOrNumbers) {
  EXPECT_EQ(TextToBoolean("True").value_or(false), true);
  EXPECT_EQ(TextToBoolean("tRuE").value_or(false), true);
  EXPECT_EQ(TextToBoolean(" TRUE\t").value_or(false), true);
  EXPECT_EQ(TextToBoolean("False").value_or(true), false);
  EXPECT_EQ(TextToBoolean("false ").value_or(true), false);
  EXPECT_EQ(TextToBoolean("0").value_or(true), false);
  EXPECT_EQ(TextToBoolean("0.0").value_or(true), false);
  EXPECT_EQ(TextToBoolean("-1").value_or(false), true);
  EXPECT_EQ(TextToBoolean("0.25").value_or(false), true);
  EXPECT_EQ(TextToBoolean("&H0").value_or(true), false);
  for (const char* text : {"", "yes", "Truex", "T", "#TRUE#", "1 0"}) {
    EXPECT_TRUE(FailsWith(TextToBoolean(text), ErrorCode::TypeMismatch))
        << "text: \"" << text << "\"";
  }
  EXPECT_TRUE(FailsWith(TextToBoolean("1e400"), ErrorCode::Overflow));
}

TEST(RoundHalfToEven, TiesGoToEvenAndNearMissesDoNot) {
  EXPECT_EQ(RoundHalfToEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfToEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfToEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfToEven(-0.5), 0.0);
  EXPECT_EQ(RoundHalfToEven(-1.5), -2.0);
  EXPECT_EQ(RoundHalfToEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfToEven(std::nextafter(0.5, 0.0)), 0.0);  // floor(x + 0.5) would give 1
  EXPECT_EQ(RoundHalfToEven(std::nextafter(2.5, 3.0)), 3.0);
  EXPECT_EQ(RoundHalfToEven(4503599627370495.5), 4503599627370496.0);  // 2^52 - 0.5
  EXPECT_EQ(RoundHalfToEven(9007199254740993.0), 9007199254740992.0);  // already integral
  EXPECT_TRUE(std::isnan(RoundHalfToEven(kNaN)));
  EXPECT_EQ(RoundHalfToEven(-kInf), -kInf);
}

TEST(RoundHalfToEven, AgreesWithTheHardwareInEveryRoundingMode) {
  std::mt19937_64 random(20240601);
  std::uniform_real_distribution<double> magnitude(-40000.0, 40000.0);
  for (int i = 0; i < 20000; ++i) {
    // Half of the samples are exact ties.
    double value = magnitude(random);
    if (i % 2 == 0) value = std::floor(value) + 0.5;
    const double expected = std::nearbyint(value);  // default mode: to nearest, ties even
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
      RoundingModeScope scope(mode);
      ASSERT_EQ(RoundHalfToEven(value), expected) << "value " << value << " mode " << mode;
    }
  }
}

TEST(RoundToInteger, RangeEdges) {
  EXPECT_EQ(RoundToInteger(32767.0).value_or(0), 32767);
  EXPECT_EQ(RoundToInteger(32766.5).value_or(0), 32766);
  EXPECT_EQ(RoundToInteger(std::nextafter(32767.5, 0.0)).value_or(0), 32767);
  EXPECT_EQ(RoundToInteger(-32768.5).value_or(0), -32768);
  EXPECT_EQ(RoundToInteger(-0.5).value_or(9), 0);
  EXPECT_TRUE(FailsWith(RoundToInteger(32767.5), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToInteger(std::nextafter(-32768.5, -kInf)), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToInteger(1e300), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToInteger(kNaN), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToInteger(kInf), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToInteger(-kInf), ErrorCode::Overflow));
}

TEST(RoundToLong, RangeEdges) {
  EXPECT_EQ(RoundToLong(2147483646.5).value_or(0), 2147483646);
  EXPECT_EQ(RoundToLong(2147483647.0).value_or(0), 2147483647);
  EXPECT_EQ(RoundToLong(-2147483648.5).value_or(0), INT32_MIN);
  EXPECT_EQ(RoundToLong(3.5).value_or(0), 4);
  EXPECT_TRUE(FailsWith(RoundToLong(2147483647.5), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToLong(-2147483649.5), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToLong(4503599627370497.0), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToLong(kNaN), ErrorCode::Overflow));
}

TEST(RoundToLong, IgnoresTheRoundingMode) {
  RoundingModeScope scope(FE_UPWARD);
  EXPECT_EQ(RoundToLong(2.5).value_or(0), 2);
  EXPECT_EQ(RoundToLong(-2.5).value_or(0), -2);
  EXPECT_EQ(RoundToInteger(2.4).value_or(0), 2);
  EXPECT_TRUE(FailsWith(RoundToInteger(32767.5), ErrorCode::Overflow));
}

TEST(RoundToSingle, RangeEdgesAndTies) {
  const double midpoint = 1.0 + 0x1p-24;  // halfway between 1 and the next float
  EXPECT_EQ(RoundToSingle(midpoint).value_or(0), 1.0F);
  EXPECT_EQ(RoundToSingle(-midpoint).value_or(0), -1.0F);
  EXPECT_EQ(RoundToSingle(1.0 + 3 * 0x1p-24).value_or(0), 1.0F + 0x1p-22F);
  EXPECT_EQ(RoundToSingle(std::nextafter(midpoint, 2.0)).value_or(0), 1.0F + 0x1p-23F);
  EXPECT_EQ(RoundToSingle(0.1).value_or(0), 0.1F);
  EXPECT_EQ(RoundToSingle(16777217.0).value_or(0), 16777216.0F);
  EXPECT_EQ(RoundToSingle(static_cast<double>(kFloatMax)).value_or(0), kFloatMax);
  EXPECT_EQ(RoundToSingle(std::nextafter(0x1.ffffffp127, 0.0)).value_or(0), kFloatMax);
  EXPECT_TRUE(FailsWith(RoundToSingle(0x1.ffffffp127), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToSingle(-1e39), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToSingle(kInf), ErrorCode::Overflow));
  EXPECT_TRUE(FailsWith(RoundToSingle(kNaN), ErrorCode::Overflow));
  EXPECT_EQ(RoundToSingle(1e-50).value_or(1), 0.0F);
  EXPECT_EQ(RoundToSingle(1e-40).value_or(0), static_cast<float>(1e-40));
}

TEST(RoundToSingle, AgreesWithTheHardwareInEveryRoundingMode) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent(-150.0, 127.0);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  for (int i = 0; i < 20000; ++i) {
    double value = std::ldexp(mantissa(random), static_cast<int>(exponent(random)));
    if (i % 3 == 0) {
      // An exact tie: a float plus half its last place.
      const auto f = static_cast<float>(value);
      value = static_cast<double>(f) +
              (static_cast<double>(std::nextafter(f, kFloatMax)) - static_cast<double>(f)) / 2;
    }
    if (i % 2 == 1) value = -value;
    const float expected = static_cast<float>(value);  // default mode: to nearest, ties even
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
      RoundingModeScope scope(mode);
      ASSERT_EQ(RoundToSingle(value).value_or(kNaN), expected) << "value " << value;
    }
  }
}

TEST(NumberToText, PlainDecimal) {
  EXPECT_EQ(NumberToText(0), "0");
  EXPECT_EQ(NumberToText(-5), "-5");
  EXPECT_EQ(NumberToText(225282), "225282");
  EXPECT_EQ(NumberToText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(NumberToText(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
}

TEST(FormatZeroPadded, PadsTheRoundedDigits) {
  EXPECT_EQ(FormatZeroPadded(1, 3), "001");
  EXPECT_EQ(FormatZeroPadded(0, 3), "000");
  EXPECT_EQ(FormatZeroPadded(1234, 3), "1234");
  EXPECT_EQ(FormatZeroPadded(-1, 3), "-001");
  EXPECT_EQ(FormatZeroPadded(-1234, 3), "-1234");
  EXPECT_EQ(FormatZeroPadded(2.5, 3), "002");
  EXPECT_EQ(FormatZeroPadded(3.5, 3), "004");
  EXPECT_EQ(FormatZeroPadded(-0.4, 3), "000");
  EXPECT_EQ(FormatZeroPadded(4294967295.0, 3), "4294967295");
  EXPECT_EQ(FormatZeroPadded(16777216.0, 3), "16777216");
  EXPECT_EQ(FormatZeroPadded(1e20, 3), "100000000000000000000");
  EXPECT_EQ(FormatZeroPadded(7, 0), "7");
  EXPECT_EQ(FormatZeroPadded(7, -2), "7");
}

}  // namespace
}  // namespace vistel
