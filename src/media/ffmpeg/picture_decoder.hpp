// Pictures through FFmpeg: JPEG, PNG, BMP (palettes and RLE too), GIF (its
// first frame) and TIFF, recognised by their content since the extracted
// media files have no extension. Anything else is refused, and so is a
// picture over limits::kMaxPicturePixels or limits::kMaxPictureSide.
#pragma once

#include "runtime/media.hpp"

namespace vistel {

class FfmpegPictureDecoder final : public PictureDecoder {
 public:
  Result<Image> DecodePicture(std::string_view path, Pixel backColor) override;
};

}  // namespace vistel
