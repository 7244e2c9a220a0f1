#include "base/text.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

// Decodes well-formed UTF-8 (as produced by the converter) into code points.
std::u32string CodePoints(std::string_view utf8) {
  std::u32string points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t cp = length == 1 ? lead : lead & (0xFFU >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3FU);
    }
    points.push_back(cp);
    i += length;
  }
  return points;
}

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

TEST(Windows1252, EveryByteRoundTripsThroughUtf8) {
  const std::string bytes = AllBytes();
  const std::string utf8 = Windows1252ToUtf8(bytes);
  const std::u32string points = CodePoints(utf8);
  ASSERT_EQ(points.size(), 256U) << "one character per byte";
  EXPECT_EQ(std::set<char32_t>(points.begin(), points.end()).size(), 256U)
      << "no two bytes may share a character";
  for (std::size_t b = 0; b < 256; ++b) {
    // Outside 0x80..0x9F the code page is Latin-1.
    if (b < 0x80 || b >= 0xA0) {
      EXPECT_EQ(points[b], static_cast<char32_t>(b)) << "byte " << b;
    }
  }
  const Result<std::string> back = Utf8ToWindows1252(utf8);
  ASSERT_TRUE(back) << back.error().description;
  EXPECT_EQ(*back, bytes);
}

TEST(Windows1252, HighControlRangeFollowsTheCodePage) {
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "\u20AC");  // euro sign
  EXPECT_EQ(Windows1252ToUtf8("\x82"), "\u201A");
  EXPECT_EQ(Windows1252ToUtf8("\x8A"), "\u0160");
  EXPECT_EQ(Windows1252ToUtf8("\x93\x94"), "\u201C\u201D");
  EXPECT_EQ(Windows1252ToUtf8("\x99"), "\u2122");
  EXPECT_EQ(Windows1252ToUtf8("\x9F"), "\u0178");
  // The five undefined bytes stand for the C1 controls of the same value.
  for (const char byte : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
    const std::u32string points = CodePoints(Windows1252ToUtf8(std::string(1, byte)));
    ASSERT_EQ(points.size(), 1U);
    EXPECT_EQ(points[0], static_cast<char32_t>(static_cast<unsigned char>(byte)));
  }
  EXPECT_EQ(Windows1252ToUtf8("Caf\xE9 \xA0!"), "Caf\u00E9 \u00A0!");
  EXPECT_EQ(Windows1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Windows1252, FromUtf8MapsCodePageCharacters) {
  EXPECT_EQ(Utf8ToWindows1252("\u20AC 5").value_or("?"), "\x80 5");
  EXPECT_EQ(Utf8ToWindows1252("\u0152uvre").value_or("?"), "\x8Cuvre");
  EXPECT_EQ(Utf8ToWindows1252("\u00FF").value_or("?"), "\xFF");
  EXPECT_EQ(Utf8ToWindows1252("\u0081").value_or("?"), "\x81");
  EXPECT_EQ(Utf8ToWindows1252("").value_or("?"), "");
}

// The error names the offset of the first byte of the offending sequence.
void ExpectRejectedAt(std::string_view utf8, std::size_t offset) {
  const Result<std::string> result = Utf8ToWindows1252(utf8);
  ASSERT_FALSE(result) << "expected a rejection, got \"" << *result << "\"";
  EXPECT_EQ(result.error().code, ErrorCode::InvalidProcedureCall);
  const std::string expected = "byte offset " + std::to_string(offset);
  EXPECT_NE(result.error().description.find(expected), std::string::npos)
      << "expected \"" << expected << "\" in \"" << result.error().description << "\"";
}

TEST(Windows1252, FromUtf8RejectsCharactersOutsideTheCodePage) {
  ExpectRejectedAt("ab\u4E2D", 2);
  ExpectRejectedAt("\u0080", 0);  // its byte 0x80 is the euro sign
  ExpectRejectedAt("x\u009F", 1);
  ExpectRejectedAt("\u00E9\U0001F600", 2);
  ExpectRejectedAt("\u0100", 0);
}

