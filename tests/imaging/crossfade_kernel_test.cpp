#include "imaging/crossfade_kernel.hpp"

#include <gtest/gtest.h>

#include <random>

#include "imaging/imaging_control.hpp"
#include "imaging_test_support.hpp"

namespace vistel {
namespace {

TEST(CrossFadeGrey, RoundsHalfToEvenAndEndsOnBothExtremes) {
  EXPECT_EQ(CrossFadeGrey(0, 10).value(), 0);
  EXPECT_EQ(CrossFadeGrey(10, 10).value(), 255);
  EXPECT_EQ(CrossFadeGrey(1, 2).value(), 128);  // 127.5
  EXPECT_EQ(CrossFadeGrey(1, 10).value(), 26);  // 25.5
  EXPECT_EQ(CrossFadeGrey(3, 10).value(), 76);  // 76.5
  EXPECT_EQ(CrossFadeGrey(1, 3).value(), 85);
}

TEST(CrossFadeGrey, HandlesStepCountsWhoseProductOverflowedSixteenBits) {
  // 129 * 255 no longer fits a 16-bit integer: the fade must still climb.
  EXPECT_EQ(CrossFadeGrey(129, 200).value(), 164);  // 164.475
  EXPECT_EQ(CrossFadeGrey(200, 200).value(), 255);
  EXPECT_EQ(CrossFadeGrey(16384, 32767).value(), 128);  // 127.5039
  EXPECT_EQ(CrossFadeGrey(32767, 32767).value(), 255);
  int previous = 0;
  for (int i = 0; i <= 1000; ++i) {
    const int g = CrossFadeGrey(i, 1000).value();
    ASSERT_GE(g, previous) << "grey fell at step " << i;
    previous = g;
  }
}

TEST(CrossFadeGrey, FailsForZeroStepsAndStepsBeyondTheCount) {
  EXPECT_EQ(CrossFadeGrey(0, 0).error().code, ErrorCode::DivisionByZero);
  EXPECT_EQ(CrossFadeGrey(11, 10).error().code, ErrorCode::Overflow);
  EXPECT_EQ(CrossFadeGrey(1, -10).error().code, ErrorCode::Overflow);
}

// The frame as the fade's literal sequence of control operations draws it.
Image LiteralFrame(const Image& outgoing, const Image& incoming, int g) {
  const auto grey = [](int v) {
    const auto u = static_cast<unsigned>(v);
    return MakeColorRef(u, u, u);
  };
  ImagingControl a, b, s, ca, cb;
  const auto w = static_cast<float>(outgoing.Width());
  const auto h = static_cast<float>(outgoing.Height());
  for (ImagingControl* c : {&a, &b, &s}) EXPECT_TRUE(c->CreateBitmap(w, h, 24));
  ca.SetBitmapImage(outgoing);
  cb.SetBitmapImage(incoming);
  EXPECT_TRUE(a.Fill(grey(255 - g)));
  EXPECT_TRUE(b.Fill(grey(g)));
  EXPECT_TRUE(a.CombineBitmap(0, 0, w, h, ca.Bitmap(), 0, 0, 1536));
  EXPECT_TRUE(b.CombineBitmap(0, 0, w, h, cb.Bitmap(), 0, 0, 1536));
  EXPECT_TRUE(s.Fill(0));
  EXPECT_TRUE(s.CombineBitmap(0, 0, w, h, a.Bitmap(), 0, 0, 768));
  EXPECT_TRUE(s.CombineBitmap(0, 0, w, h, b.Bitmap(), 0, 0, 768));
  return s.BitmapImage();
}

TEST(CrossFadeFrame, IsByteIdenticalToTheLiteralSequenceForEveryGrey) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  // 7 x 5: the pixel count is not a multiple of the kernel's block.
  const Image outgoing = testing::RandomImage(7, 5, rng);
  const Image incoming = testing::RandomImage(7, 5, rng);
  Image frame;
  for (int g = 0; g <= 255; ++g) {
    ASSERT_TRUE(CrossFadeFrame(outgoing, incoming, g, frame));
    ASSERT_EQ(frame, LiteralFrame(outgoing, incoming, g)) << "grey " << g;
  }
  ASSERT_TRUE(CrossFadeFrame(outgoing, incoming, 0, frame));
  EXPECT_EQ(frame, outgoing) << "grey 0 shows the outgoing picture";
  ASSERT_TRUE(CrossFadeFrame(outgoing, incoming, 255, frame));
  EXPECT_EQ(frame, incoming) << "grey 255 shows the incoming picture";
}

TEST(CrossFadeFrame, MatchesOnExtremeChannelValues) {
  // White against white and black against white, where rounding and
  // saturation of the sum are closest to their limits.
  const Image white(4, 4, 0x00FFFFFFU), black(4, 4, 0), mixed(4, 4, 0x00FF00FFU);
  Image frame;
  for (int g = 0; g <= 255; ++g) {
    for (const auto* pair : {&white, &black, &mixed}) {
      ASSERT_TRUE(CrossFadeFrame(white, *pair, g, frame));
      ASSERT_EQ(frame, LiteralFrame(white, *pair, g)) << "grey " << g;
    }
  }
}

TEST(CrossFadeFrame, RefusesPicturesOfDifferentSizesAndGreysOutOfRange) {
  Image frame;
  EXPECT_FALSE(CrossFadeFrame(Image(2, 2), Image(3, 2), 0, frame));
  EXPECT_FALSE(CrossFadeFrame(Image(2, 2), Image(2, 2), 256, frame));
}

}  // namespace
}  // namespace vistel
