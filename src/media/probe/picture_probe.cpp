#include "media/probe/picture_probe.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace vistel {
namespace {

class Bytes {
 public:
  explicit Bytes(std::span<const std::byte> bytes) : bytes_(bytes) {}

  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::uint32_t At(std::size_t offset) const {
    return std::to_integer<std::uint32_t>(bytes_[offset]);
  }
  std::uint32_t Big16(std::size_t offset) const { return (At(offset) << 8U) | At(offset + 1); }
  std::uint32_t Little16(std::size_t offset) const { return At(offset) | (At(offset + 1) << 8U); }
  std::uint32_t Big32(std::size_t offset) const {
    return (Big16(offset) << 16U) | Big16(offset + 2);
  }
  std::uint32_t Little32(std::size_t offset) const {
    return Little16(offset) | (Little16(offset + 2) << 16U);
  }
  // The first `count` bytes (all when there are fewer).
  Bytes Prefix(std::size_t count) const {
    return Bytes(bytes_.first(std::min(count, bytes_.size())));
  }
  bool StartsWith(std::string_view signature) const {
    if (!Has(0, signature.size())) return false;
    for (std::size_t i = 0; i < signature.size(); ++i) {
      if (At(i) != static_cast<unsigned char>(signature[i])) return false;
    }
    return true;
  }

 private:
  std::span<const std::byte> bytes_;
};

// A declared dimension as an int; anything beyond int's range is clamped,
// which is over every limit anyway.
int Dimension(std::uint64_t value) {
  return value > static_cast<std::uint64_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(value);
}

// An Exif or TIFF directory's Orientation (tag 274), Upright when absent or
// outside 1..8. `base` is where the TIFF header starts; offsets count from it.
PictureOrientation TiffOrientation(const Bytes& in, std::size_t base) {
  if (!in.Has(base, 8)) return PictureOrientation::Upright;
  const bool little = in.At(base) == 'I';
  auto u16 = [&](std::size_t at) { return little ? in.Little16(at) : in.Big16(at); };
  auto u32 = [&](std::size_t at) { return little ? in.Little32(at) : in.Big32(at); };
  const std::size_t ifd = base + u32(base + 4);
  if (ifd < base || !in.Has(ifd, 2)) return PictureOrientation::Upright;
  const std::uint32_t entries = u16(ifd);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::size_t entry = ifd + 2 + std::size_t{12} * i;
    if (!in.Has(entry, 12)) break;
    if (u16(entry) != 274 || u16(entry + 2) != 3) continue;  // Orientation, SHORT
    const std::uint32_t value = u16(entry + 8);
    if (value >= 1 && value <= 8) return static_cast<PictureOrientation>(value);
    break;
  }
  return PictureOrientation::Upright;
}

// The orientation of a PNG's eXIf chunk: a TIFF header and directory whose
// offsets count from the chunk's data. Read only before the image data, where
// PNG's extension for it places the chunk.
PictureOrientation PngOrientation(const Bytes& in) {
  std::size_t at = 8;  // past the signature
  while (in.Has(at, 8)) {
    const std::size_t length = in.Big32(at);
    const std::uint32_t type = in.Big32(at + 4);
    if (type == 0x49444154U /* IDAT */ || type == 0x49454E44U /* IEND */) break;
    if (!in.Has(at + 8, length)) break;  // a chunk past what was read
    if (type == 0x65584966U /* eXIf */) return TiffOrientation(in.Prefix(at + 8 + length), at + 8);
    at += 8 + length + 4;  // length, type, data, CRC
  }
  return PictureOrientation::Upright;
}

// The first frame header's size, and the orientation of an Exif segment that
// comes before it.
std::optional<PictureHeader> JpegHeader(const Bytes& in) {
  PictureHeader header;
  bool exifSeen = false;
  std::size_t at = 2;  // past SOI
  while (in.Has(at, 4)) {
    if (in.At(at) != 0xFF) return std::nullopt;
    const std::uint32_t marker = in.At(at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    const std::uint32_t length = in.Big16(at + 2);
    if (length < 2) return std::nullopt;
    // Start-of-frame markers (not DHT C4, JPG C8, DAC CC) carry the size.
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (!in.Has(at + 4, 5)) return std::nullopt;
      header.size = IntSize{Dimension(in.Big16(at + 7)), Dimension(in.Big16(at + 5))};
      return header;
    }
    if (marker == 0xDA || marker == 0xD9) return std::nullopt;  // data before any frame
    // Only the first Exif segment counts, as in every viewer; a TIFF header
    // follows "Exif\0\0" and its offsets count from that header.
    constexpr std::size_t kExifTag = 6;
    if (marker == 0xE1 && !exifSeen && length >= 2 + kExifTag + 8 && in.Has(at + 4, kExifTag) &&
        in.Big32(at + 4) == 0x45786966U /* "Exif" */ && in.Big16(at + 8) == 0) {
      exifSeen = true;
      const std::size_t tiff = at + 4 + kExifTag;
      // The directory must lie inside the segment: bound the view to it.
      header.orientation = TiffOrientation(in.Prefix(at + 2 + length), tiff);
    }
    at += 2 + length;
  }
  return std::nullopt;
}

