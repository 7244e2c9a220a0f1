#include "imaging/stretch_blt.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vistel {

namespace {

// One axis of the blit, normalised to a positive extent.
struct Axis {
  std::int64_t destStart = 0;
  std::int64_t destLength = 0;
  std::int64_t sourceStart = 0;
  std::int64_t sourceLength = 0;
  bool mirrored = false;

  Axis(int d, int dl, int s, int sl) {
    destStart = d;
    destLength = dl;
    sourceStart = s;
    sourceLength = sl;
    if (destLength < 0) {
      destStart += destLength + 1;
      destLength = -destLength;
      mirrored = !mirrored;
    }
    if (sourceLength < 0) {
      sourceStart += sourceLength + 1;
      sourceLength = -sourceLength;
      mirrored = !mirrored;
    }
  }

  // The source coordinate under destination pixel j (0 .. destLength-1).
  std::int64_t SourceOf(std::int64_t j) const {
    const std::int64_t k = mirrored ? destLength - 1 - j : j;
    return sourceStart + (2 * k + 1) * sourceLength / (2 * destLength);
  }

  // The destination pixels inside 0 .. limit-1, as [first, last).
  std::int64_t First() const { return std::max<std::int64_t>(0, -destStart); }
  std::int64_t Last(std::int64_t limit) const {
    return std::min<std::int64_t>(destLength, limit - destStart);
  }
};

}  // namespace

Status StretchBlt(Image& dest, int dx, int dy, int dw, int dh, const Image& source, int sx, int sy,
                  int sw, int sh, std::uint32_t rop) {
  if (rop != kSrcCopy) return Fail(ErrorCode::InvalidProcedureCall, "Unsupported raster operation");
  if (dest.IsEmpty() || source.IsEmpty()) {
    return Fail(ErrorCode::InvalidProcedureCall, "Blit needs two bitmaps");
  }
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return {};
  const Axis ax(dx, dw, sx, sw);
  const Axis ay(dy, dh, sy, sh);
  const std::int64_t x0 = ax.First(), x1 = ax.Last(dest.Width());
  const std::int64_t y0 = ay.First(), y1 = ay.Last(dest.Height());
  if (x1 <= x0 || y1 <= y0) return {};

  // A blit within one bitmap reads the pixels as they were before it.
  Image copy;
  const Image* src = &source;
  if (&source == &dest) {
    copy = source;
    src = &copy;
  }
  std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
  for (std::int64_t j = x0; j < x1; ++j) {
    const std::int64_t s = ax.SourceOf(j);
    columns[static_cast<std::size_t>(j - x0)] =
        s >= 0 && s < src->Width() ? static_cast<int>(s) : -1;
  }
  // The run of columns with a source: the mapping is monotonic, so it is one
  // contiguous run.
  std::size_t c0 = 0, c1 = columns.size();
  while (c0 < c1 && columns[c0] < 0) ++c0;
  while (c1 > c0 && columns[c1 - 1] < 0) --c1;
  if (c0 == c1) return {};

  // A row at its own width is a plain copy of consecutive pixels.
  const bool oneToOne = !ax.mirrored && ax.sourceLength == ax.destLength;
  for (std::int64_t i = y0; i < y1; ++i) {
    const std::int64_t s = ay.SourceOf(i);
    if (s < 0 || s >= src->Height()) continue;
    const Pixel* from = src->Row(static_cast<int>(s));
    Pixel* to = dest.Row(static_cast<int>(ay.destStart + i)) + (ax.destStart + x0);
    if (oneToOne) {
      std::copy(from + columns[c0], from + columns[c0] + (c1 - c0), to + c0);
    } else {
      for (std::size_t c = c0; c < c1; ++c) to[c] = from[columns[c]];
    }
  }
  return {};
}

Status StretchBlt(BitmapDC dest, int dx, int dy, int dw, int dh, BitmapDC source, int sx, int sy,
                  int sw, int sh, std::uint32_t rop) {
  if (!dest || !source) return Fail(ErrorCode::InvalidProcedureCall, "No device context");
  return StretchBlt(*dest.bitmap, dx, dy, dw, dh, *source.bitmap, sx, sy, sw, sh, rop);
}

}  // namespace vistel
