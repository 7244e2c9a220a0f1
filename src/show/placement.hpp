// PlacementCode: where an object of size w x h goes inside the background
// area W x H (all twips, single precision), for the image, the video and the
// caption alike.
#pragma once

#include <cstdint>
#include <optional>

#include "base/geometry.hpp"

namespace vistel {

// A coordinate the code does not set (an unknown code, or a code 9 division
// that fails) is nullopt: the object keeps its previous value there.
struct Placement {
  std::optional<float> left;
  std::optional<float> top;
};

// Codes 0..8 are the centre, the four corners and the four edge middles;
// code 9 puts the top-left corner at (W / xDivisor, H / yDivisor). A divisor
// of 0 (or a quotient beyond single range) fails that coordinate alone.
Placement PlacementCode(std::int32_t code, FloatSize area, FloatSize object, float xDivisor,
                        float yDivisor);

}  // namespace vistel
