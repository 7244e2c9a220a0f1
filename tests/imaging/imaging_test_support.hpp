// Helpers of the imaging tests: seeded random pictures and pixel access.
#pragma once

#include <cstdint>
#include <random>

#include "base/image.hpp"

namespace vistel::testing {

// MakePixel from signed channel values, as loop counters give them.
constexpr Pixel Rgb(int r, int g, int b) {
  return MakePixel(static_cast<unsigned>(r), static_cast<unsigned>(g), static_cast<unsigned>(b));
}

inline Image RandomImage(int width, int height, std::mt19937& rng) {
  Image image(width, height);
  std::uniform_int_distribution<unsigned> channel(0, 255);
  for (Pixel& p : image.Pixels()) p = MakePixel(channel(rng), channel(rng), channel(rng));
  return image;
}

// Pixel (x, y) of a picture whose every pixel tells its coordinates, for
// checking where a blit took each pixel from.
constexpr Pixel CoordinatePixel(int x, int y) {
  return Rgb(x, y, 0x55);
}

inline Image CoordinateImage(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.At(x, y) = CoordinatePixel(x, y);
  }
  return image;
}

}  // namespace vistel::testing
