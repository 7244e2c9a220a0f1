#include "imaging/caption_box.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "media/ffmpeg/encoders.hpp"
#include "media/fonts/fontconfig_font_service.hpp"

namespace vistel {
namespace {

// ---- A font with round numbers: every character is a 6-pixel cell (7 when
// bold) whose ink is a 4 x 7 block, lines are em + 2 pixels tall.
class CellFont final : public Font {
 public:
  explicit CellFont(const FontRequest& request)
      : cell_(request.bold ? 7 : 6),
        lineHeight_(
            static_cast<int>(std::lround(request.sizePoints * request.pixelsPerInch / 72.0F)) + 2) {
  }
  int LineHeightPixels() const override { return lineHeight_; }
  int AscentPixels() const override { return lineHeight_ - 2; }
  std::int64_t TextWidthPixels(std::string_view utf8) const override {
    return cell_ * CodePoints(utf8);
  }
  void DrawText(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8,
                Pixel color) const override {
    // Only the cells that reach the picture, as a real font renders only
    // the glyphs that do.
    const std::int64_t first = std::max<std::int64_t>(0, (-x - 5) / cell_);
    const std::int64_t last = std::min(CodePoints(utf8), (target.Width() - x) / cell_ + 1);
    for (std::int64_t i = first; i < last; ++i) {
      for (int dy = 1; dy <= 7; ++dy) {
        for (int dx = 1; dx <= 4; ++dx) {
          const std::int64_t px = x + i * cell_ + dx, py = y + dy;
          if (px >= 0 && py >= 0 && px < target.Width() && py < target.Height()) {
            target.At(static_cast<int>(px), static_cast<int>(py)) = color;
          }
        }
      }
    }
  }

