// Blending of anti-aliased glyph coverage onto a picture.
#pragma once

#include <cstdint>

#include "base/image.hpp"

namespace vistel {

// One channel: (color x a + under x (255 - a)) / 255, rounded to nearest.
// Full coverage gives exactly the colour, none exactly what was under it.
constexpr unsigned BlendChannel(unsigned under, unsigned color, unsigned coverage) {
  const unsigned sum = color * coverage + under * (255U - coverage);
  // Exact round(sum / 255) for every sum up to 255 x 255.
  return (sum + 128U + ((sum + 128U) >> 8)) >> 8;
}

constexpr Pixel BlendCoverage(Pixel under, Pixel color, std::uint8_t coverage) {
  return MakePixel(BlendChannel(PixelRed(under), PixelRed(color), coverage),
                   BlendChannel(PixelGreen(under), PixelGreen(color), coverage),
                   BlendChannel(PixelBlue(under), PixelBlue(color), coverage));
}

}  // namespace vistel
