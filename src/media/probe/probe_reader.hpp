// Random access to a file through one window of bounded size, for the sound
// probe (internal). Bytes past the end read as zero, as FFmpeg's reader hands
// them out; the first read error is kept and every later read gives zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "runtime/files.hpp"

namespace vistel::probe {

class ProbeReader {
 public:
  static constexpr std::size_t kWindowBytes = std::size_t{1} << 16;

  explicit ProbeReader(InputFile& file);

  std::uint64_t Size() const { return size_; }
  // The first read error, if any.
  const std::optional<Error>& Failure() const { return failure_; }

  std::uint8_t At(std::uint64_t offset);
  std::uint32_t Big16(std::uint64_t offset) { return (Byte(offset) << 8U) | Byte(offset + 1); }
  std::uint32_t Big24(std::uint64_t offset) { return (Big16(offset) << 8U) | Byte(offset + 2); }
  std::uint32_t Big32(std::uint64_t offset) { return (Big16(offset) << 16U) | Big16(offset + 2); }
  std::uint32_t Little16(std::uint64_t offset) { return Byte(offset) | (Byte(offset + 1) << 8U); }
  std::uint32_t Little32(std::uint64_t offset) {
    return Little16(offset) | (Little16(offset + 2) << 16U);
  }
  bool Matches(std::uint64_t offset, std::string_view text);

  // Copies `count` bytes from `offset` (zeros past the end) to the end of `out`.
  void Append(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& out);

 private:
  std::uint32_t Byte(std::uint64_t offset) { return At(offset); }
  void Load(std::uint64_t start);

  InputFile& file_;
  std::uint64_t size_;
  std::vector<std::uint8_t> window_;
  std::uint64_t windowStart_ = 0;
  std::optional<Error> failure_;
};

}  // namespace vistel::probe
