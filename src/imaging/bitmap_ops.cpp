#include "imaging/bitmap_ops.hpp"

#include <algorithm>

namespace vistel {

void FillImage(Image& image, Pixel color) {
  const auto pixels = image.Pixels();
  std::fill(pixels.begin(), pixels.end(), color & 0x00FFFFFFU);
}

namespace {

template <class Op>
void CombineRows(Image& dest, IntRect area, const Image& source, IntPoint origin, Op op) {
  for (int y = 0; y < area.height; ++y) {
    Pixel* d = dest.Row(area.top + y) + area.left;
    const Pixel* s = source.Row(origin.y + y) + origin.x;
    for (int x = 0; x < area.width; ++x) {
      const Pixel a = d[x];
      const Pixel b = s[x];
      d[x] = MakePixel(op(PixelRed(a), PixelRed(b)), op(PixelGreen(a), PixelGreen(b)),
                       op(PixelBlue(a), PixelBlue(b)));
    }
  }
}

}  // namespace

Status CombineImages(Image& dest, IntRect area, const Image& source, IntPoint sourceOrigin,
                     std::int32_t mode) {
  if (mode != static_cast<std::int32_t>(CombineMode::Add) &&
      mode != static_cast<std::int32_t>(CombineMode::Multiply)) {
    return Fail(ErrorCode::InvalidProcedureCall, "Unknown combine mode");
  }
  if (dest.IsEmpty() || source.IsEmpty()) {
    return Fail(ErrorCode::InvalidProcedureCall, "Combine needs two bitmaps");
  }
  if (area.width <= 0 || area.height <= 0) return {};
  // Clip to the destination, moving the source corner along, then to the
  // source, moving the destination corner along. 64-bit: the corners come
  // from untrusted singles and may be near the 32-bit limits.
  const auto clip = [](std::int64_t& d0, std::int64_t& s0, std::int64_t& len, std::int64_t dMax,
                       std::int64_t sMax) {
    if (d0 < 0) {
      len += d0;
      s0 -= d0;
      d0 = 0;
    }
    if (s0 < 0) {
      len += s0;
      d0 -= s0;
      s0 = 0;
    }
    len = std::min({len, dMax - d0, sMax - s0});
  };
  std::int64_t dx = area.left, dy = area.top, sx = sourceOrigin.x, sy = sourceOrigin.y;
  std::int64_t w = area.width, h = area.height;
  clip(dx, sx, w, dest.Width(), source.Width());
  clip(dy, sy, h, dest.Height(), source.Height());
  if (w <= 0 || h <= 0) return {};
  const IntRect clipped{static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(w),
                        static_cast<int>(h)};
  const IntPoint from{static_cast<int>(sx), static_cast<int>(sy)};

  // Combining a bitmap with itself at an offset must read the pixels as they
  // were before the call.
  Image copy;
  const Image* src = &source;
  if (&source == &dest) {
    copy = source;
    src = &copy;
  }
  if (mode == static_cast<std::int32_t>(CombineMode::Multiply)) {
    CombineRows(dest, clipped, *src, from, MultiplyChannel);
  } else {
    CombineRows(dest, clipped, *src, from, AddChannel);
  }
  return {};
}

}  // namespace vistel
