#include "media/mpeg1/system_stream.hpp"

#include <algorithm>

namespace vistel {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
constexpr int kPackStart = 0xBA;
constexpr int kEndCode = 0xB9;

bool IsWanted(int id, SystemStreamKind kind) {
  return kind == SystemStreamKind::Video ? (id >= 0xE0 && id <= 0xEF) : (id >= 0xC0 && id <= 0xDF);
}

}  // namespace

SystemStreamReader::SystemStreamReader(InputFile& file, SystemStreamKind kind)
    : file_(file), kind_(kind), size_(file.Size()), chunk_(kChunkBytes) {}

void SystemStreamReader::Rewind() {
  position_ = 0;
  readError_ = {};
}

int SystemStreamReader::At(std::uint64_t at) {
  if (at >= size_ || !readError_) return -1;
  if (at < chunkStart_ || at >= chunkStart_ + chunkFilled_) {
    auto got = file_.ReadAt(at, chunk_);
    if (!got || *got == 0) {
      if (!got) readError_ = Fail(got.error());
      return -1;
    }
    chunkStart_ = at;
    chunkFilled_ = *got;
  }
  return std::to_integer<int>(chunk_[static_cast<std::size_t>(at - chunkStart_)]);
}

bool SystemStreamReader::CopyPayload(std::uint64_t at, std::size_t count) {
  payload_.resize(count);  // at most a packet's 64 KiB
  auto got = file_.ReadAt(at, payload_);
  if (!got) readError_ = Fail(got.error());
  return got && *got == count;
}

std::uint64_t SystemStreamReader::FindStartCode(std::uint64_t from) {
  for (std::uint64_t at = from; at + 3 < size_ && readError_; ++at) {
    if (At(at + 2) > 1) {
      at += 2;  // no start code can begin at at, at + 1 or at + 2
      continue;
    }
    if (At(at) == 0 && At(at + 1) == 0 && At(at + 2) == 1) return at;
  }
  return size_;
}

std::span<const std::byte> SystemStreamReader::NextPayload() {
  while (readError_) {
    const std::uint64_t start = FindStartCode(position_);
    if (start >= size_) break;
    const int id = At(start + 3);
    if (id == kPackStart) {
      // MPEG-1 packs have 8 bytes after the code; MPEG-2 packs 10 and stuffing.
      const int first = At(start + 4);
      const int stuffing = At(start + 13);
      position_ =
          (first & 0xC0) == 0x40 && stuffing >= 0 ? start + 14 + (stuffing & 7) : start + 12;
      continue;
    }
    if (id < kEndCode || id == kEndCode) {
      position_ = start + 4;  // system layer noise, or the end of one stream of several
      continue;
    }
    const int high = At(start + 4);
    const int low = At(start + 5);
    if (high < 0 || low < 0) break;
    const std::uint64_t body = start + 6;
    const std::uint64_t end = body + static_cast<std::uint64_t>((high << 8) | low);
    position_ = end;
    if (!IsWanted(id, kind_) || (streamId_ >= 0 && id != streamId_)) continue;

    // The packet header: MPEG-1 stuffing, buffer size and stamps, or an
    // MPEG-2 PES header with its own length.
    std::uint64_t at = body;
    int byte = At(at);
    if ((byte & 0xC0) == 0x80) {
      const int headerLength = At(at + 2);
      if (headerLength < 0) break;
      at += 3 + static_cast<std::uint64_t>(headerLength);
    } else {
      for (int stuffing = 0; byte == 0xFF && stuffing < 16; ++stuffing) byte = At(++at);
      if ((byte & 0xC0) == 0x40) {
        at += 2;
        byte = At(at);
      }
      if ((byte & 0xF0) == 0x20) {
        at += 5;
      } else if ((byte & 0xF0) == 0x30) {
        at += 10;
      } else if (byte == 0x0F) {
        at += 1;
      } else {
        continue;  // a damaged header: the packet is lost, the stream goes on
      }
    }
    // A packet cut by the end of the file gives what it has.
    const std::uint64_t last = std::min(end, size_);
    if (at >= last) continue;
    streamId_ = id;
    if (!CopyPayload(at, static_cast<std::size_t>(last - at))) break;
    return payload_;
  }
  payload_.clear();
  return {};
}

}  // namespace vistel
