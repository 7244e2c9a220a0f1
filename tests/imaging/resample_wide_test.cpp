#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

#include "imaging/resample.hpp"

namespace vistel {
namespace {

struct WideCase {
  const char* name;
  IntSize source;
  IntSize target;
  ResampleFilter filter = ResampleFilter::Smooth;
  FloatSize extent{};  // 0: the whole source
};

void PrintTo(const WideCase& c, std::ostream* os) {
  *os << c.name;
}

class ResampleWidePass : public ::testing::TestWithParam<WideCase> {
 protected:
  void TearDown() override { resampling::UseWidePass(true); }
};

// The AVX2 pass gives the other pass's pixels exactly, whatever the tap
// count (each has its own code), wherever a row ends (its loop takes eight
// pixels at a time, the other the rest) and whatever the top byte holds.
TEST_P(ResampleWidePass, GivesTheSamePixelsAsTheOthers) {
  if (!resampling::UseWidePass(true)) GTEST_SKIP() << "the processor lacks AVX2";
  const WideCase& c = GetParam();
  // Noise in every byte: sharp edges overshoot past 0 and 255 when
  // enlarging, and the unused top byte is garbage, as a decoder may leave it.
  Image source(c.source.width, c.source.height);
  std::mt19937 rng(static_cast<unsigned>(c.source.width * 7919 + c.source.height));
  for (Pixel& p : source.Pixels()) p = static_cast<Pixel>(rng());
  const FloatSize extent = c.extent.width > 0 ? c.extent
                                              : FloatSize{static_cast<float>(c.source.width),
                                                          static_cast<float>(c.source.height)};
  const auto wide = ResampleImage(source, extent, c.target.width, c.target.height, c.filter);
  ASSERT_FALSE(resampling::UseWidePass(false));
  const auto narrow = ResampleImage(source, extent, c.target.width, c.target.height, c.filter);
  ASSERT_TRUE(wide && narrow);
  ASSERT_TRUE(*wide == *narrow);
  for (Pixel p : wide->Pixels()) ASSERT_EQ(p >> 24, 0U) << "a top byte left set";
}

// Taps per axis follow from the scale: 1 for Nearest or a 1-pixel side,
// ceil(scale) + 1 when shrinking, 4 when enlarging (fewer on a short side).
// The rows pass goes first when it shrinks more, the columns pass otherwise;
// then the rows pass reads the resampler's own buffer, where a read past a
// row's end shows under ASan or Valgrind.
INSTANTIATE_TEST_SUITE_P(
    Cases, ResampleWidePass,
    ::testing::Values(
        WideCase{"photo_to_screen", {3000, 20}, {1620, 11}},  // 3 and 3 taps, 1620 = 8k + 4
        // 4 and 4 taps, the picture short of the source's edges
        WideCase{"reduced_extent", {301, 97}, {150, 48}, ResampleFilter::Smooth, {300.5F, 96.25F}},
        WideCase{"two_pixels_enlarged", {2, 2}, {37, 29}},                  // 2 taps
        WideCase{"enlarged", {9, 7}, {70, 45}},                             // 4 taps
        WideCase{"five_taps", {333, 64}, {97, 17}},                         // 5 and 5
        WideCase{"six_taps", {250, 90}, {61, 19}},                          // 6 and 6
        WideCase{"seven_taps", {500, 120}, {91, 21}},                       // 7 and 7
        WideCase{"nearest", {123, 45}, {77, 33}, ResampleFilter::Nearest},  // 1 tap
        WideCase{"columns_first", {203, 150}, {190, 31}},      // 6 taps on 203-pixel rows, then 3
        WideCase{"columns_first_even", {48, 300}, {45, 100}},  // 4 taps, then 3
        WideCase{"one_pixel_columns", {1, 40}, {13, 9}},       // 6 taps down one column
        WideCase{"one_row", {200, 1}, {67, 1}},                // 4 taps along one row
        WideCase{"to_one_pixel", {640, 3}, {1, 1}},            // every source pixel a tap
        WideCase{"seven_wide", {15, 15}, {7, 7}}),             // too narrow for 8 at a time
    [](const auto& entry) { return std::string(entry.param.name); });

}  // namespace
}  // namespace vistel
