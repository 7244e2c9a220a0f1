// The stretching blit between bitmap device contexts, as the show engine's
// background and image layers use it to put a picture into the surface.
#pragma once

#include <cstdint>

#include "base/error.hpp"
#include "base/image.hpp"

namespace vistel {

// Raster operation: copy the source.
inline constexpr std::uint32_t kSrcCopy = 0x00CC0020U;

// A device context drawing into an imaging control's bitmap, as
// GetBitmapDC hands it out. Null is "no context": every blit with it fails.
struct BitmapDC {
  Image* bitmap = nullptr;
  explicit operator bool() const { return bitmap != nullptr; }
};

// Copies the source rectangle (sx, sy, sw, sh) into the destination
// rectangle (dx, dy, dw, dh), stretching or shrinking by nearest neighbour:
// destination pixel j of the rectangle takes source pixel
// floor((2j + 1) * sw / (2 * dw)), the one under its centre. A negative width
// or height mirrors, as GDI does: the rectangle then runs from x + w + 1 to x
// (the same pixels as a positive width starting at x + w + 1, drawn the other
// way round); opposite signs of source and destination mirror the picture.
// The destination is clipped to its bitmap without moving the picture;
// destination pixels whose source lies outside the source bitmap are left as
// they are. Only kSrcCopy is supported; a zero size draws nothing.
Status StretchBlt(Image& dest, int dx, int dy, int dw, int dh, const Image& source, int sx, int sy,
                  int sw, int sh, std::uint32_t rop);
Status StretchBlt(BitmapDC dest, int dx, int dy, int dw, int dh, BitmapDC source, int sx, int sy,
                  int sw, int sh, std::uint32_t rop);

}  // namespace vistel
