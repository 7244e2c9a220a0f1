// Pictures and settings shared by the paint-effect tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "base/image.hpp"
#include "imaging/paint_effect.hpp"

namespace vistel::effects_testing {

// Old and new pictures whose channels never meet (old below 128 in every
// channel, new at 128 and above), with a pattern that differs at every
// pixel, so a moved pixel never equals the one it lands on.
inline Image OldPicture(int w, int h) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.At(x, y) = MakePixel(static_cast<unsigned>(x % 128), static_cast<unsigned>(y % 128),
                                 static_cast<unsigned>(16 + (x + y) % 64));
    }
  }
  return image;
}

inline Image NewPicture(int w, int h) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.At(x, y) =
          MakePixel(static_cast<unsigned>(128 + x % 128), static_cast<unsigned>(128 + y % 128),
                    static_cast<unsigned>(200 + (x * 3 + y) % 56));
    }
  }
  return image;
}

// Settings by number (1 .. 14).
inline EffectSettings Settings(std::initializer_list<std::pair<int, std::int32_t>> values) {
  EffectSettings s{};
  for (const auto& [number, value] : values) s[static_cast<std::size_t>(number - 1)] = value;
  return s;
}

inline int CountEqual(const Image& a, const Image& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.Pixels().size(); ++i) n += a.Pixels()[i] == b.Pixels()[i];
  return n;
}

// Pixels equal to `to` and to `from` at the same place, in one pass.
inline std::pair<int, int> CountNewAndOld(const Image& frame, const Image& to, const Image& from) {
  const Pixel* f = frame.Pixels().data();
  const Pixel* t = to.Pixels().data();
  const Pixel* o = from.Pixels().data();
  int new_count = 0, old_count = 0;
  for (std::size_t i = 0, n = frame.Pixels().size(); i < n; ++i) {
    new_count += f[i] == t[i];
    old_count += f[i] == o[i];
  }
  return {new_count, old_count};
}

// Largest channel difference between two pixels.
inline int ChannelDistance(Pixel a, Pixel b) {
  return std::max({std::abs(static_cast<int>(PixelRed(a)) - static_cast<int>(PixelRed(b))),
                   std::abs(static_cast<int>(PixelGreen(a)) - static_cast<int>(PixelGreen(b))),
                   std::abs(static_cast<int>(PixelBlue(a)) - static_cast<int>(PixelBlue(b)))});
}

// a + (b - a) * w / 256 per channel, from the formula in floating point.
inline Pixel Mixed(Pixel a, Pixel b, double w) {
  const auto mix = [&](unsigned ca, unsigned cb) {
    return static_cast<unsigned>(ca + (static_cast<double>(cb) - ca) * w / 256.0 + 0.5);
  };
  return MakePixel(mix(PixelRed(a), PixelRed(b)), mix(PixelGreen(a), PixelGreen(b)),
                   mix(PixelBlue(a), PixelBlue(b)));
}

}  // namespace vistel::effects_testing
