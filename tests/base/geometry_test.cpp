#include "base/geometry.hpp"
#include "base/image.hpp"

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

TEST(Rect, NegativeExtentIsEmpty) {
  EXPECT_TRUE((IntRect{0, 0, -1, 5}).IsEmpty());
  EXPECT_TRUE((IntSize{5, 0}).IsEmpty());
  EXPECT_TRUE((IntRect{0, 0, -4, -4}).Intersected({-10, -10, 20, 20}).IsEmpty());
}

TEST(ColorRef, ChannelsInBgrOrderEachInItsOwnByte) {
  const ColorRef c = MakeColorRef(0x12, 0x34, 0x56);
  EXPECT_EQ(c, 0x563412U);
  EXPECT_EQ(RedOf(c), 0x12U);
  EXPECT_EQ(GreenOf(c), 0x34U);
  EXPECT_EQ(BlueOf(c), 0x56U);
  EXPECT_EQ(BlueOf(16711680), 255U);            // blue as the configuration text writes it
  EXPECT_EQ(MakeColorRef(0x1FF, 0, 0), 0xFFU);  // an out-of-range channel does not spill
}

}  // namespace
}  // namespace vistel

namespace vistel {
namespace {

TEST(Image, AMovedFromImageIsEmptyAndCanBeRefilled) {
  Image a(4, 3, Pixel{7});
  Image b = std::move(a);
  EXPECT_EQ(b.Extent(), (IntSize{4, 3}));
  EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move): the state is the point
  EXPECT_EQ(a.Extent(), (IntSize{0, 0}));
  Image c(2, 2);
  c = std::move(b);
  EXPECT_EQ(b.Extent(), (IntSize{0, 0}));  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(c.At(3, 2), Pixel{7});
}

}  // namespace
}  // namespace vistel
