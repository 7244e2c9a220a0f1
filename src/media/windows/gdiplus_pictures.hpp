// Pictures through the system's GDI+: JPEG, PNG (palette ones too), BMP, GIF
// (its first frame) and TIFF (its first page). The file is read whole (at
// most limits::kMaxMediaAllocationBytes) and checked before GDI+ sees it: its
// signature must be one of the five formats (never a metafile or an icon),
// the size its header declares must be within the picture limits (GDI+ may
// take the whole bitmap's memory as it opens a file), and a PNG's chunks that
// would inflate without limit are hidden. Transparent pixels show the
// background colour.
#pragma once

#include "runtime/media.hpp"

namespace vistel {

class GdiplusPictureDecoder final : public PictureDecoder {
 public:
  Result<Image> DecodePicture(std::string_view path, Pixel backColor) override;
};

}  // namespace vistel
