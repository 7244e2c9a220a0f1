#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "base/text.hpp"
#include "media/fonts/coverage.hpp"
#include "media/fonts/fontconfig_font_service.hpp"

namespace vistel {
namespace {

constexpr Pixel kWhite = MakePixel(255, 255, 255);

FontRequest Request(std::string face, float points, bool bold = false, bool italic = false) {
  FontRequest request;
  request.faceName = std::move(face);
  request.sizePoints = points;
  request.bold = bold;
  request.italic = italic;
  return request;
}

bool FileNameContains(const ResolvedFace& face, const std::string& part) {
  return face.file.find(part) != std::string::npos;
}

// Pixels that differ from the background, and their bounding box.
struct Ink {
  int count = 0;
  IntRect bounds{};
};

Ink InkOf(const Image& image, Pixel background) {
  Ink ink;
  int left = image.Width(), top = image.Height(), right = -1, bottom = -1;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      if (image.At(x, y) == background) continue;
      ++ink.count;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (ink.count > 0) ink.bounds = {left, top, right - left + 1, bottom - top + 1};
  return ink;
}

class FontServiceTest : public ::testing::Test {
 protected:
  FontconfigFontService service;
};

TEST_F(FontServiceTest, CoreFontNamesResolveToTheirMetricCompatibleFaces) {
  EXPECT_TRUE(FileNameContains(service.Resolve(Request("Arial", 12)), "LiberationSans-Regular"))
      << service.Resolve(Request("Arial", 12)).file;
  EXPECT_TRUE(FileNameContains(service.Resolve(Request("Times New Roman", 12)), "LiberationSerif"));
  EXPECT_TRUE(FileNameContains(service.Resolve(Request("Courier New", 12)), "LiberationMono"));
  // fontconfig compares names without case or blanks, as Windows does case.
  EXPECT_TRUE(FileNameContains(service.Resolve(Request("arial", 12)), "LiberationSans"));

  const ResolvedFace bold = service.Resolve(Request("Arial", 12, true));
  EXPECT_TRUE(FileNameContains(bold, "LiberationSans-Bold")) << bold.file;
  EXPECT_FALSE(bold.syntheticBold);
  const ResolvedFace boldItalic = service.Resolve(Request("Arial", 12, true, true));
  EXPECT_TRUE(FileNameContains(boldItalic, "LiberationSans-BoldItalic")) << boldItalic.file;
  EXPECT_FALSE(boldItalic.syntheticItalic);
}

TEST_F(FontServiceTest, UnknownAndEmptyNamesGetTheDefaultSansSerifFace) {
  for (const std::string name : {"No Such Face 1234", "", "Ar\xE9\x80l:bold"}) {
    const ResolvedFace face = service.Resolve(Request(name, 12));
    EXPECT_TRUE(face.family == "DejaVu Sans" || face.family == "Liberation Sans")
        << "name '" << Windows1252ToUtf8(name) << "' resolved to '" << face.family << "' in "
        << face.file;
    // The name is a literal family: ":bold" is not read as a style.
    EXPECT_FALSE(FileNameContains(face, "Bold")) << face.file;
  }
}

TEST_F(FontServiceTest, MissingStylesAreSynthesisedAndShow) {
  // A family with a single upright regular face.
  const std::string family = "DejaVu Math TeX Gyre";
  const ResolvedFace plain = service.Resolve(Request(family, 12));
  if (plain.family != family) GTEST_SKIP() << family << " is not installed";
  const ResolvedFace styled = service.Resolve(Request(family, 12, true, true));
  EXPECT_TRUE(styled.syntheticBold);
  EXPECT_TRUE(styled.syntheticItalic);

  const auto regular = service.OpenFont(Request(family, 24));
  const auto bold = service.OpenFont(Request(family, 24, true));
  const auto italic = service.OpenFont(Request(family, 24, false, true));
  EXPECT_GT(bold->TextWidthPixels("Illl"), regular->TextWidthPixels("Illl"));
  // Slanting keeps advances but moves ink: an upright I's top and bottom
  // start in the same column, a slanted one's do not.
  // (A mathematical face has a tall line box: room for it.)
  Image upright(80, 200, kWhite), slanted(80, 200, kWhite);
  regular->DrawText(upright, 10, 0, "I", 0);
  italic->DrawText(slanted, 10, 0, "I", 0);
  EXPECT_EQ(italic->TextWidthPixels("I"), regular->TextWidthPixels("I"));
  EXPECT_NE(upright, slanted);
  EXPECT_GT(InkOf(slanted, kWhite).bounds.width, InkOf(upright, kWhite).bounds.width);
}

TEST_F(FontServiceTest, MetricsFollowTheWindowsRuleAndScaleWithSize) {
  // 12 pt at 96 ppi is a 16-pixel em; Liberation Sans has Arial's Windows
  // ascent 1854 and descent 434 of 2048 units: 14.48 -> 14 and 3.39 -> 3.
  const auto arial12 = service.OpenFont(Request("Arial", 12));
  EXPECT_EQ(arial12->AscentPixels(), 14);
  EXPECT_EQ(arial12->LineHeightPixels(), 17);
  // 24 pt: ascent 28.97 -> 29, descent 6.78 -> 7.
  const auto arial24 = service.OpenFont(Request("Arial", 24));
  EXPECT_EQ(arial24->AscentPixels(), 29);
  EXPECT_EQ(arial24->LineHeightPixels(), 36);
  // The same em through the pixels per inch instead of the size.
  FontRequest dense = Request("Arial", 12);
  dense.pixelsPerInch = 192.0F;
  EXPECT_EQ(service.OpenFont(dense)->LineHeightPixels(), 36);

  const std::string text = "Vistel caption";
  const std::int64_t width12 = arial12->TextWidthPixels(text);
  const std::int64_t width24 = arial24->TextWidthPixels(text);
  EXPECT_GT(width12, 0);
  // Whole-pixel advances round per glyph: within one pixel per character.
  EXPECT_LE(std::abs(width24 - 2 * width12), static_cast<std::int64_t>(text.size()));
  EXPECT_EQ(arial12->TextWidthPixels(""), 0);
}

TEST_F(FontServiceTest, BoldIsWiderThanRegular) {
  const std::string text = "Screen saver";
  EXPECT_GT(service.OpenFont(Request("Arial", 12, true))->TextWidthPixels(text),
            service.OpenFont(Request("Arial", 12))->TextWidthPixels(text));
}

TEST_F(FontServiceTest, AFontOutlivesOtherOpensAndItsService) {
  std::unique_ptr<Font> font;
  std::int64_t expected = 0;
  {
    FontconfigFontService local;
    font = local.OpenFont(Request("Arial", 12));
    expected = font->TextWidthPixels("abc");
    // Enough other sizes to push the first one out of the cache.
    for (int points = 5; points < 60; ++points) {
      local.OpenFont(Request("Arial", static_cast<float>(points), true));
    }
  }
  EXPECT_EQ(font->TextWidthPixels("abc"), expected);
  Image image(40, 20, kWhite);
  font->DrawText(image, 0, 0, "abc", 0);
  EXPECT_GT(InkOf(image, kWhite).count, 0);
}

TEST_F(FontServiceTest, FullCoverageDrawsExactlyTheTextColourAndEdgesBlendTowardsIt) {
  const auto font = service.OpenFont(Request("Arial", 48, true));
  const Pixel back = MakePixel(0, 0, 255);
  const Pixel fore = MakePixel(255, 0, 0);
  Image image(80, 80, back);
  font->DrawText(image, 5, 5, "H", fore);
  int exact = 0, blended = 0;
  for (const Pixel p : image.Pixels()) {
    if (p == fore) ++exact;
    if (p != fore && p != back) ++blended;
    // Every pixel lies on the line from the fill to the text colour.
    EXPECT_EQ(PixelGreen(p), 0U);
    EXPECT_EQ(PixelRed(p) + PixelBlue(p), 255U) << std::hex << p;
  }
  EXPECT_GT(exact, 100) << "a 48-pt bold H should have solid stems";
  EXPECT_GT(blended, 0) << "anti-aliased edges expected";
  // The ink stays inside the line box that starts at (5, 5).
  const IntRect bounds = InkOf(image, back).bounds;
  EXPECT_GE(bounds.left, 5);
  EXPECT_GE(bounds.top, 5);
  EXPECT_LE(bounds.Bottom(), 5 + font->LineHeightPixels());
  EXPECT_LE(bounds.Right(), 5 + font->TextWidthPixels("H") + 1);
}

TEST_F(FontServiceTest, Windows1252LettersHaveGlyphs) {
  const auto font = service.OpenFont(Request("Arial", 16));
  for (const char* bytes : {"\xE9", "\x80", "\xC4", "\x9C"}) {  // e acute, euro, A umlaut, oe
    const std::string utf8 = Windows1252ToUtf8(bytes);
    Image image(40, 40, kWhite);
    font->DrawText(image, 2, 2, utf8, 0);
    EXPECT_GT(InkOf(image, kWhite).count, 10) << "no ink for " << utf8;
    EXPECT_GT(font->TextWidthPixels(utf8), 0) << utf8;
  }
}

TEST_F(FontServiceTest, DrawingClipsToTheImage) {
  const auto font = service.OpenFont(Request("Arial", 20));
  const std::string text = "Clipped text";
  Image whole(200, 40, kWhite);
  font->DrawText(whole, 0, 0, text, 0);
  // The same text shifted half out to the top-left: what is left is the
  // matching part of the whole drawing.
  Image part(200, 40, kWhite);
  font->DrawText(part, -30, -10, text, 0);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 170; ++x)
      ASSERT_EQ(part.At(x, y), whole.At(x + 30, y + 10)) << x << "," << y;
  }
  // Entirely outside, or into an empty image: nothing drawn, nothing broken.
  Image untouched(50, 20, kWhite);
  font->DrawText(untouched, 60, 0, text, 0);
  font->DrawText(untouched, -5000, 0, text, 0);
  font->DrawText(untouched, 0, 100, text, 0);
  EXPECT_EQ(InkOf(untouched, kWhite).count, 0);
  Image empty;
  font->DrawText(empty, 0, 0, text, 0);
}

