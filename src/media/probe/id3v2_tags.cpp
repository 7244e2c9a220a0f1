#include "media/probe/id3v2_tags.hpp"

#include <array>

namespace vistel::probe {
namespace {

constexpr std::uint64_t kHeaderBytes = 10;

// Four bytes of seven bits each.
std::int64_t SyncSafe(std::span<const std::uint8_t> bytes) {
  std::int64_t value = 0;
  for (std::uint8_t b : bytes) value = (value << 7) | (b & 0x7F);
  return value;
}

}  // namespace

bool IsId3v2Header(std::span<const std::uint8_t, 10> b) {
  return b[0] == 'I' && b[1] == 'D' && b[2] == '3' && b[3] != 0xFF && b[4] != 0xFF &&
         (b[6] & 0x80) == 0 && (b[7] & 0x80) == 0 && (b[8] & 0x80) == 0 && (b[9] & 0x80) == 0;
}

std::int64_t Id3v2ProbeLength(std::span<const std::uint8_t, 10> b) {
  const std::int64_t footer = (b[5] & 0x10) != 0 ? 10 : 0;
  return SyncSafe(b.subspan<6, 4>()) + 10 + footer;
}

std::optional<std::uint64_t> SkipId3v2Tags(ProbeReader& reader, std::uint64_t offset) {
  const std::uint64_t size = reader.Size();
  while (offset <= size && size - offset >= kHeaderBytes) {
    std::array<std::uint8_t, 10> b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = reader.At(offset + i);
    if (!IsId3v2Header(b)) break;
    const auto body = static_cast<std::uint64_t>(SyncSafe(std::span(b).subspan<6, 4>()));
    const int version = b[3];
    const int flags = b[5];
    std::uint64_t end = offset + kHeaderBytes + body;
    if (version == 4 && (flags & 0x10) != 0) {
      // The footer is skipped only when the tag is read without error, and
      // an extended header may be one.
      if ((flags & 0x40) != 0) return std::nullopt;
      end += kHeaderBytes;
    }
    offset = end;
  }
  return offset;
}

}  // namespace vistel::probe
