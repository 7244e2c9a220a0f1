// One photo made ready for a slideshow: checked, decoded, turned upright by
// its Exif orientation and shrunk to the largest size the show needs.
#pragma once

#include <string>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "media/probe/picture_orientation.hpp"
#include "media/probe/picture_probe.hpp"

namespace vistel::pack {

struct PreparedPhoto {
  // The file to store: the photo itself when it can go in as it is, else
  // the JPEG written at the scratch path.
  std::string path;
  bool rewritten = false;
  PictureKind kind = PictureKind::Jpeg;
  PictureOrientation orientation = PictureOrientation::Upright;
  IntSize size;  // as stored in the package
};

// Keeps the photo's own bytes when it is a JPEG, PNG or GIF that stands
// upright and fits in maxSize; otherwise (turned, shrunk, or a BMP or TIFF,
// which are large for what they show) writes it as a JPEG at scratchPath.
// Every photo is decoded once, so a file that the player could not show is
// refused here, with the reason. A picture over the pixel limits is refused
// from its header, before it is decoded.
Result<PreparedPhoto> PreparePhoto(const std::string& path, IntSize maxSize,
                                   const std::string& scratchPath);

}  // namespace vistel::pack
