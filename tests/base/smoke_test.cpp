#include <gtest/gtest.h>

#include "base/geometry.hpp"

namespace vistel {
namespace {

TEST(Geometry, IntersectionOfDisjointRectsIsEmpty) {
  IntRect a{0, 0, 10, 10};
  EXPECT_TRUE(a.Intersected({20, 20, 5, 5}).IsEmpty());
  EXPECT_EQ(a.Intersected({5, 5, 10, 10}), (IntRect{5, 5, 5, 5}));
}

}  // namespace
}  // namespace vistel
