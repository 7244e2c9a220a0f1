// Resampling of a bitmap to a new size: area averaging where an axis
// shrinks, Catmull-Rom interpolation with pixel centres aligned where it
// grows. Separable, with the weights of each axis computed once in 14-bit
// fixed point, so the passes over the pixels are integer multiply-adds.
#pragma once

#include "base/error.hpp"
#include "base/image.hpp"
#include "base/input_limits.hpp"

namespace vistel {

enum class ResampleFilter {
  Nearest,  // the source pixel under each destination pixel's centre
  Smooth,   // area average when shrinking, Catmull-Rom when enlarging
};

// Whether a resize or creation may allocate a bitmap of this size: within
// the picture limits, since sizes come from untrusted pictures and
// configuration values (the side bounds the resampler's weights as well).
constexpr bool IsAllowedBitmapSize(long long width, long long height) {
  return width <= limits::kMaxPictureSide && height <= limits::kMaxPictureSide &&
         width * height <= limits::kMaxPicturePixels;
}

// The source resampled to width x height. A flat source stays exactly flat.
// Fails for an empty source, a size below 1, or one IsAllowedBitmapSize
// refuses (OutOfMemory).
Result<Image> ResampleImage(const Image& source, int width, int height, ResampleFilter filter);

// The same for a source whose picture covers only `extent` of it from the
// top-left corner (a picture decoded at a reduced scale); the extent is
// clamped to the source's size.
Result<Image> ResampleImage(const Image& source, FloatSize extent, int width, int height,
                            ResampleFilter filter);

}  // namespace vistel