TEST_F(FontServiceTest, InvalidUtf8IsMeasuredAsReplacementCharacters) {
  const auto font = service.OpenFont(Request("Arial", 12));
  const std::int64_t replacement = font->TextWidthPixels("\xEF\xBF\xBD");
  EXPECT_EQ(font->TextWidthPixels("\xFF"), replacement);
  EXPECT_EQ(font->TextWidthPixels("\xC3"), replacement);              // truncated
  EXPECT_EQ(font->TextWidthPixels("\xE0\x80\x80"), 3 * replacement);  // overlong
  EXPECT_EQ(font->TextWidthPixels("\xED\xA0\x80"), 3 * replacement);  // surrogate
}

TEST(CoverageBlend, RoundsTheExactMixToNearest) {
  for (unsigned coverage = 0; coverage < 256; ++coverage) {
    for (unsigned under = 0; under < 256; under += 3) {
      for (const unsigned color : {0U, 1U, 127U, 128U, 254U, 255U}) {
        const double exact = (color * coverage + under * (255.0 - coverage)) / 255.0;
        ASSERT_EQ(BlendChannel(under, color, coverage), static_cast<unsigned>(exact + 0.5))
            << "under " << under << " colour " << color << " coverage " << coverage;
      }
    }
  }
  EXPECT_EQ(BlendCoverage(MakePixel(1, 2, 3), MakePixel(200, 100, 50), 255),
            MakePixel(200, 100, 50));
  EXPECT_EQ(BlendCoverage(MakePixel(1, 2, 3), MakePixel(200, 100, 50), 0), MakePixel(1, 2, 3));
}

