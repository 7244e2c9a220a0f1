// The conversions take a shortcut for plain decimal text; these tests hold it
// to the general reading at its edges and over many random texts.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/conversions.hpp"

namespace vistel {
namespace {

// Same value (bit for bit, so -0 differs from 0) or same error.
template <class T>
::testing::AssertionResult SameResult(std::string_view text, const Result<T>& shortcut,
                                      const Result<T>& general) {
  const auto describe = [](const Result<T>& result) {
    if (!result) return "error " + std::to_string(static_cast<int>(result.error().code));
    if constexpr (std::is_same_v<T, float>) {
      return "value " + std::to_string(*result) + " (bits " +
             std::to_string(std::bit_cast<std::uint32_t>(*result)) + ")";
    } else {
      return "value " + std::to_string(*result);
    }
  };
  bool same = shortcut.has_value() == general.has_value();
  if (same && shortcut) {
    if constexpr (std::is_same_v<T, float>) {
      same = std::bit_cast<std::uint32_t>(*shortcut) == std::bit_cast<std::uint32_t>(*general);
    } else {
      same = *shortcut == *general;
    }
  } else if (same) {
    same = shortcut.error().code == general.error().code;
  }
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "\"" << text << "\": expected " << describe(general)
         << " as the general reading gives, got " << describe(shortcut);
}

::testing::AssertionResult SingleAgrees(std::string_view text) {
  return SameResult(text, TextToSingle(text), general_reading::TextToSingle(text));
}
::testing::AssertionResult LongAgrees(std::string_view text) {
  return SameResult(text, TextToLong(text), general_reading::TextToLong(text));
}
::testing::AssertionResult IntegerAgrees(std::string_view text) {
  return SameResult(text, TextToInteger(text), general_reading::TextToInteger(text));
}

class RoundingModeScope {
 public:
  explicit RoundingModeScope(int mode) : saved_(std::fegetround()) { std::fesetround(mode); }
  ~RoundingModeScope() { std::fesetround(saved_); }
  RoundingModeScope(const RoundingModeScope&) = delete;
  RoundingModeScope& operator=(const RoundingModeScope&) = delete;

