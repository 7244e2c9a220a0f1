#include "show/placement.hpp"

#include <cmath>

namespace vistel {
namespace {

// W / d in single precision; division by zero and overflow fail, as the
// original's statement does.
std::optional<float> Divided(float extent, float divisor) {
  if (divisor == 0.0F) return std::nullopt;
  const float q = extent / divisor;
  if (!std::isfinite(q)) return std::nullopt;
  return q;
}

float Centred(float area, float object) { return area / 2.0F - object / 2.0F; }

}  // namespace

Placement PlacementCode(std::int32_t code, FloatSize area, FloatSize object, float xDivisor,
                        float yDivisor) {
  const float W = area.width, H = area.height, w = object.width, h = object.height;
  switch (code) {
    case 0: return {Centred(W, w), Centred(H, h)};
    case 1: return {0.0F, 0.0F};
    case 2: return {0.0F, Centred(H, h)};
    case 3: return {0.0F, H - h};
    case 4: return {Centred(W, w), H - h};
    case 5: return {W - w, H - h};
    case 6: return {W - w, Centred(H, h)};
    case 7: return {W - w, 0.0F};
    case 8: return {Centred(W, w), 0.0F};
    case 9: return {Divided(W, xDivisor), Divided(H, yDivisor)};
    default: return {};
  }
}

}  // namespace vistel