// ---- Hostile captions: long lines at the largest size.

std::string Repeated(const std::string& unit, std::size_t times) {
  std::string text;
  text.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += unit;
  return text;
}

// Every printable ASCII letter once.
std::string PrintableAscii() {
  std::string text;
  for (char c = '!'; c <= '~'; ++c) text += c;
  return text;
}

// A line far wider than an int counts in pixels: measured and drawn in 64
// bits, with no overflow on the way (the sanitizer build checks).
struct LongLineCase {
  const char* name;
  std::string unit;  // repeated `times` times
  std::size_t times;
  bool bold;
};

class LongLineTest : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(LongLineTest, IsMeasuredAndDrawnToItsFarEnd) {
  const LongLineCase& c = GetParam();
  FontconfigFontService service;
  const auto font = service.OpenFont(Request("Arial", 2160, c.bold));
  const std::string text = Repeated(c.unit, c.times);
  // Kerning joins one repeat to the next: what two repeats add to twice one.
  const std::int64_t unit = font->TextWidthPixels(c.unit);
  const std::int64_t joint = font->TextWidthPixels(c.unit + c.unit) - 2 * unit;
  const auto times = static_cast<std::int64_t>(c.times);
  const std::int64_t width = font->TextWidthPixels(text);
  EXPECT_EQ(width, times * unit + (times - 1) * joint);
  EXPECT_GT(width, std::int64_t{std::numeric_limits<int>::max()});