 private:
  int saved_;
};

// A seed from VISTEL_TEST_SEED, else a fresh one; printed so a failure can be replayed.
std::uint64_t TestSeed() {
  std::uint64_t seed = std::random_device{}();
  if (const char* given = std::getenv("VISTEL_TEST_SEED")) seed = std::strtoull(given, nullptr, 10);
  std::cout << "seed: " << seed << " (set VISTEL_TEST_SEED to replay)\n";
  return seed;
}

TEST(SingleShortcut, SignificandBoundary) {
  // 2^24 - 1 and below are exact floats; from 2^24 on the general reading takes over.
  for (const char* text : {"16777215", "16777216", "16777217", "16777219", "1677721.5", "1677721.6",
                           "1.6777215", "1.6777216", "0.16777217", "167772.15e2"}) {
    EXPECT_TRUE(SingleAgrees(text));
  }
  EXPECT_EQ(TextToSingle("16777215").value_or(0), 16777215.0F);
  EXPECT_EQ(TextToSingle("16777217").value_or(0), 16777216.0F);
}

TEST(SingleShortcut, SevenAndEightSignificantDigits) {
  for (const char* text : {"1.234567", "1.2345678", "9.999999", "9.9999999", "99999999",
                           "1.23456789", "0.0001234567", "0.00012345678", "1234567.0", "12345678.0",
                           "2.000164", "-86.17347", "000000001.5", "1.50000000"}) {
    EXPECT_TRUE(SingleAgrees(text));
  }
}

TEST(SingleShortcut, PowersOfTenAtTheEdgeOfExactness) {
  for (const char* text :
       {"1e10", "1e11", "1e-10", "1e-11", "0.0000000001", "0.00000000001", "16777215e10",
        "16777215e-10", "16777215e11", "1.5e9", "1.5e10", "1.5D-9", "123.456E+7", "0.5e-9",
        "10000000000", "0e0", "5e-0", "1e0000000000000000000000003", "1e-0000000000000000000004"}) {
    EXPECT_TRUE(SingleAgrees(text));
  }
  EXPECT_EQ(TextToSingle("1e10").value_or(0), 1e10F);
  EXPECT_EQ(TextToSingle("1e-10").value_or(0), 1e-10F);
}

TEST(SingleShortcut, ExactTiesGoToEven) {
  // m * 10^e is halfway between two floats when m * 5^e is odd and has 25
  // bits: the one product that must round to the even neighbour.
  for (int e = 1; e <= 10; ++e) {
    const std::uint64_t five = static_cast<std::uint64_t>(std::llround(std::pow(5.0, e)));
    std::uint64_t m = ((1ULL << 24) + five - 1) / five;
    if (m % 2 == 0) ++m;
    ASSERT_LT(m * five, 1ULL << 25) << "no tie for exponent " << e;
    const std::string text = std::to_string(m) + "e" + std::to_string(e);
    const double exact = static_cast<double>(m) * std::pow(10.0, e);  // exact: < 2^58, 2-adic
    const auto below = static_cast<float>(std::nextafter(exact, 0.0));
    const float above = std::nextafter(below, 2 * below);
    ASSERT_EQ(exact - static_cast<double>(below), static_cast<double>(above) - exact)
        << text << " is not a tie";
    EXPECT_TRUE(SingleAgrees(text));
    const float even = (std::bit_cast<std::uint32_t>(below) & 1U) == 0 ? below : above;
    EXPECT_EQ(TextToSingle(text).value_or(0), even) << text;
    EXPECT_EQ(TextToSingle("-" + text).value_or(0), -even) << text;
  }
}

TEST(SingleShortcut, NegativeZeroKeepsItsSign) {
  for (const char* text : {"-0", "-0.0", "-.0", "-0.", "-0e5", "-0.000e-3", "-00000000000"}) {
    EXPECT_TRUE(SingleAgrees(text));
    const float zero = TextToSingle(text).value_or(1);
    EXPECT_EQ(zero, 0.0F) << text;
    EXPECT_TRUE(std::signbit(zero)) << text;
  }
  EXPECT_FALSE(std::signbit(TextToSingle("0.0").value_or(-1)));
  EXPECT_FALSE(std::signbit(TextToSingle("+0").value_or(-1)));
}

TEST(SingleShortcut, NotPlainNumbersAreLeftToTheGeneralReading) {
  for (const char* text : {"",      ".",     "-",    "+",   "-.",   "1e",    "1e+",  "1e-",   "e5",
                           "1.2.3", " 1.5",  "1.5 ", "\t2", "&H10", "1,5",   "1.5f", "0x1p3", "--1",
                           "+-1",   "1e5e5", "1.5d", "inf", "nan",  "1e+-5", "1 5"}) {
    EXPECT_TRUE(SingleAgrees(text));
  }
}

TEST(IntegerShortcut, RangeEdgesAndLongDigitRuns) {
  for (const char* text : {"2147483647",
                           "2147483648",
                           "-2147483648",
                           "-2147483649",
                           "4294967296",
                           "999999999999999999",
                           "9999999999999999999",
                           "18446744073709551616",
                           "000000000000000000002147483647",
                           "-000000000000000000002147483648",
                           "00000000000014368804",
                           "+0",
                           "-0",
                           "+",
                           "-",
                           "",
                           "00",
                           "+-1",
                           "1-",
                           " 1",
                           "1 ",
                           "1.0",
                           "1e0",
                           "&H1"}) {
    EXPECT_TRUE(LongAgrees(text));
  }
  for (const char* text : {"32767", "32768", "-32768", "-32769", "65535", "-0", "0000032767"}) {
    EXPECT_TRUE(IntegerAgrees(text));
  }
}

TEST(IntegerShortcut, BooleansFromPlainIntegers) {
  EXPECT_EQ(TextToBoolean("-0").value_or(true), false);
  EXPECT_EQ(TextToBoolean("000").value_or(true), false);
  EXPECT_EQ(TextToBoolean("7").value_or(false), true);
  EXPECT_EQ(TextToBoolean("99999999999999999999").value_or(false), true);
  EXPECT_EQ(TextToBoolean("-").error().code, ErrorCode::TypeMismatch);
}

// Texts shaped like the plain numbers the shortcut takes, with their lengths
// spread around its limits, and now and then a character that spoils them.
class NumberTexts {
 public:
  explicit NumberTexts(std::uint64_t seed) : random_(seed) {}

