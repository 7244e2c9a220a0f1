// Decoded 4:2:0 pictures to the engine's Image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/image.hpp"

namespace vistel {

// Planes of a 4:2:0 picture: luma width x height, both chroma planes
// (width + 1) / 2 x (height + 1) / 2, rows `stride` bytes apart.
struct Yuv420View {
  int width = 0;
  int height = 0;
  const std::uint8_t* y = nullptr;
  const std::uint8_t* cb = nullptr;
  const std::uint8_t* cr = nullptr;
  std::ptrdiff_t yStride = 0;
  std::ptrdiff_t chromaStride = 0;

  int ChromaWidth() const { return (width + 1) / 2; }
  int ChromaHeight() const { return (height + 1) / 2; }
};

// Converts limited-range BT.601 YCbCr to the engine's pixels, giving the
// pixels FFmpeg's clip decoder gets from swscale (chroma sited between the
// luma samples, interpolated linearly across, by halves down, accurately
// rounded); the image takes the picture's size.
void Yuv420ToImage(const Yuv420View& picture, Image& image);

}  // namespace vistel
