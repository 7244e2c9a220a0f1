// Slices of MPEG-1 video: macroblocks, blocks and motion compensation
// (internal to the video decoder).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistel::mpeg1video {

// A picture's planes at the coded size: whole macroblocks, so the luma plane
// is 16 * mbWidth x 16 * mbHeight and each chroma plane half that.
struct Frame {
  int width = 0;  // luma; the chroma planes are half as wide and high
  int height = 0;
  std::vector<std::uint8_t> y, cb, cr;

  void Allocate(int mbWidth, int mbHeight);
  void Fill(std::uint8_t value);
  std::uint8_t* Luma(int x, int row) {
    return y.data() + static_cast<std::ptrdiff_t>(row) * width + x;
  }
  std::uint8_t* Chroma(std::vector<std::uint8_t>& plane, int x, int row) {
    return plane.data() + static_cast<std::ptrdiff_t>(row) * (width / 2) + x;
  }
};

enum PictureCodingType { kPictureI = 1, kPictureP = 2, kPictureB = 3, kPictureD = 4 };

struct PictureHeader {
  int type = 0;
  int temporalReference = 0;
  bool fullPelForward = false;
  bool fullPelBackward = false;
  int forwardFCode = 1;  // 1..7
  int backwardFCode = 1;
};

// Everything the slices of one picture share.
struct SliceContext {
  const PictureHeader* picture = nullptr;
  const std::array<std::uint8_t, 64>* intraMatrix = nullptr;  // raster order
  const std::array<std::uint8_t, 64>* nonIntraMatrix = nullptr;
  Frame* current = nullptr;
  const Frame* forward = nullptr;   // P and B pictures
  const Frame* backward = nullptr;  // B pictures
  int mbWidth = 0;
  int mbHeight = 0;
  // One flag per macroblock, set when it is decoded.
  std::uint8_t* decoded = nullptr;
};

// Decodes the slice whose start code names macroblock row `row` (0-based)
// from the bytes after that start code. False when the slice is damaged:
// the macroblocks decoded before the damage keep their flag.
bool DecodeSlice(const SliceContext& context, int row, const std::uint8_t* data, std::size_t size);

// Copies one macroblock from `source` (or fills it with mid-grey without a
// source): what a macroblock that could not be decoded shows.
void ConcealMacroblock(Frame& frame, const Frame* source, int mbX, int mbY);

}  // namespace vistel::mpeg1video