  std::string Decimal() {
    std::string text;
    const int sign = Pick(0, 3);
    if (sign == 1) text += '-';
    if (sign == 2) text += '+';
    if (Pick(0, 4) == 0) text.append(static_cast<std::size_t>(Pick(1, 12)), '0');
    AppendDigits(text, Pick(0, 10));
    if (Pick(0, 2) != 0) {
      text += '.';
      if (Pick(0, 3) == 0) text.append(static_cast<std::size_t>(Pick(1, 8)), '0');
      AppendDigits(text, Pick(0, 10));
    }
    if (Pick(0, 3) == 0) {
      text += "eEdD"[Pick(0, 3)];
      const int exponentSign = Pick(0, 2);
      if (exponentSign == 1) text += '-';
      if (exponentSign == 2) text += '+';
      text += std::to_string(Pick(0, 14));
    }
    Spoil(text);
    return text;
  }

  std::string Integer() {
    static constexpr std::int64_t kEdges[] = {0, 32767, -32768, INT32_MAX, INT32_MIN};
    std::string text;
    if (Pick(0, 2) == 0) {
      const std::int64_t value = kEdges[Pick(0, 4)] + Pick(-3, 3);
      text = std::to_string(value);
      if (Pick(0, 3) == 0)
        text.insert(value < 0 ? std::size_t{1} : std::size_t{0},
                    static_cast<std::size_t>(Pick(1, 15)), '0');
    } else {
      const int sign = Pick(0, 3);
      if (sign == 1) text += '-';
      if (sign == 2) text += '+';
      AppendDigits(text, Pick(1, 20));
    }
    Spoil(text);
    return text;
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  void AppendDigits(std::string& text, int count) {
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + Pick(0, 9));
  }

  void Spoil(std::string& text) {
    if (Pick(0, 19) != 0) return;
    static constexpr char kSpoilers[] = {' ', '\t', '.', 'e', '-', 'x', '&', ','};
    const auto at = static_cast<std::size_t>(Pick(0, static_cast<int>(text.size())));
    text.insert(at, 1, kSpoilers[Pick(0, static_cast<int>(sizeof kSpoilers) - 1)]);
  }

  std::mt19937_64 random_;
};

TEST(SingleShortcut, AgreesWithTheGeneralReadingOnRandomTexts) {
  NumberTexts texts(TestSeed());
  for (int i = 0; i < 200000; ++i) {
    const std::string text = texts.Decimal();
    ASSERT_TRUE(SingleAgrees(text));
  }
}

TEST(SingleShortcut, GivesTheNearestFloatInEveryRoundingMode) {
  NumberTexts texts(TestSeed());
  for (int i = 0; i < 20000; ++i) {
    const std::string text = texts.Decimal();
    const Result<float> nearest = TextToSingle(text);
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
      RoundingModeScope scope(mode);
      ASSERT_TRUE(SameResult(text, TextToSingle(text), nearest)) << "rounding mode " << mode;
    }
  }
}

TEST(IntegerShortcut, AgreesWithTheGeneralReadingOnRandomTexts) {
  NumberTexts texts(TestSeed());
  for (int i = 0; i < 200000; ++i) {
    const std::string integer = texts.Integer();
    ASSERT_TRUE(LongAgrees(integer));
    ASSERT_TRUE(IntegerAgrees(integer));
    const std::string decimal = texts.Decimal();
    ASSERT_TRUE(LongAgrees(decimal));
    ASSERT_TRUE(IntegerAgrees(decimal));
  }
}

}  // namespace
}  // namespace vistel
