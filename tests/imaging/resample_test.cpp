#include "imaging/resample.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "imaging_test_support.hpp"

namespace vistel {
namespace {

using testing::Rgb;

struct SizeCase {
  int sourceW, sourceH, width, height;
};

class ResampleFlat : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ResampleFlat, KeepsAFlatPictureExactlyFlat) {
  const SizeCase c = GetParam();
  const Pixel colour = MakePixel(201, 7, 128);
  for (ResampleFilter filter : {ResampleFilter::Smooth, ResampleFilter::Nearest}) {
    const auto out = ResampleImage(Image(c.sourceW, c.sourceH, colour), c.width, c.height, filter);
    ASSERT_TRUE(out);
    ASSERT_EQ(*out, Image(c.width, c.height, colour));
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResampleFlat,
                         ::testing::Values(SizeCase{40, 30, 17, 11},   // shrink, odd ratio
                                           SizeCase{40, 30, 20, 15},   // shrink by two
                                           SizeCase{7, 5, 64, 47},     // enlarge
                                           SizeCase{40, 3, 13, 50},    // shrink x, enlarge y
                                           SizeCase{1, 1, 9, 4},       // single pixel
                                           SizeCase{3, 2, 3, 2},       // same size
                                           SizeCase{1000, 2, 1, 1}));  // to one pixel

// A horizontal ramp: red = 2x + 10 at source column x.
Image Ramp(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.At(x, y) = Rgb(2 * x + 10, 50, 60);
  }
  return image;
}

// The ramp's value at a source position (column centres at x + 0.5).
double RampAt(double centre) {
  return 2.0 * (centre - 0.5) + 10.0;
}

TEST(ResampleImage, ShrinkingAveragesTheAreaEachPixelCovers) {
  const auto out = ResampleImage(Ramp(100, 6), 30, 2, ResampleFilter::Smooth);
  ASSERT_TRUE(out);
  const double scale = 100.0 / 30.0;
  for (int x = 0; x < 30; ++x) {
    // The mean of a linear ramp over [x*s, (x+1)*s) is its value at the centre.
    const double expected = RampAt((x + 0.5) * scale);
    for (int y = 0; y < 2; ++y) {
      ASSERT_NEAR(PixelRed(out->At(x, y)), expected, 1.0) << "column " << x;
      ASSERT_EQ(PixelGreen(out->At(x, y)), 50U);
    }
  }
}

TEST(ResampleImage, EnlargingInterpolatesBetweenPixelCentres) {
  const auto out = ResampleImage(Ramp(20, 2), 70, 5, ResampleFilter::Smooth);
  ASSERT_TRUE(out);
  const double scale = 20.0 / 70.0;
  for (int x = 0; x < 70; ++x) {
    const double centre = (x + 0.5) * scale;
    // Beyond the outer source centres the edge pixel repeats.
    const double expected = RampAt(std::clamp(centre, 0.5, 19.5));
    // Catmull-Rom reproduces a line exactly where it does not reach the edge.
    const double tolerance = centre < 1.5 || centre > 18.5 ? 2.0 : 1.0;
    ASSERT_NEAR(PixelRed(out->At(x, 2)), expected, tolerance) << "column " << x;
  }
}

TEST(ResampleImage, AVerticalGradientShrinksAsWellAsAHorizontalOne) {
  Image ramp(3, 90);
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 3; ++x) ramp.At(x, y) = Rgb(0, 2 * y + 10, 0);
  }
  const auto out = ResampleImage(ramp, 3, 40, ResampleFilter::Smooth);
  ASSERT_TRUE(out);
  for (int y = 0; y < 40; ++y) {
    ASSERT_NEAR(PixelGreen(out->At(1, y)), RampAt((y + 0.5) * 90.0 / 40.0), 1.0) << "row " << y;
  }
}

TEST(ResampleImage, StaysInsideTheChannelRangeAtSharpEdges) {
  // Catmull-Rom overshoots at a black-white step; the result is clamped.
  Image step(8, 1);
  for (int x = 4; x < 8; ++x) step.At(x, 0) = 0x00FFFFFFU;
  const auto out = ResampleImage(step, 37, 1, ResampleFilter::Smooth);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->At(0, 0), 0U);
  EXPECT_EQ(out->At(36, 0), 0x00FFFFFFU);
}

TEST(ResampleImage, NearestTakesThePixelUnderEachCentre) {
  const Image source = testing::CoordinateImage(6, 4);
  const auto out = ResampleImage(source, 3, 8, ResampleFilter::Nearest);
  ASSERT_TRUE(out);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 3; ++x)
      ASSERT_EQ(out->At(x, y), testing::CoordinatePixel(2 * x + 1, y / 2));
  }
}

TEST(ResampleImage, RefusesEmptySourcesAndImpossibleSizes) {
  EXPECT_FALSE(ResampleImage(Image(), 4, 4, ResampleFilter::Smooth));
  EXPECT_FALSE(ResampleImage(Image(2, 2), 0, 4, ResampleFilter::Smooth));
  EXPECT_FALSE(ResampleImage(Image(2, 2), 4, -1, ResampleFilter::Smooth));
  EXPECT_EQ(ResampleImage(Image(2, 2), 100000, 100000, ResampleFilter::Smooth).error().code,
            ErrorCode::OutOfMemory);
}

// Beyond the picture limits a resize is refused before anything is taken:
// a long thin bitmap within the pixel count would still cost the resampler
// a gigabyte of weights along its long side.
TEST(ResampleImage, RefusesSizesBeyondThePictureLimits) {
  const struct {
    int width, height;
  } sizes[] = {{40'000'000, 1}, {1, 40'000'000}, {16'385, 2}, {6'400, 6'400}};
  for (const auto& s : sizes) {
    for (ResampleFilter filter : {ResampleFilter::Smooth, ResampleFilter::Nearest}) {
      const auto out = ResampleImage(Image(2, 2), s.width, s.height, filter);
      ASSERT_FALSE(out) << s.width << "x" << s.height << " allocated";
      EXPECT_EQ(out.error().code, ErrorCode::OutOfMemory) << s.width << "x" << s.height;
    }
  }
}

}  // namespace
}  // namespace vistel
