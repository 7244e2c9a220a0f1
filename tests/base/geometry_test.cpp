#include "base/geometry.hpp"

#include <gtest/gtest.h>

namespace vistel {
namespace {

TEST(Rect, IntersectionOfOverlappingAndDisjointRects) {
  const IntRect a{0, 0, 10, 10};
  EXPECT_EQ(a.Intersected({5, 5, 10, 10}), (IntRect{5, 5, 5, 5}));
  EXPECT_EQ(a.Intersected({-5, 2, 8, 3}), (IntRect{0, 2, 3, 3}));
  EXPECT_EQ(a.Intersected({2, 2, 3, 3}), (IntRect{2, 2, 3, 3}));  // inside
  EXPECT_EQ((IntRect{2, 2, 3, 3}).Intersected(a), (IntRect{2, 2, 3, 3}));
  EXPECT_TRUE(a.Intersected({20, 20, 5, 5}).IsEmpty());
  // Rectangles that only share an edge do not overlap.
  EXPECT_TRUE(a.Intersected({10, 0, 5, 10}).IsEmpty());
  EXPECT_TRUE(a.Intersected({0, 10, 10, 5}).IsEmpty());
  EXPECT_TRUE(a.Intersected({0, 0, 0, 0}).IsEmpty());
}

TEST(Rect, IntersectChangesTheRectIntersectedReturnsACopy) {
  IntRect a{0, 0, 10, 10};
  const IntRect copy = a.Intersected({4, 4, 10, 10});
  EXPECT_EQ(a, (IntRect{0, 0, 10, 10}));
  a.Intersect({4, 4, 10, 10});
  EXPECT_EQ(a, copy);
}

TEST(Rect, ContainsLeftAndTopButNotRightAndBottom) {
  const IntRect r{10, 20, 5, 4};
  EXPECT_TRUE(r.Contains({10, 20}));
  EXPECT_TRUE(r.Contains({14, 23}));
  EXPECT_FALSE(r.Contains({15, 23}));
  EXPECT_FALSE(r.Contains({14, 24}));
  EXPECT_FALSE(r.Contains({9, 20}));
  EXPECT_FALSE((IntRect{0, 0, 0, 0}).Contains({0, 0}));
  const FloatRect f{0.0F, 0.0F, 1.5F, 1.5F};
  EXPECT_TRUE(f.Contains({1.49F, 0.0F}));
  EXPECT_FALSE(f.Contains({1.5F, 0.0F}));
}

TEST(Rect, EdgesEmptinessAndTranslation) {
  const IntRect r{-3, 4, 6, 2};
  EXPECT_EQ(r.Right(), 3);
  EXPECT_EQ(r.Bottom(), 6);
  EXPECT_EQ(r.Origin(), (IntPoint{-3, 4}));
  EXPECT_EQ(r.Extent(), (IntSize{6, 2}));
  EXPECT_EQ(r.Translated(3, -4), (IntRect{0, 0, 6, 2}));
  EXPECT_FALSE(r.IsEmpty());
  EXPECT_TRUE((IntRect{0, 0, -1, 5}).IsEmpty());
  EXPECT_TRUE((IntSize{5, 0}).IsEmpty());
}

TEST(Twips, ConvertInSinglePrecision) {
  const TwipsPerPixel standard;
  EXPECT_EQ(TwipsToPixelsX(9600.0F, standard), 640.0F);
  EXPECT_EQ(PixelsToTwipsY(480.0F, standard), 7200.0F);
  const TwipsPerPixel large{12.0F, 12.0F};
  EXPECT_EQ(TwipsToPixelsY(100.0F, large), 100.0F / 12.0F);
}

TEST(ColorRef, ChannelsInBgrOrder) {
  EXPECT_EQ(RedOf(255), 255U);
  EXPECT_EQ(BlueOf(16711680), 255U);
  EXPECT_EQ(MakeColorRef(0x12, 0x34, 0x56), 0x563412U);
  const ColorRef c = MakeColorRef(1, 2, 3);
  EXPECT_EQ(RedOf(c), 1U);
  EXPECT_EQ(GreenOf(c), 2U);
  EXPECT_EQ(BlueOf(c), 3U);
  EXPECT_EQ(MakeColorRef(0x1FF, 0, 0), 0xFFU);  // channels keep their own byte
}

}  // namespace
}  // namespace vistel
