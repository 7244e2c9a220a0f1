// Reading a byte range bit by bit, most significant bit first (internal to
// the video decoder). Bits past the end read as zero, as the stuffing before
// a start code does; Overrun() tells a reader that went past the end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistel::mpeg1video {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) { Refill(); }

  // The next 32 bits.
  std::uint32_t Peek32() {
    if (bits_ < 32) Refill();
    return static_cast<std::uint32_t>(cache_ >> 32);
  }
  // The next n bits, 1 <= n <= 32.
  std::uint32_t Peek(int n) { return Peek32() >> (32 - n); }
  // Skips n <= 32 bits.
  void Skip(int n) {
    if (bits_ < n) Refill();
    cache_ <<= n;
    bits_ -= n;
  }
  std::uint32_t Read(int n) {
    const std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  bool ReadBit() { return Read(1) != 0; }

  bool Overrun() const { return Consumed() > size_ * 8; }

 private:
  std::size_t Consumed() const { return loaded_ * 8 - static_cast<std::size_t>(bits_); }

  // Tops the cache up to at least 57 bits. The bits below the counted ones
  // may already hold the stream's next bits: loading them again ORs in the
  // same values.
  void Refill() {
    if (loaded_ + 8 <= size_) {
      const std::uint8_t* p = data_ + loaded_;
      const std::uint64_t word = (std::uint64_t{p[0]} << 56) | (std::uint64_t{p[1]} << 48) |
                                 (std::uint64_t{p[2]} << 40) | (std::uint64_t{p[3]} << 32) |
                                 (std::uint64_t{p[4]} << 24) | (std::uint64_t{p[5]} << 16) |
                                 (std::uint64_t{p[6]} << 8) | std::uint64_t{p[7]};
      cache_ |= word >> bits_;
      const int bytes = (63 - bits_) >> 3;
      loaded_ += static_cast<std::size_t>(bytes);
      bits_ += 8 * bytes;
      return;
    }
    while (bits_ <= 56) {
      const std::uint64_t byte = loaded_ < size_ ? data_[loaded_] : 0;
      cache_ |= byte << (56 - bits_);
      ++loaded_;
      bits_ += 8;
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t loaded_ = 0;   // bytes in the cache or consumed, zeros past the end included
  std::uint64_t cache_ = 0;  // the next bits, most significant first
  int bits_ = 0;             // how many of them count
};

}  // namespace vistel::mpeg1video
