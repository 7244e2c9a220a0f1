// Whole-bitmap and rectangle operations of the imaging control: fill and the
// two combine modes the cross-fade uses (weighting by multiplication, then
// summing by saturated addition).
#pragma once

#include <cstdint>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "base/image.hpp"

namespace vistel {

// Combine modes of CombineBitmap, by their numbers.
enum class CombineMode : std::int32_t {
  Add = 768,        // d = min(d + s, 255) per channel
  Multiply = 1536,  // d = d * s / 255 per channel, rounded to nearest
};

// a * b / 255 rounded to the nearest integer, for a, b in 0..255. The exact
// quotient is never halfway between two integers (2ab is even, 255 odd), so
// "nearest" needs no tie rule; (t + (t >> 8)) >> 8 with t = ab + 128 equals
// floor((ab + 127) / 255) for every such pair, without a division.
constexpr unsigned MultiplyChannel(unsigned a, unsigned b) {
  const unsigned t = a * b + 128U;
  return (t + (t >> 8)) >> 8;
}

constexpr unsigned AddChannel(unsigned a, unsigned b) {
  return a + b > 255U ? 255U : a + b;
}

void FillImage(Image& image, Pixel color);

// Combines the rectangle `area` of `dest` with the same-sized rectangle of
// `source` whose top-left corner is `sourceOrigin`. The work is clipped to
// both bitmaps; what falls outside either is left alone. Red, green and blue
// are combined; the unused top byte stays 0. `source` may be `dest` itself.
Status CombineImages(Image& dest, IntRect area, const Image& source, IntPoint sourceOrigin,
                     std::int32_t mode);

}  // namespace vistel