TEST(Windows1252, FromUtf8RejectsInvalidUtf8) {
  ExpectRejectedAt("\x80", 0);                  // stray continuation byte
  ExpectRejectedAt("a\xC3", 1);                 // truncated
  ExpectRejectedAt("a\xE2\x82", 1);             // truncated
  ExpectRejectedAt("\xC3x", 0);                 // continuation missing
  ExpectRejectedAt("\xC0\xAF", 0);              // overlong "/"
  ExpectRejectedAt("\xC1\xBF", 0);              // overlong
  ExpectRejectedAt("\xE0\x80\xAF", 0);          // overlong
  ExpectRejectedAt("\xF0\x80\x80\xAF", 0);      // overlong
  ExpectRejectedAt("ok\xED\xA0\x80", 2);        // surrogate
  ExpectRejectedAt("\xF4\x90\x80\x80", 0);      // beyond U+10FFFF
  ExpectRejectedAt("\xF8\x88\x80\x80\x80", 0);  // five-byte form
  ExpectRejectedAt("\xFF", 0);
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(AsciiLower("/P 1234"), "/p 1234");
  EXPECT_EQ(AsciiLower("Show.SCR"), "show.scr");
  EXPECT_EQ(AsciiLower("\xC9T\xC9"), "\xC9t\xC9");  // É stays as it is
  EXPECT_EQ(AsciiLower("@[`{"), "@[`{");            // neighbours of the letter ranges
  EXPECT_TRUE(EqualsIgnoringAsciiCase("[Audio-File]", "[AUDIO-FILE]"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[AUDIO-FILE]", "[AUDIO-FILE] "));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC9", "\xE9"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));
}

TEST(TrimBlanks, RemovesOnlySpacesAtBothEnds) {
  EXPECT_EQ(TrimBlanks("  /s  "), "/s");
  EXPECT_EQ(TrimBlanks("a  b"), "a  b");
  EXPECT_EQ(TrimBlanks("\t/s\t"), "\t/s\t");
  EXPECT_EQ(TrimBlanks("    "), "");
  EXPECT_EQ(TrimBlanks(""), "");
}

// However the input is made, the quote shows at most the limit (plus "..."),
// escapes included, and never half of a UTF-8 sequence.
TEST(InputExcerpt, ShowsAtMostTheLimitWhateverTheBytes) {
  constexpr std::size_t kLimit = limits::kMaxQuotedInputChars;
  const std::string e2 = "\xC3\xA9";
  for (const std::string& input :
       {std::string(5000, 'a'), std::string(5000, '\x7F'), std::string(5000, '\n'),
        std::string(kLimit - 1, 'a') + e2 + std::string(10, 'a'),
        std::string(kLimit - 2, 'a') + "\x01", AllBytes() + AllBytes()}) {
    const std::string excerpt = InputExcerpt(input);
    EXPECT_LE(excerpt.size(), kLimit + 3) << excerpt;
    EXPECT_EQ(excerpt.find_first_of(std::string("\n\r\x7F\0", 4)), std::string::npos);
    const std::size_t shown = excerpt.ends_with("...") ? excerpt.size() - 3 : excerpt.size();
    ASSERT_GT(shown, 0U);
    EXPECT_NE(static_cast<unsigned char>(excerpt[shown - 1]), 0xC3U) << excerpt;
  }
  EXPECT_EQ(InputExcerpt("key\x01"), "key\\x01");
}

// Names and quotes cut to a length stay whole UTF-8: a cut inside a sequence
// makes a name that Windows' conversion refuses.
TEST(Utf8PrefixLength, NeverEndsInsideASequence) {
  struct Case {
    std::string text;
    std::size_t max;
    std::size_t expected;
  };
  const std::string e2 = "\xC3\xA9";          // é
  const std::string e4 = "\xF0\x9F\x98\x80";  // an emoji
  for (const Case& c :
       {Case{"abc", 10, 3}, Case{"abcdef", 4, 4}, Case{"a" + e2, 2, 1}, Case{"a" + e2, 3, 3},
        Case{e4 + e4, 7, 4}, Case{e4, 3, 0}, Case{e2 + e2, 3, 2}}) {
    EXPECT_EQ(Utf8PrefixLength(c.text, c.max), c.expected) << c.text << " / " << c.max;
  }
}

}  // namespace
}  // namespace vistel
