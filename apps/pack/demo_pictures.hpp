// The demo show's pictures and clip frames, drawn by code: no file of the
// demo comes from outside, and the same call always gives the same pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "base/geometry.hpp"
#include "base/image.hpp"

namespace vistel::pack::demo {

// A smooth "photo-like" scene: an evening sky with a sun and its glow, two
// rows of hills and a lake that mirrors the sky. Soft gradients everywhere,
// which is what shrinking and JPEG have to get right.
Image DrawLandscape(IntSize size);

// A soft diagonal gradient through several hues with a darker rim: a
// background picture that shows at once whether it was stretched to the area.
Image DrawBackdrop(IntSize size);

// A checkerboard of hue-coloured and dark squares with hard edges, one pixel
// border in white: enlarging it shows the resampling plainly.
Image DrawChecker(IntSize size, int cellPixels);

// Antialiased shapes (disc, ring, rectangle, triangle, bar) on a light ground.
Image DrawShapes(IntSize size);

// A gold star in a ring, with the coverage of the round badge as alpha
// (255 inside, 0 outside, smooth at the edge): the picture with transparency.
struct PictureWithAlpha {
  Image image;
  std::vector<std::uint8_t> alpha;  // one byte per pixel, rows top to bottom
};
PictureWithAlpha DrawBadge(int diameterPixels);

// Frame `index` of `frameCount` of the demo clip: a sky that darkens, a ball
// bouncing across, a turning square and a progress bar. Fills `frame` whole.
void DrawClipFrame(int index, int frameCount, Image& frame);

}  // namespace vistel::pack::demo
