// Reading a byte range bit by bit, most significant bit first (internal to
// the video decoder). Bits past the end read as zero, as the stuffing before
// a start code does; Overrun() tells a reader that went past the end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistel::mpeg1video {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // The next 32 bits.
  std::uint32_t Peek32() const {
    const std::size_t byte = position_ >> 3;
    const unsigned shift = static_cast<unsigned>(position_ & 7);
    std::uint64_t word = 0;
    if (byte + 8 <= size_) {
      for (int i = 0; i < 8; ++i) word = (word << 8) | data_[byte + static_cast<std::size_t>(i)];
    } else {
      for (std::size_t i = 0; i < 8; ++i) {
        word = (word << 8) | (byte + i < size_ ? data_[byte + i] : 0U);
      }
    }
    return static_cast<std::uint32_t>((word << shift) >> 32);
  }
  // The next n bits, 1 <= n <= 32.
  std::uint32_t Peek(int n) const { return Peek32() >> (32 - n); }
  void Skip(int n) { position_ += static_cast<std::size_t>(n); }
  std::uint32_t Read(int n) {
    const std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  bool ReadBit() { return Read(1) != 0; }

  bool Overrun() const { return position_ > size_ * 8; }
  bool AtEnd() const { return position_ >= size_ * 8; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace vistel::mpeg1video
