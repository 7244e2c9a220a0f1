#include "media/probe/png_chunks.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace vistel {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Ancillary (lower-case first letter) and unknown to every reader.
constexpr std::array<std::uint8_t, 4> kHiddenType = {'v', 's', 'T', 'x'};

bool Inflates(const std::uint8_t* type) {
  return std::memcmp(type, "zTXt", 4) == 0 || std::memcmp(type, "iTXt", 4) == 0 ||
         std::memcmp(type, "iCCP", 4) == 0;
}

std::uint32_t BigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

// `read(at, head)` fills the eight bytes at file offset `at`, or says it cannot.
template <class Read>
std::vector<std::int64_t> WalkChunks(Read read) {
  std::vector<std::int64_t> found;
  std::array<std::uint8_t, 8> head{};
  if (!read(0, head) || head != kSignature) return found;
  // Each step moves at least twelve bytes on, so the walk ends with the file.
  std::int64_t at = 8;
  while (read(at, head)) {
    const std::uint32_t length = BigEndian(head.data());
    if (Inflates(head.data() + 4)) found.push_back(at + 4);
    if (std::memcmp(head.data() + 4, "IEND", 4) == 0) break;
    at += std::int64_t{12} + length;
  }
  return found;
}

}  // namespace

std::vector<std::int64_t> FindInflatingPngChunks(std::FILE* file) {
  return WalkChunks([file](std::int64_t at, std::array<std::uint8_t, 8>& head) {
#ifdef _WIN32
    return _fseeki64(file, at, SEEK_SET) == 0 && std::fread(head.data(), 1, 8, file) == 8;
#else
    return fseeko(file, at, SEEK_SET) == 0 && std::fread(head.data(), 1, 8, file) == 8;
#endif
  });
}

std::vector<std::int64_t> FindInflatingPngChunks(std::span<const std::byte> file) {
  return WalkChunks([file](std::int64_t at, std::array<std::uint8_t, 8>& head) {
    if (at < 0 || static_cast<std::uint64_t>(at) > file.size() ||
        file.size() - static_cast<std::size_t>(at) < head.size()) {
      return false;
    }
    std::memcpy(head.data(), file.data() + at, head.size());
    return true;
  });
}

void HidePngChunks(std::span<const std::int64_t> typeOffsets, std::int64_t offset,
                   std::span<std::uint8_t> bytes) {
  const std::int64_t end = offset + static_cast<std::int64_t>(bytes.size());
  // The first type that may reach into the range starts at most 3 bytes before it.
  auto it = std::lower_bound(typeOffsets.begin(), typeOffsets.end(), offset - 3);
  for (; it != typeOffsets.end() && *it < end; ++it) {
    for (std::int64_t i = 0; i < 4; ++i) {
      const std::int64_t at = *it + i;
      if (at >= offset && at < end) {
        bytes[static_cast<std::size_t>(at - offset)] = kHiddenType[static_cast<std::size_t>(i)];
      }
    }
  }
}

}  // namespace vistel
