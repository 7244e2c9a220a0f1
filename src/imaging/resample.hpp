// Resampling of a bitmap to a new size: area averaging where an axis
// shrinks, Catmull-Rom interpolation with pixel centres aligned where it
// grows. Separable, with the weights of each axis computed once in 14-bit
// fixed point, so the passes over the pixels are integer multiply-adds.
#pragma once

#include "base/error.hpp"
#include "base/image.hpp"

namespace vistel {

enum class ResampleFilter {
  Nearest,  // the source pixel under each destination pixel's centre
  Smooth,   // area average when shrinking, Catmull-Rom when enlarging
};

// The largest bitmap a resize or creation may allocate (256 MiB of pixels):
// sizes come from untrusted pictures and configuration values.
inline constexpr long long kMaxBitmapPixels = 64LL * 1024 * 1024;

// The source resampled to width x height. A flat source stays exactly flat.
// Fails for an empty source, a size below 1 or above kMaxBitmapPixels.
Result<Image> ResampleImage(const Image& source, int width, int height, ResampleFilter filter);

}  // namespace vistel