 private:
  static std::int64_t CodePoints(std::string_view utf8) {
    std::int64_t count = 0;
    for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1 : 0;
    return count;
  }
  int cell_;
  int lineHeight_;
};

class CellFontService final : public FontService {
 public:
  std::unique_ptr<Font> OpenFont(const FontRequest& request) override {
    requests.push_back(request);
    return std::make_unique<CellFont>(request);
  }
  std::vector<FontRequest> requests;
};

constexpr Pixel kWhite = MakePixel(255, 255, 255);

int CountPixels(const Image& image, Pixel value) {
  int count = 0;
  for (const Pixel p : image.Pixels()) count += p == value ? 1 : 0;
  return count;
}

// Sizes the box to its text the way a caption is sized: text plus the
// 60-twip allowance of the three-dimensional appearance.
void SizeToText(CaptionBox& box, std::string_view text) {
  const float allowance = box.Appearance() == 1 ? 60.0F : 0.0F;
  ASSERT_TRUE(box.SetWidth(box.TextWidth(text) + allowance));
  ASSERT_TRUE(box.SetHeight(box.TextHeight(text) + allowance));
}

class CaptionBoxTest : public ::testing::Test {
 protected:
  CellFontService fonts;
  CaptionBox box{fonts};  // 15 twips per pixel
};

TEST_F(CaptionBoxTest, EachFontAttributeReopensTheFontKeepingTheOthers) {
  box.SetFontName("Ari\xE9l");  // stays Windows-1252: the service converts
  ASSERT_TRUE(box.SetFontSize(12.0F));
  box.SetFontBold(true);
  box.SetFontItalic(true);
  box.SetFontBold(false);
  box.TextWidth("x");  // the font opens when the box first measures or draws
  const FontRequest& last = fonts.requests.back();
  EXPECT_EQ(last.faceName, "Ari\xE9l");
  EXPECT_EQ(last.sizePoints, 12.0F);
  EXPECT_FALSE(last.bold);
  EXPECT_TRUE(last.italic);
  EXPECT_EQ(last.pixelsPerInch, 96.0F);
  EXPECT_EQ(box.FontName(), "Ari\xE9l");

  // A display of 12 twips per pixel has 120 pixels per inch.
  box.SetTwipsPerPixel({12.0F, 12.0F});
  box.TextWidth("x");
  EXPECT_EQ(fonts.requests.back().pixelsPerInch, 120.0F);
  EXPECT_EQ(fonts.requests.back().faceName, "Ari\xE9l");
}

TEST_F(CaptionBoxTest, FontSizesOutsideTheWindowSystemsRangeAreRejected) {
  ASSERT_TRUE(box.SetFontSize(12.0F));
  const std::size_t opens = fonts.requests.size();
  for (const float bad : {0.0F, -12.0F, 2160.5F, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity()}) {
    const Status status = box.SetFontSize(bad);
    ASSERT_FALSE(status) << bad;
    EXPECT_EQ(status.error().code, ErrorCode::InvalidPropertyValue);
  }
  EXPECT_EQ(box.FontSize(), 12.0F);
  EXPECT_EQ(fonts.requests.size(), opens);
  EXPECT_TRUE(box.SetFontSize(2160.0F));
}

TEST_F(CaptionBoxTest, TextIsMeasuredInTwipsByWidestLineAndAllLines) {
  ASSERT_TRUE(box.SetFontSize(12.0F));  // 16-pixel em: 18-pixel lines
  EXPECT_EQ(box.TextWidth("abcd"), 4 * 6 * 15.0F);
  EXPECT_EQ(box.TextHeight("abcd"), 18 * 15.0F);
  // Two lines: as tall as two lines, as wide as the longer line.
  EXPECT_EQ(box.TextWidth("ab\r\ncdefg"), 5 * 6 * 15.0F);
  EXPECT_EQ(box.TextWidth("abcdefg\r\nab"), 7 * 6 * 15.0F);
  EXPECT_EQ(box.TextHeight("ab\r\ncdefg"), 2 * box.TextHeight("ab"));
  // An empty text is one empty line; a final CR LF starts another; a lone
  // CR or LF is no line break.
  EXPECT_EQ(box.TextWidth(""), 0.0F);
  EXPECT_EQ(box.TextHeight(""), 18 * 15.0F);
  EXPECT_EQ(box.TextHeight("ab\r\n"), 2 * 18 * 15.0F);
  EXPECT_EQ(box.TextHeight("a\rb\nc"), 18 * 15.0F);
  // Windows-1252 bytes are measured as the characters they stand for (one
  // cell each, though the euro sign is three bytes of UTF-8).
  EXPECT_EQ(box.TextWidth("caf\xE9 \x80"), 6 * 6 * 15.0F);
  box.SetFontBold(true);
  EXPECT_EQ(box.TextWidth("abcd"), 4 * 7 * 15.0F);
}

TEST_F(CaptionBoxTest, AppearanceAcceptsOnlyFlatAndThreeDimensional) {
  EXPECT_EQ(box.Appearance(), 0);
  ASSERT_TRUE(box.SetAppearance(1));
  for (const int bad : {2, -1, 65536 + 1}) {
    const Status status = box.SetAppearance(bad);
    ASSERT_FALSE(status) << bad;
    EXPECT_EQ(status.error().code, ErrorCode::InvalidPropertyValue);
    EXPECT_EQ(box.Appearance(), 1) << "after " << bad;
  }
  ASSERT_TRUE(box.SetAppearance(0));
  EXPECT_FALSE(box.SetAppearance(2));
  EXPECT_EQ(box.Appearance(), 0);
}

TEST_F(CaptionBoxTest, ThreeDimensionalBoxIsFourPixelsLargerWithTheTextAtTheInsideCorner) {
  const std::string text = "Two\r\nlines";
  ASSERT_TRUE(box.SetFontSize(12.0F));
  box.SetBackColor(MakeColorRef(255, 255, 255));
  SizeToText(box, text);
  box.Cls();
  box.Print(text);
  const Image flat = box.Image();
  ASSERT_EQ(flat.Extent(), (IntSize{5 * 6, 2 * 18}));

  ASSERT_TRUE(box.SetAppearance(1));
  SizeToText(box, text);
  box.Cls();
  box.Print(text);
  const Image raised = box.Image();
  EXPECT_EQ(box.Width(), static_cast<float>(flat.Width()) * 15.0F + 60.0F);
  EXPECT_EQ(box.Height(), static_cast<float>(flat.Height()) * 15.0F + 60.0F);
  ASSERT_EQ(raised.Extent(), (IntSize{flat.Width() + 4, flat.Height() + 4}));
  EXPECT_EQ(box.InsideRect(), (LongRect{2, 2, flat.Width(), flat.Height()}));
  // The inside holds exactly the flat box's picture.
  for (int y = 0; y < flat.Height(); ++y) {
    for (int x = 0; x < flat.Width(); ++x) {
      ASSERT_EQ(raised.At(x + 2, y + 2), flat.At(x, y)) << x << "," << y;
    }
  }
  // A sunken edge: shadow at the top-left, highlight at the bottom-right.
  const int w = raised.Width(), h = raised.Height();
  EXPECT_EQ(raised.At(0, 0), MakePixel(128, 128, 128));
  EXPECT_EQ(raised.At(w / 2, 1), MakePixel(0, 0, 0));
  EXPECT_EQ(raised.At(1, h / 2), MakePixel(0, 0, 0));
  EXPECT_EQ(raised.At(w - 1, h - 1), kWhite);
  EXPECT_EQ(raised.At(w - 2, h / 2), MakePixel(192, 192, 192));
  EXPECT_EQ(raised.At(w / 2, h - 2), MakePixel(192, 192, 192));
}

TEST_F(CaptionBoxTest, PrintDrawsLineByLineInTheForeColourOnTheFillColour) {
  ASSERT_TRUE(box.SetFontSize(12.0F));
  box.SetForeColor(MakeColorRef(0x12, 0x34, 0x56));
  box.SetBackColor(MakeColorRef(0xAB, 0xCD, 0xEF));
  const Pixel fore = MakePixel(0x12, 0x34, 0x56), back = MakePixel(0xAB, 0xCD, 0xEF);
  SizeToText(box, "ab\r\nc");
  box.Cls();
  box.Print("ab\r\nc");
  const Image& image = box.Image();
  // Three cells of 4 x 7 ink, everything else exactly the fill colour.
  EXPECT_EQ(CountPixels(image, fore), 3 * 28);
  EXPECT_EQ(CountPixels(image, back), image.Width() * image.Height() - 3 * 28);
  EXPECT_EQ(image.At(1, 1), fore);       // a
  EXPECT_EQ(image.At(7, 1), fore);       // b
  EXPECT_EQ(image.At(1, 18 + 1), fore);  // c: the next line starts at the left
  EXPECT_EQ(image.At(7, 18 + 1), back);
  EXPECT_EQ(box.CurrentX(), 0.0F);
  EXPECT_EQ(box.CurrentY(), 2 * 18 * 15.0F);
  // The next Print continues below.
  ASSERT_TRUE(box.SetHeight(3 * 18 * 15.0F));
  box.Print("d");
  EXPECT_EQ(box.Image().At(1, 2 * 18 + 1), fore);
}

TEST_F(CaptionBoxTest, ClsErasesAndMovesThePositionToTheInsideCorner) {
  ASSERT_TRUE(box.SetWidth(300.0F));
  ASSERT_TRUE(box.SetHeight(600.0F));
  box.Print("x\r\ny");
  EXPECT_GT(box.CurrentY(), 0.0F);
  box.Cls();
  EXPECT_EQ(box.CurrentX(), 0.0F);
  EXPECT_EQ(box.CurrentY(), 0.0F);
  EXPECT_EQ(CountPixels(box.Image(), kWhite), 20 * 40);
}

TEST_F(CaptionBoxTest, ANewFillColourErasesTheDrawingButKeepsThePosition) {
  ASSERT_TRUE(box.SetWidth(300.0F));
  ASSERT_TRUE(box.SetHeight(600.0F));
  box.Print("x");
  const float y = box.CurrentY();
  box.SetBackColor(MakeColorRef(0, 128, 0));
  EXPECT_EQ(CountPixels(box.Image(), MakePixel(0, 128, 0)), 20 * 40);
  EXPECT_EQ(box.CurrentY(), y);
}

TEST_F(CaptionBoxTest, SystemColoursTakeTheClassicScheme) {
  ASSERT_TRUE(box.SetWidth(150.0F));
  ASSERT_TRUE(box.SetHeight(150.0F));
  box.SetBackColor(0x8000000FU);  // button face
  EXPECT_EQ(box.Image().At(5, 5), MakePixel(192, 192, 192));
  box.SetBackColor(0x80000018U);  // tooltip background
  EXPECT_EQ(box.Image().At(5, 5), MakePixel(255, 255, 225));
}

TEST_F(CaptionBoxTest, TheKeptPictureIsWhatClsErasesBackTo) {
  ASSERT_TRUE(box.SetWidth(300.0F));
  ASSERT_TRUE(box.SetHeight(300.0F));
  box.Print("ab");
  const Image drawn = box.Image();
  box.KeepDrawingAsPicture();
  EXPECT_TRUE(box.HasPicture());
  box.Cls();
  EXPECT_EQ(box.Image(), drawn);
  box.ClearPicture();
  box.Cls();
  EXPECT_EQ(CountPixels(box.Image(), kWhite), 20 * 20);
}

TEST_F(CaptionBoxTest, ResizingKeepsTheDrawingAndFillsNewRoom) {
  ASSERT_TRUE(box.SetWidth(150.0F));
  ASSERT_TRUE(box.SetHeight(150.0F));
  box.Print("a");
  box.SetForeColor(0);
  ASSERT_TRUE(box.SetWidth(450.0F));
  const Image& image = box.Image();
  ASSERT_EQ(image.Extent(), (IntSize{30, 10}));
  EXPECT_EQ(image.At(1, 1), MakePixel(0, 0, 0));
  EXPECT_EQ(image.At(25, 5), kWhite);
}

TEST_F(CaptionBoxTest, PlacementSnapsToWholePixelsAndRejectsNonsense) {
  ASSERT_TRUE(box.SetLeft(100.0F));  // 6.67 px
  EXPECT_EQ(box.Left(), 105.0F);
  ASSERT_TRUE(box.SetTop(22.5F));  // 1.5 px: ties go to even
  EXPECT_EQ(box.Top(), 30.0F);
  ASSERT_TRUE(box.SetTop(37.5F));  // 2.5 px
  EXPECT_EQ(box.Top(), 30.0F);
  ASSERT_TRUE(box.SetLeft(-150.0F));
  EXPECT_EQ(box.PixelRect().left, -10);

  ASSERT_TRUE(box.SetWidth(3000.0F));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(box.SetWidth(-15.0F).error().code, ErrorCode::InvalidPropertyValue);
  EXPECT_EQ(box.SetWidth(nan).error().code, ErrorCode::InvalidPropertyValue);
  EXPECT_EQ(box.SetLeft(inf).error().code, ErrorCode::InvalidPropertyValue);
  EXPECT_EQ(box.SetTop(1.0e30F).error().code, ErrorCode::Overflow);
  EXPECT_EQ(box.Width(), 3000.0F);
  EXPECT_EQ(box.Top(), 30.0F);
  // A size larger than any screen is kept as it is; its picture is bounded.
  ASSERT_TRUE(box.SetHeight(1.5e10F));
  EXPECT_EQ(box.Height(), 1.5e10F);
  EXPECT_EQ(box.Image().Extent(), (IntSize{200, CaptionBox::kMaxSidePixels}));
}

TEST_F(CaptionBoxTest, VisibilityZOrderAndRefreshAreSeenByTheHost) {
  EXPECT_FALSE(box.Visible());
  const auto before = box.Revision();
  box.SetVisible(true);
  EXPECT_TRUE(box.Visible());
  EXPECT_NE(box.Revision(), before);
  const auto shown = box.Revision();
  box.Refresh();
  EXPECT_NE(box.Revision(), shown);
  const auto z = box.ZOrderCount();
  box.ZOrder();
  EXPECT_EQ(box.ZOrderCount(), z + 1);
}

// ---- Boxes far larger than the screen: sized exactly to their text, but
// only the part in the window is rendered.

struct HugeCaptionCase {
  const char* name;
  int cells;  // the first and the last line: this many letters
  int lines;  // the others: one letter each
  bool threeD;
  bool alignRight;   // the box's right edge on the window's (else its left)
  bool alignBottom;  // the box's bottom edge on the window's (else its top)
  IntPoint ink;      // a pixel of the text that shows, in the window
};

class HugeCaptionTest : public ::testing::TestWithParam<HugeCaptionCase> {};

TEST_P(HugeCaptionTest, KeepsItsExactSizeAndDrawsWhatShows) {
  const HugeCaptionCase& c = GetParam();
  constexpr IntRect window{0, 0, 800, 600};
  CellFontService fonts;
  CaptionBox box{fonts};
  ASSERT_TRUE(box.SetFontSize(12.0F));  // 6-pixel cells, 18-pixel lines
  ASSERT_TRUE(box.SetAppearance(c.threeD ? 1 : 0));
  box.SetForeColor(MakeColorRef(0, 0, 255));
  const std::string wide(static_cast<std::size_t>(c.cells), 'x');
  std::string text = wide;
  for (int i = 2; i < c.lines; ++i) text += "\r\nx";
  if (c.lines > 1) text += "\r\n" + wide;
  SizeToText(box, text);
  const int border = c.threeD ? 4 : 0;
  EXPECT_EQ(box.Width(), static_cast<float>(6 * c.cells + border) * 15.0F);
  EXPECT_EQ(box.Height(), static_cast<float>(18 * c.lines + border) * 15.0F);
  box.Cls();
  box.Print(text);
  ASSERT_TRUE(box.SetLeft(c.alignRight ? 800 * 15.0F - box.Width() : 0.0F));
  ASSERT_TRUE(box.SetTop(c.alignBottom ? 600 * 15.0F - box.Height() : 0.0F));

  const CaptionBox::ShownPart part = box.Shown(window);
  const LongRect overlap = box.PixelRect().Intersected({0, 0, 800, 600});
  EXPECT_EQ(part.origin, (IntPoint{static_cast<int>(overlap.left), static_cast<int>(overlap.top)}));
  ASSERT_EQ(part.image.Extent(),
            (IntSize{static_cast<int>(overlap.width), static_cast<int>(overlap.height)}));
  EXPECT_EQ(part.image.At(c.ink.x - part.origin.x, c.ink.y - part.origin.y), MakePixel(0, 0, 255));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HugeCaptionTest,
    ::testing::Values(
        // 1.2 million pixels wide: the end of the line at the right edge.
        HugeCaptionCase{"LongLineRightEnd", 200000, 1, false, true, false, {800 - 6 + 1, 1}},
        // 360,000 pixels tall: the last line at the bottom edge.
        HugeCaptionCase{"TallTextBottom", 2, 20000, false, false, true, {1, 600 - 18 + 1}},
        // Both, with the border's two pixels inside the window's corner.
        HugeCaptionCase{"ThreeDEndOfBoth",
                        200000,
                        20000,
                        true,
                        true,
                        true,
                        {800 - 2 - 6 + 1, 600 - 2 - 18 + 1}},
        HugeCaptionCase{"ThreeDStartOfBoth", 200000, 20000, true, false, false, {2 + 1, 2 + 1}}),
    [](const ::testing::TestParamInfo<HugeCaptionCase>& param) {
      return std::string(param.param.name);
    });

// ---- With the real fonts.

class CaptionBoxFontTest : public ::testing::Test {
 protected:
  FontconfigFontService fonts;
  CaptionBox box{fonts};
};

TEST_F(CaptionBoxFontTest, LargeBoldGlyphsHaveSolidTextColourAndLatinLettersShow) {
  box.SetFontName("Arial");
  ASSERT_TRUE(box.SetFontSize(36.0F));
  box.SetFontBold(true);
  box.SetForeColor(MakeColorRef(200, 30, 10));
  box.SetBackColor(MakeColorRef(10, 40, 90));
  const Pixel fore = MakePixel(200, 30, 10), back = MakePixel(10, 40, 90);
  SizeToText(box, "H");
  box.Cls();
  box.Print("H");
  EXPECT_GT(CountPixels(box.Image(), fore), 50);

  // e acute and the euro sign, as the package's bytes give them.
  for (const char* letter : {"\xE9", "\x80"}) {
    box.Cls();
    box.Print(letter);
    const int ink = box.Image().Width() * box.Image().Height() - CountPixels(box.Image(), back);
    EXPECT_GT(ink, 20) << "no glyph drawn for byte " << std::hex
                       << static_cast<unsigned>(static_cast<unsigned char>(letter[0]));
    EXPECT_GT(box.TextWidth(letter), 0.0F);
  }
}

TEST_F(CaptionBoxFontTest, TwoLinesAreTwiceAsTallAndAsWideAsTheLongerLine) {
  box.SetFontName("Arial");
  ASSERT_TRUE(box.SetFontSize(12.0F));
  EXPECT_EQ(box.TextHeight("short\r\nthe longer line"), 2 * box.TextHeight("short"));
  EXPECT_EQ(box.TextWidth("short\r\nthe longer line"), box.TextWidth("the longer line"));
  EXPECT_EQ(box.TextHeight("x"), 17 * 15.0F);  // Arial's 12-pt text metric height
}

// A mebibyte of one letter at the largest size: billions of pixels wide,
// kept at its width, and its end draws where the box meets the window.
TEST_F(CaptionBoxFontTest, AMebibyteLineAtTheLargestSizeShowsItsEnd) {
  box.SetFontName("Arial");
  ASSERT_TRUE(box.SetFontSize(2160.0F));
  box.SetForeColor(MakeColorRef(0, 0, 255));
  const std::string text(std::size_t{1} << 20, 'W');
  SizeToText(box, text);
  EXPECT_GT(box.Width(), 15.0F * static_cast<float>(std::numeric_limits<int>::max()));
  EXPECT_FLOAT_EQ(box.Width(), box.TextWidth(text));
  box.Cls();
  box.Print(text);
  // The right end in the window (to a few hundred pixels: single precision
  // at this size), the letters' middle height across it.
  ASSERT_TRUE(box.SetLeft(800 * 15.0F - box.Width()));
  ASSERT_TRUE(box.SetTop(-1500 * 15.0F));
  const CaptionBox::ShownPart part = box.Shown({0, 0, 800, 600});
  EXPECT_GE(part.image.Width(), 400);
  EXPECT_EQ(part.image.Height(), 600);
  EXPECT_GT(CountPixels(part.image, MakePixel(0, 0, 255)), 1000);
  EXPECT_LE(fonts.GlyphCacheInUse().glyphs, 2U);
}

// Golden picture of a short caption: text has no formula, so the drawing
// is compared with a stored one, allowing for rasteriser differences.
TEST_F(CaptionBoxFontTest, ShortCaptionMatchesItsGoldenPicture) {
  const std::string text =
      "Vistel\r\ncaf\xE9 \x80"
      "5";
  box.SetFontName("Arial");
  ASSERT_TRUE(box.SetFontSize(12.0F));
  box.SetFontItalic(true);
  ASSERT_TRUE(box.SetAppearance(1));
  box.SetForeColor(MakeColorRef(128, 0, 0));
  box.SetBackColor(MakeColorRef(255, 255, 224));
  SizeToText(box, text);
  box.Cls();
  box.Print(text);
  const Image& actual = box.Image();

  const std::filesystem::path golden =
      std::filesystem::path(VISTEL_TESTS_DIR) / "imaging" / "golden" / "caption_two_lines.png";
  if (std::getenv("VISTEL_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePng(actual, golden.string()));
  }
  const Result<Image> expected = ReadPng(golden.string());
  const std::filesystem::path out = std::filesystem::path(::testing::TempDir());
  const auto save = [&] {
    (void)WritePng(actual, (out / "caption_two_lines.actual.png").string());
    if (expected) (void)WritePng(*expected, (out / "caption_two_lines.expected.png").string());
    return "actual and expected saved in " + out.string();
  };
  ASSERT_TRUE(expected) << "cannot read " << golden << "; " << save();
  ASSERT_EQ(actual.Extent(), expected->Extent()) << save();

  // Glyph edges may differ by a rasteriser version; shapes may not.
  long long totalDifference = 0;
  int farOff = 0;
  for (int y = 0; y < actual.Height(); ++y) {
    for (int x = 0; x < actual.Width(); ++x) {
      const Pixel a = actual.At(x, y), e = expected->At(x, y);
      const int d =
          std::max({std::abs(static_cast<int>(PixelRed(a)) - static_cast<int>(PixelRed(e))),
                    std::abs(static_cast<int>(PixelGreen(a)) - static_cast<int>(PixelGreen(e))),
                    std::abs(static_cast<int>(PixelBlue(a)) - static_cast<int>(PixelBlue(e)))});
      totalDifference += d;
      farOff += d > 96 ? 1 : 0;
    }
  }
  const int pixels = actual.Width() * actual.Height();
  EXPECT_LE(static_cast<double>(totalDifference) / pixels, 4.0) << save();
  EXPECT_LE(farOff, pixels / 50) << "pixels far from the golden picture; " << save();
}

}  // namespace
}  // namespace vistel
