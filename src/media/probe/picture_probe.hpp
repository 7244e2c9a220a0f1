// What a picture file says it is, from its first bytes alone: the format, by
// its signature, and the size its header declares. A decoder that allocates
// the whole picture as it opens the file (the Windows system decoders) is
// asked to decode only what passed this check against the pixel limits.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "base/geometry.hpp"
#include "media/probe/picture_orientation.hpp"

namespace vistel {

enum class PictureKind { Jpeg, Png, Bmp, Gif, Tiff };

struct PictureHeader {
  PictureKind kind = PictureKind::Jpeg;
  IntSize size;  // as declared (stored pixels); 0 where the header leaves it to the data
  // From a JPEG's Exif segment or a TIFF's first directory; Upright when the
  // picture says nothing or something outside 1..8.
  PictureOrientation orientation = PictureOrientation::Upright;
};

// The format by its signature alone, from as few as the first 8 bytes.
std::optional<PictureKind> SniffPictureKind(std::span<const std::byte> bytes);

// nullopt for anything that is not one of the five formats, or whose header
// is cut short before the size. A JPEG's size is in its first frame header,
// which may follow large metadata segments: `bytes` should be the whole file.
std::optional<PictureHeader> ProbePicture(std::span<const std::byte> bytes);

// "JPEG", "PNG", ...
std::string_view PictureKindName(PictureKind kind);

}  // namespace vistel
