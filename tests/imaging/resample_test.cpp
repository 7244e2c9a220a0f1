#include "imaging/resample.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

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

// A picture of varied pixels: any row or column mixed up shows.
Image Varied(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.At(x, y) = Rgb((x * 37 + y * 11) % 256, (x * x + 3 * y) % 256, (x ^ (y * 5)) % 256);
    }
  }
  return image;
}

// Gives `source` to the sink `batch` rows at most at a time, up to row
// `rows`, with the unused top byte set, as libjpeg-turbo leaves it.
void Feed(ResamplingRowSink& sink, const Image& source, FloatSize extent, int batch, int rows) {
  ASSERT_TRUE(sink.Begin(source.Extent(), extent));
  std::vector<Pixel*> room(static_cast<std::size_t>(batch));
  for (int y = 0; y < rows;) {
    const int count = std::min(sink.NextRows(room), rows - y);
    ASSERT_GE(count, 1) << "no room at row " << y;
    for (int k = 0; k < count; ++k) {
      for (int x = 0; x < source.Width(); ++x) {
        room[static_cast<std::size_t>(k)][x] = source.At(x, y + k) | 0xFF000000U;
      }
    }
    sink.RowsDone(count);
    y += count;
  }
}

struct RowByRowCase {
  const char* name;
  IntSize source;
  FloatSize extent;  // 0: the whole source
  IntSize target;
};

class ResampleRowByRow : public ::testing::TestWithParam<RowByRowCase> {};

// Resampling rows as a decoder delivers them keeps only the rows the filter
// needs; a row dropped, kept too briefly or taken from the wrong place of
// the ring differs from resampling the whole picture at once.
TEST_P(ResampleRowByRow, EqualsTheWholePictureResampled) {
  const RowByRowCase& c = GetParam();
  const Image source = Varied(c.source.width, c.source.height);
  const FloatSize extent = c.extent.width > 0 ? c.extent
                                              : FloatSize{static_cast<float>(c.source.width),
                                                          static_cast<float>(c.source.height)};
  const auto whole =
      ResampleImage(source, extent, c.target.width, c.target.height, ResampleFilter::Smooth);
  ASSERT_TRUE(whole);
  for (int batch : {1, 3, 16, 40}) {
    ResamplingRowSink sink(c.target.width, c.target.height, ResampleFilter::Smooth);
    Feed(sink, source, extent, batch, source.Height());
    auto rows = sink.Take();
    ASSERT_TRUE(rows) << c.name << ", batches of " << batch;
    EXPECT_TRUE(*rows == *whole) << c.name << ", batches of " << batch;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResampleRowByRow,
    ::testing::Values(
        RowByRowCase{"photo-to-screen", {300, 200}, {}, {162, 108}},  // rows shrink first
        RowByRowCase{"columns-first", {300, 200}, {}, {192, 108}},
        RowByRowCase{"reduced-extent", {301, 201}, {300.5F, 200.25F}, {97, 61}},
        RowByRowCase{"many-rows-per-row", {40, 400}, {}, {13, 7}},
        RowByRowCase{"enlarged", {9, 7}, {}, {50, 41}},
        RowByRowCase{"wider-and-shorter", {10, 60}, {}, {33, 19}},
        RowByRowCase{"rows-only", {37, 20}, {}, {37, 9}},
        RowByRowCase{"columns-only", {37, 20}, {}, {11, 20}},
        RowByRowCase{"same-size", {5, 3}, {}, {5, 3}},
        RowByRowCase{"one-row", {1000, 1}, {}, {7, 1}}),
    [](const auto& row) {
      std::string name = row.param.name;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

// A decode that ends early has no picture; one that starts over (a decoder
// handing over to another) gives the picture of the rows that came last.
TEST(ResamplingRowSink, NeedsEveryRowAndStartsOverOnBegin) {
  const Image first = Varied(64, 48);
  const Image second(80, 60, Rgb(1, 2, 3));
  const FloatSize whole{80, 60};
  ResamplingRowSink sink(20, 15, ResampleFilter::Smooth);
  EXPECT_FALSE(sink.Take()) << "before any row";
  Feed(sink, first, {64, 48}, 4, 30);
  EXPECT_FALSE(sink.Take()) << "with 30 rows of 48";
  Feed(sink, first, {64, 48}, 4, 30);
  Feed(sink, second, whole, 5, second.Height());
  auto out = sink.Take();
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, Image(20, 15, Rgb(1, 2, 3)));
  EXPECT_FALSE(sink.Begin({0, 10}, {0, 10})) << "an empty picture";
}

}  // namespace
}  // namespace vistel