  // The line's end drawn into a picture of only the end: ink, from the
  // last repeat alone.
  Image end(static_cast<int>(unit) + 40, font->LineHeightPixels(), kWhite);
  font->DrawText(end, static_cast<std::int64_t>(end.Width()) - width, 0, text, 0);
  EXPECT_GT(InkOf(end, kWhite).count, 1000);
  EXPECT_LE(service.GlyphCacheInUse().glyphs, c.unit.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, LongLineTest,
    ::testing::Values(LongLineCase{"MebibyteOfW", "W", std::size_t{1} << 20, false},
                      LongLineCase{"BoldWithEuroSigns", "W\xE2\x82\xAC", std::size_t{1} << 20,
                                   true},
                      LongLineCase{"KernedPairs", "AV", std::size_t{1} << 20, false}),
    [](const ::testing::TestParamInfo<LongLineCase>& param) {
      return std::string(param.param.name);
    });

// Measuring renders no glyph, and drawing renders only the glyphs whose ink
// reaches the picture.
struct CullCase {
  const char* name;
  std::int64_t x;  // where the line starts: 0 is the picture's left edge
  std::int64_t y;
  std::size_t rendered;  // at most this many glyphs
  bool draws;            // false: only measured
};

class GlyphCullTest : public ::testing::TestWithParam<CullCase> {};

TEST_P(GlyphCullTest, RendersOnlyGlyphsWhoseInkReachesThePicture) {
  const CullCase& c = GetParam();
  FontconfigFontService service;
  const auto font = service.OpenFont(Request("Arial", 150));  // 200-pixel em
  const std::string text = PrintableAscii();
  const std::int64_t width = font->TextWidthPixels(text);
  Image picture(300, 300, kWhite);
  // Negative x counts from the line's end: -1 puts the last pixel at the
  // picture's left edge.
  if (c.draws) font->DrawText(picture, c.x < 0 ? c.x - width + 300 : c.x, c.y, text, 0);
  EXPECT_LE(service.GlyphCacheInUse().glyphs, c.rendered);
  EXPECT_EQ(InkOf(picture, kWhite).count > 0, c.rendered > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GlyphCullTest,
    ::testing::Values(
        CullCase{"MeasuredOnly", 0, 0, 0, false}, CullCase{"RightOfThePicture", 400, 0, 0, true},
        CullCase{"FarLeftOfThePicture", std::int64_t{-1} << 40, 0, 0, true},
        CullCase{"BelowThePicture", 0, 400, 0, true}, CullCase{"AboveThePicture", 0, -400, 0, true},
        CullCase{"OnlyItsStart", 0, 0, 6, true}, CullCase{"OnlyItsEnd", -1, 0, 6, true}),
    [](const ::testing::TestParamInfo<CullCase>& param) { return std::string(param.param.name); });

// The rendered glyphs of all faces and sizes stay within the cache's budget
// in bytes, and what is drawn does not depend on what was evicted.
struct BudgetCase {
  const char* name;
  float points;
  std::size_t budgetBytes;
  bool keepsAll;  // the budget holds every glyph drawn
};

class GlyphBudgetTest : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(GlyphBudgetTest, HoldsAndDrawsTheSameAsAnUnboundedCache) {
  const BudgetCase& c = GetParam();
  FontconfigFontService bounded(c.budgetBytes);
  FontconfigFontService reference(std::size_t{1} << 40);
  const std::string letters = PrintableAscii().substr(0, 24);
  std::size_t drawn = 0;
  // Twice: the second round draws glyphs the first may have evicted.
  for (int round = 0; round < 2; ++round) {
    for (const char* face : {"Arial", "Times New Roman"}) {
      for (const bool bold : {false, true}) {
        const auto font = bounded.OpenFont(Request(face, c.points, bold));
        const auto expected = reference.OpenFont(Request(face, c.points, bold));
        for (const char letter : letters) {
          const std::string text(1, letter);
          const auto side = static_cast<int>(font->TextWidthPixels(text)) + 8;
          Image actual(side, font->LineHeightPixels(), kWhite), wanted = actual;
          font->DrawText(actual, 4, 0, text, 0);
          expected->DrawText(wanted, 4, 0, text, 0);
          ASSERT_EQ(actual, wanted) << face << (bold ? " bold " : " ") << letter;
          ASSERT_LE(bounded.GlyphCacheInUse().bytes, c.budgetBytes);
          drawn += round == 0 ? 1 : 0;
        }
      }
    }
  }
  if (c.keepsAll) {
    EXPECT_EQ(bounded.GlyphCacheInUse().glyphs, drawn);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GlyphBudgetTest,
    ::testing::Values(BudgetCase{"SmallTextIsKeptWhole", 12.0F, std::size_t{1} << 20, true},
                      BudgetCase{"LargeGlyphsAreEvicted", 150.0F, std::size_t{1} << 19, false},
                      BudgetCase{"GlyphsLargerThanTheBudget", 150.0F, 4096, false}),
    [](const ::testing::TestParamInfo<BudgetCase>& param) {
      return std::string(param.param.name);
    });

}  // namespace
}  // namespace vistel
