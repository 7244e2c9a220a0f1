// MPEG-1 video streams written bit by bit, for what FFmpeg's encoder never
// writes and for the tests that run where there is no FFmpeg.
#pragma once

#include <cstdint>
#include <vector>

namespace vistel::testing {

// Bits written most significant first, for streams made by hand.
class BitWriter {
 public:
  void Put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit(((value >> i) & 1U) != 0);
  }
  // '0' and '1' in order; spaces only separate the fields.
  void Put(const char* bits) {
    for (const char* b = bits; *b != '\0'; ++b) {
      if (*b != ' ') PutBit(*b == '1');
    }
  }
  void StartCode(std::uint8_t code) {
    while (used_ != 0) PutBit(false);
    bytes_.insert(bytes_.end(), {0, 0, 1, code});
  }
  std::vector<std::uint8_t> Finish() {
    while (used_ != 0) PutBit(false);
    return bytes_;
  }

 private:
  void PutBit(bool bit) {
    if (used_ == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80U >> used_));
    used_ = (used_ + 1) % 8;
  }
  std::vector<std::uint8_t> bytes_;
  int used_ = 0;
};

// A sequence header for width x height at 25 pictures per second, default
// quantiser matrices.
inline void PutSequenceHeader(BitWriter& w, int width, int height) {
  w.StartCode(0xB3);
  w.Put(static_cast<std::uint32_t>(width), 12);
  w.Put(static_cast<std::uint32_t>(height), 12);
  w.Put(1, 4);         // square pixels
  w.Put(3, 4);         // 25 pictures per second
  w.Put(0x3FFFF, 18);  // variable bit rate
  w.Put("1");          // marker
  w.Put(20, 10);       // vbv_buffer_size
  w.Put("000");        // constrained parameters, no matrices
}

}  // namespace vistel::testing
