#include "imaging/stretch_blt.hpp"

#include <gtest/gtest.h>

#include "imaging_test_support.hpp"

namespace vistel {
namespace {

using testing::CoordinateImage;
using testing::CoordinatePixel;

constexpr Pixel kUntouched = 0x00ABCDEFU;

// Checks every destination pixel against the source pixel the mapping
// formula names, or kUntouched outside the drawn area.
void ExpectBlit(const Image& dest, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh,
                int sourceW, int sourceH) {
  for (int y = 0; y < dest.Height(); ++y) {
    for (int x = 0; x < dest.Width(); ++x) {
      const int j = x - dx, i = y - dy;
      Pixel expected = kUntouched;
      if (j >= 0 && j < dw && i >= 0 && i < dh) {
        const int u = sx + (2 * j + 1) * sw / (2 * dw);
        const int v = sy + (2 * i + 1) * sh / (2 * dh);
        if (u >= 0 && v >= 0 && u < sourceW && v < sourceH) expected = CoordinatePixel(u, v);
      }
      ASSERT_EQ(dest.At(x, y), expected) << "at " << x << "," << y;
    }
  }
}

struct BlitCase {
  int dx, dy, dw, dh, sx, sy, sw, sh;
};

class StretchBltMapping : public ::testing::TestWithParam<BlitCase> {};

TEST_P(StretchBltMapping, TakesTheSourcePixelUnderEachCentreAndClipsWithoutShifting) {
  const BlitCase c = GetParam();
  const Image source = CoordinateImage(6, 5);
  Image dest(10, 8, kUntouched);
  ASSERT_TRUE(StretchBlt(dest, c.dx, c.dy, c.dw, c.dh, source, c.sx, c.sy, c.sw, c.sh, kSrcCopy));
  ExpectBlit(dest, c.dx, c.dy, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh, 6, 5);
}

INSTANTIATE_TEST_SUITE_P(
    EveryEdgeAndScale, StretchBltMapping,
    ::testing::Values(BlitCase{2, 1, 6, 5, 0, 0, 6, 5},      // one to one, inside
                      BlitCase{-3, 0, 6, 5, 0, 0, 6, 5},     // clipped left
                      BlitCase{7, 0, 6, 5, 0, 0, 6, 5},      // clipped right
                      BlitCase{0, -2, 6, 5, 0, 0, 6, 5},     // clipped at the top
                      BlitCase{0, 6, 6, 5, 0, 0, 6, 5},      // clipped at the bottom
                      BlitCase{-1, -1, 12, 10, 0, 0, 6, 5},  // enlarged, clipped all round
                      BlitCase{1, 1, 3, 2, 0, 0, 6, 5},      // shrunk
                      BlitCase{0, 0, 7, 3, 1, 1, 4, 3},      // part of the source, odd scales
                      BlitCase{0, 0, 10, 8, 3, 2, 6, 5},     // source runs past its bitmap
                      BlitCase{0, 0, 5, 5, -2, -1, 5, 5},    // source starts before it
                      BlitCase{12, 0, 4, 4, 0, 0, 6, 5}));   // wholly outside

TEST(StretchBlt, NegativeDestinationWidthMirrorsIntoTheSameColumns) {
  const Image source = CoordinateImage(4, 3);
  Image dest(4, 3, kUntouched);
  // x + w + 1 = 0: columns 0..3, drawn right to left.
  ASSERT_TRUE(StretchBlt(dest, 3, 0, -4, 3, source, 0, 0, 4, 3, kSrcCopy));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) ASSERT_EQ(dest.At(x, y), CoordinatePixel(3 - x, y));
  }
  // Mirroring both the source and the destination vertically cancels out.
  Image twice(4, 3, kUntouched);
  ASSERT_TRUE(StretchBlt(twice, 0, 2, 4, -3, source, 0, 2, 4, -3, kSrcCopy));
  EXPECT_EQ(twice, source);
}

TEST(StretchBlt, WithinOneBitmapReadsThePixelsAsTheyWere) {
  Image image = CoordinateImage(4, 1);
  ASSERT_TRUE(StretchBlt(image, 1, 0, 3, 1, image, 0, 0, 3, 1, kSrcCopy));
  EXPECT_EQ(image.At(1, 0), CoordinatePixel(0, 0));
  EXPECT_EQ(image.At(3, 0), CoordinatePixel(2, 0));
}

TEST(StretchBlt, RefusesOtherRasterOperationsAndMissingContexts) {
  const Image source = CoordinateImage(2, 2);
  Image dest(2, 2, kUntouched);
  EXPECT_FALSE(StretchBlt(dest, 0, 0, 2, 2, source, 0, 0, 2, 2, 0x00EE0086U));
  EXPECT_FALSE(StretchBlt(BitmapDC{&dest}, 0, 0, 2, 2, BitmapDC{}, 0, 0, 2, 2, kSrcCopy));
  EXPECT_FALSE(StretchBlt(dest, 0, 0, 2, 2, Image(), 0, 0, 2, 2, kSrcCopy));
  EXPECT_TRUE(StretchBlt(dest, 0, 0, 0, 2, source, 0, 0, 2, 2, kSrcCopy)) << "zero size: nothing";
  EXPECT_EQ(dest, Image(2, 2, kUntouched));
}

}  // namespace
}  // namespace vistel
