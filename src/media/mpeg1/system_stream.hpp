// The packets of one elementary stream of an MPEG-1 system stream, in file
// order: what a clip's picture or sound decoder is fed. The reader keeps one
// bounded chunk of the file and resynchronises on the next start code after
// damage, so a hostile file costs a scan, never memory or a hang.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "runtime/files.hpp"

namespace vistel {

enum class SystemStreamKind { Video, Audio };

class SystemStreamReader {
 public:
  // The file must outlive the reader. Packets of the first stream of `kind`
  // (video 0xE0–0xEF, audio 0xC0–0xDF) are read; others are passed over.
  SystemStreamReader(InputFile& file, SystemStreamKind kind);

  // The payload of the next packet of the stream, valid until the next call;
  // empty at the end of the file. A read error of the file ends it too and
  // is kept in ReadError.
  std::span<const std::byte> NextPayload();
  // Back to the first byte of the file.
  void Rewind();

  const Status& ReadError() const { return readError_; }

 private:
  // The byte at `at`, or -1 past the end or after a read error.
  int At(std::uint64_t at);
  // Copies [at, at + count) into payload_; false when the file ends first.
  bool CopyPayload(std::uint64_t at, std::size_t count);
  std::uint64_t FindStartCode(std::uint64_t from);

  InputFile& file_;
  SystemStreamKind kind_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  int streamId_ = -1;  // the stream chosen at its first packet
  std::vector<std::byte> chunk_;
  std::uint64_t chunkStart_ = 0;
  std::size_t chunkFilled_ = 0;
  std::vector<std::byte> payload_;
  Status readError_;
};

}  // namespace vistel
