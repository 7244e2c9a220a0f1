// JPEG through libjpeg-turbo, which decodes a reduced scale (n/8 of each
// side) for a fraction of the work: a camera's photograph that the show
// shrinks to the screen is decoded at a scale that still covers the size it
// is shown at, and resampled from there (row by row as they are decoded,
// when asked for rows). Every other picture, and a JPEG that libjpeg-turbo
// does not take (CMYK, 12-bit, lossless, or one it gives up on), goes to the
// fallback decoder as a whole.
//
// The file is untrusted: it is read whole under limits::kMaxMediaAllocationBytes,
// its declared size is checked against the picture limits before any pixel
// is allocated, libjpeg's fatal errors come back as errors (never exit()),
// and a file of endless scans or endless corrupt data is given up on.
#pragma once

#include "base/geometry.hpp"
#include "runtime/media.hpp"

namespace vistel {

class JpegPictureDecoder final : public PictureDecoder {
 public:
  // `fallback` must outlive this decoder and the pictures it opens.
  explicit JpegPictureDecoder(PictureDecoder& fallback) : fallback_(fallback) {}

  // The whole picture (OpenPicture, then Decode at full size).
  Result<Image> DecodePicture(std::string_view path, Pixel backColor) override;
  Result<std::unique_ptr<OpenedPicture>> OpenPicture(std::string_view path,
                                                     Pixel backColor) override;

 private:
  PictureDecoder& fallback_;
};

// The numerator n of the scale n/8 that libjpeg-turbo decodes `picture` at
// for a target of `atLeast`: the smallest of 1, 2 and 4 whose extent (the
// picture's size times n/8) is at least the target in both axes, 8 when
// none is. The scales between are slower than the next of these.
int JpegScaleEighths(IntSize picture, IntSize atLeast);

}  // namespace vistel
