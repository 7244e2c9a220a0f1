// Pixel stores of every size the memory comes in: from the C library below
// the huge-page threshold, mapped on their own from it.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "base/image.hpp"

namespace vistel {
namespace {

class PixelStoreSizes : public ::testing::TestWithParam<std::size_t> {};

// A fresh store reads zero to its last pixel and is writable there; copies,
// whether made, assigned over a store of another size or over one of the
// same size, hold the same pixels in memory of their own.
TEST_P(PixelStoreSizes, StartsBlackAndCopiesIntoMemoryOfItsOwn) {
  const std::size_t count = GetParam();
  PixelStore store(count);
  ASSERT_EQ(store.size(), count);
  std::size_t nonzero = 0;
  for (std::size_t i = 0; i < count; ++i) nonzero += store.data()[i] != 0;
  EXPECT_EQ(nonzero, 0U);
  if (count == 0) return;
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(store.data()) % alignof(Pixel), 0U);
  store.data()[0] = 1;
  store.data()[count - 1] = 2;

  const PixelStore copy = store;
  EXPECT_EQ(copy, store);
  EXPECT_NE(copy.data(), store.data());

  PixelStore other(count / 2 + 1, 7);
  other = store;
  EXPECT_EQ(other, store);
  PixelStore same(count, 9);
  const Pixel* before = same.data();
  same = store;
  EXPECT_EQ(same, store);
  EXPECT_EQ(same.data(), before);

  store.data()[count - 1] = 3;
  EXPECT_EQ(copy.data()[count - 1], 2U);
  PixelStore moved = std::move(store);
  EXPECT_TRUE(store.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  EXPECT_EQ(moved.data()[count - 1], 3U);
}

constexpr std::size_t kMiB = std::size_t{1} << 20;
INSTANTIATE_TEST_SUITE_P(AroundTheMappingThreshold, PixelStoreSizes,
                         ::testing::Values(std::size_t{0}, std::size_t{1}, 4 * kMiB / 4 - 1,
                                           4 * kMiB / 4, 4 * kMiB / 4 + 1,
                                           std::size_t{1920} * 1080 + 3));

TEST(PixelStore, ACountPastTheAddressSpaceIsRefused) {
  EXPECT_THROW(PixelStore(SIZE_MAX / 2), std::bad_alloc);
}

}  // namespace
}  // namespace vistel