std::optional<IntSize> BmpSize(const Bytes& in) {
  if (!in.Has(14, 4)) return std::nullopt;
  const std::uint32_t headerSize = in.Little32(14);
  if (headerSize == 12) {  // BITMAPCOREHEADER: 16-bit sizes
    if (!in.Has(18, 4)) return std::nullopt;
    return IntSize{Dimension(in.Little16(18)), Dimension(in.Little16(20))};
  }
  if (headerSize < 40 || !in.Has(18, 8)) return std::nullopt;
  const auto width = static_cast<std::int32_t>(in.Little32(18));
  const auto height = static_cast<std::int32_t>(in.Little32(22));  // negative: top-down
  return IntSize{Dimension(static_cast<std::uint64_t>(std::llabs(width))),
                 Dimension(static_cast<std::uint64_t>(std::llabs(height)))};
}

std::optional<IntSize> TiffSize(const Bytes& in, bool little) {
  auto u16 = [&](std::size_t at) { return little ? in.Little16(at) : in.Big16(at); };
  auto u32 = [&](std::size_t at) { return little ? in.Little32(at) : in.Big32(at); };
  if (!in.Has(4, 4)) return std::nullopt;
  const std::size_t ifd = u32(4);
  if (!in.Has(ifd, 2)) return std::nullopt;
  const std::uint32_t entries = u16(ifd);
  IntSize size;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::size_t entry = ifd + 2 + std::size_t{12} * i;
    if (!in.Has(entry, 12)) return std::nullopt;
    const std::uint32_t tag = u16(entry);
    if (tag != 256 && tag != 257) continue;
    const std::uint32_t type = u16(entry + 2);
    const std::uint32_t value = type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
    (tag == 256 ? size.width : size.height) = Dimension(value);
  }
  return size;
}

// The logical screen, grown to hold the first frame: a frame may declare
// itself larger than the screen it is drawn on.
std::optional<IntSize> GifSize(const Bytes& in) {
  if (!in.Has(6, 7)) return std::nullopt;
  std::uint32_t width = in.Little16(6);
  std::uint32_t height = in.Little16(8);
  std::size_t at = 13;
  if (in.At(10) & 0x80U) at += std::size_t{3} << ((in.At(10) & 0x07U) + 1);  // global palette
  while (in.Has(at, 1)) {
    const std::uint32_t block = in.At(at);
    if (block == 0x2C) {  // the first image descriptor
      if (!in.Has(at, 9)) break;
      width = std::max(width, in.Little16(at + 1) + in.Little16(at + 5));
      height = std::max(height, in.Little16(at + 3) + in.Little16(at + 7));
      break;
    }
    if (block != 0x21 || !in.Has(at, 2)) break;  // only extensions come before it
    at += 2;
    while (in.Has(at, 1) && in.At(at) != 0) at += 1 + in.At(at);  // its sub-blocks
    ++at;
  }
  return IntSize{Dimension(width), Dimension(height)};
}

}  // namespace

std::optional<PictureKind> SniffPictureKind(std::span<const std::byte> bytes) {
  const Bytes in(bytes);
  if (in.StartsWith("\xFF\xD8\xFF")) return PictureKind::Jpeg;
  if (in.StartsWith("\x89PNG\r\n\x1A\n")) return PictureKind::Png;
  if (in.StartsWith("GIF87a") || in.StartsWith("GIF89a")) return PictureKind::Gif;
  if (in.StartsWith("BM")) return PictureKind::Bmp;
  if (in.StartsWith(std::string_view("II*\0", 4)) || in.StartsWith(std::string_view("MM\0*", 4))) {
    return PictureKind::Tiff;
  }
  return std::nullopt;
}

std::optional<PictureHeader> ProbePicture(std::span<const std::byte> bytes) {
  const auto kind = SniffPictureKind(bytes);
  if (!kind) return std::nullopt;
  const Bytes in(bytes);
  std::optional<IntSize> size;
  PictureOrientation orientation = PictureOrientation::Upright;
  switch (*kind) {
    case PictureKind::Jpeg:
      if (const auto jpeg = JpegHeader(in)) {
        size = jpeg->size;
        orientation = jpeg->orientation;
      }
      break;
    case PictureKind::Png:
      if (in.Has(16, 8)) size = IntSize{Dimension(in.Big32(16)), Dimension(in.Big32(20))};
      orientation = PngOrientation(in);
      break;
    case PictureKind::Gif:
      size = GifSize(in);
      break;
    case PictureKind::Bmp:
      size = BmpSize(in);
      break;
    case PictureKind::Tiff:
      size = TiffSize(in, in.At(0) == 'I');
      orientation = TiffOrientation(in, 0);
      break;
  }
  if (!size) return std::nullopt;
  return PictureHeader{*kind, *size, orientation};
}

std::string_view PictureKindName(PictureKind kind) {
  switch (kind) {
    case PictureKind::Jpeg:
      return "JPEG";
    case PictureKind::Png:
      return "PNG";
    case PictureKind::Bmp:
      return "BMP";
    case PictureKind::Gif:
      return "GIF";
    case PictureKind::Tiff:
      return "TIFF";
  }
  return "picture";
}

}  // namespace vistel
