// Fixed-point pixel arithmetic shared by the effects' kernels.
#pragma once

#include <cstdint>

#include "base/image.hpp"

namespace vistel::effects {

// a weighted 256 - w plus b weighted w, per channel (w 0 .. 256, rounding
// down), red and blue in one multiply: the channels' products stay below
// 2^16, so they never spill into each other.
inline Pixel Lerp(Pixel a, Pixel b, std::uint32_t w) {
  const std::uint32_t iw = 256U - w;
  const std::uint32_t rb = ((a & 0xFF00FFU) * iw + (b & 0xFF00FFU) * w) >> 8;
  const std::uint32_t g = ((a & 0x00FF00U) * iw + (b & 0x00FF00U) * w) >> 8;
  return (rb & 0xFF00FFU) | (g & 0x00FF00U);
}

// A stable 32-bit hash for the random orders (the same code and seed give
// the same dissolve on every run and platform).
inline std::uint32_t Mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352DU;
  x ^= x >> 15;
  x *= 0x846CA68BU;
  x ^= x >> 16;
  return x;
}
inline std::uint32_t Mix(std::uint32_t seed, std::uint32_t a, std::uint32_t b = 0) {
  return Mix(Mix(Mix(seed) ^ a) + b * 0x9E3779B9U);
}

}  // namespace vistel::effects
