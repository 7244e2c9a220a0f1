#include "media/probe/media_signature.hpp"

#include <cstdint>

#include "media/probe/picture_probe.hpp"

namespace vistel {
namespace {

bool Has(std::span<const std::byte> bytes, std::size_t offset, std::string_view text) {
  if (offset > bytes.size() || text.size() > bytes.size() - offset) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (bytes[offset + i] != static_cast<std::byte>(text[i])) return false;
  }
  return true;
}

std::uint32_t At(std::span<const std::byte> bytes, std::size_t offset) {
  return std::to_integer<std::uint32_t>(bytes[offset]);
}

// An MPEG audio frame header at offset: the 11-bit sync and no reserved
// version, layer, bit rate or sample rate. Layer III is .mp3, I and II .mp2.
std::string_view MpegAudioAt(std::span<const std::byte> bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return "";
  const std::uint32_t b1 = At(bytes, offset + 1);
  const std::uint32_t b2 = At(bytes, offset + 2);
  if (At(bytes, offset) != 0xFF || (b1 & 0xE0U) != 0xE0U) return "";
  const std::uint32_t version = (b1 >> 3U) & 3U;
  const std::uint32_t layer = (b1 >> 1U) & 3U;
  if (version == 1 || layer == 0 || (b2 >> 4U) == 0xFU || ((b2 >> 2U) & 3U) == 3U) return "";
  return layer == 1 ? ".mp3" : ".mp2";
}

}  // namespace

std::string_view MediaExtension(std::span<const std::byte> head) {
  if (const auto picture = SniffPictureKind(head)) {
    switch (*picture) {
      case PictureKind::Jpeg:
        return ".jpg";
      case PictureKind::Png:
        return ".png";
      case PictureKind::Bmp:
        return ".bmp";
      case PictureKind::Gif:
        return ".gif";
      case PictureKind::Tiff:
        return ".tif";
    }
  }
  // An MPEG program stream's pack header, or a bare MPEG video sequence.
  if (Has(head, 0, std::string_view("\0\0\1\xBA", 4)) ||
      Has(head, 0, std::string_view("\0\0\1\xB3", 4))) {
    return ".mpg";
  }
  if (Has(head, 0, "RIFF")) {
    if (Has(head, 8, "AVI ")) return ".avi";
    if (Has(head, 8, "WAVE")) return ".wav";
    if (Has(head, 8, "RMID")) return ".mid";
    return "";
  }
  if (Has(head, 0, "MThd")) return ".mid";
  if (Has(head, 0, "ID3") && head.size() >= 10) {
    // The tag's size is four 7-bit bytes; a footer adds ten more.
    std::size_t end = 10 + ((At(head, 6) & 0x7FU) << 21U) + ((At(head, 7) & 0x7FU) << 14U) +
                      ((At(head, 8) & 0x7FU) << 7U) + (At(head, 9) & 0x7FU);
    if (At(head, 5) & 0x10U) end += 10;
    const std::string_view behind = MpegAudioAt(head, end);
    // A tag longer than the head hides the frames; such tags sit in front of
    // MP3 files far more often than in front of anything else.
    return !behind.empty() ? behind : end + 4 > head.size() ? ".mp3" : "";
  }
  return MpegAudioAt(head, 0);
}

}  // namespace vistel
