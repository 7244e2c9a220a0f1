// A private temporary file that holds the current fuzz input, for decoders
// that open their media by path. The file is unlinked as soon as it is made
// and reached through /proc/self/fd, so a run that crashes or is killed
// leaves nothing behind; each input costs one truncate and one write.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "runtime/files.hpp"

namespace vistel::fuzz {

class ScratchFile {
 public:
  ScratchFile();  // traps when no temporary file can be made
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Makes bytes the whole content of the file; returns the path to open.
  const std::string& Hold(std::span<const std::uint8_t> bytes);
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Ends the run as a finding when a property of the target does not hold.
inline void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The input as a file held in memory, for parsers that read through
// InputFile; a read past the end is a finding.
class BytesFile final : public InputFile {
 public:
  explicit BytesFile(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    Require(offset < bytes_.size());
    const std::size_t count = std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
    std::memcpy(buffer.data(), bytes_.data() + offset, count);
    return count;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// An error message quotes little of the input (limits::kMaxQuotedInputChars
// at a time), whatever the input's size: a longer one quotes too much.
inline constexpr std::size_t kMaxMessageBytes = 400;

}  // namespace vistel::fuzz
