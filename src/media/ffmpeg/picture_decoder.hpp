// Pictures through FFmpeg: JPEG, PNG, BMP (palettes and RLE too), GIF (its
// first frame), TIFF and whatever else FFmpeg reads, recognised by their
// content since the extracted media files have no extension.
#pragma once

#include "runtime/media.hpp"

namespace vistel {

class FfmpegPictureDecoder final : public PictureDecoder {
 public:
  Result<Image> DecodePicture(std::string_view path, Pixel backColor) override;
};

}  // namespace vistel
