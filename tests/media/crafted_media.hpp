// Hostile media made byte by byte: headers that claim far more than the few
// bytes behind them, and compressed chunks that inflate a thousandfold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistel::testing {

inline void PutBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void SetLittle(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value,
                      int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// Bits written the way MPEG (most significant first) or deflate (least
// significant first) packs them.
class BitWriter {
 public:
  void Msb(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) Bit((value >> i) & 1U);
  }
  void Lsb(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1U);
  }
  // A deflate Huffman code: its bits go most significant first.
  void Code(std::uint32_t code, int length) { Msb(code, length); }
  void Bit(std::uint32_t bit) {
    if (used_ == 0) bytes_.push_back(0);
    if (lsbFirst_) {
      bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (bit << used_));
    } else {
      bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (bit << (7 - used_)));
    }
    used_ = (used_ + 1) % 8;
  }
  explicit BitWriter(bool lsbFirst) : lsbFirst_(lsbFirst) {}
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  bool lsbFirst_;
  std::vector<std::uint8_t> bytes_;
  int used_ = 0;
};

// A zlib stream of 1 + 258 * matches zero bytes in about matches / 4 bytes:
// one dynamic-Huffman deflate block whose back-reference (length 258,
// distance 1) costs two bits.
inline std::vector<std::uint8_t> ZlibOfZeros(std::size_t matches) {
  BitWriter w(true);
  w.Lsb(1, 1);   // last block
  w.Lsb(2, 2);   // dynamic Huffman codes
  w.Lsb(29, 5);  // 286 literal/length codes
  w.Lsb(0, 5);   // 1 distance code
  w.Lsb(14, 4);  // 18 code-length codes, in deflate's order:
  for (std::uint32_t length :
       {0U, 0U, 1U, 0U, 0U, 0U, 0U, 0U, 0U, 0U, 0U, 0U, 0U, 0U, 0U, 2U, 0U, 2U}) {
    w.Lsb(length, 3);
  }
  // Code-length codes: 18 -> 0, 1 -> 10, 2 -> 11.
  const auto zeros = [&w](int run) {
    w.Code(0, 1);
    w.Lsb(static_cast<std::uint32_t>(run - 11), 7);
  };
  w.Code(3, 2);  // literal 0: length 2
  zeros(138);
  zeros(117);    // literals 1..255 unused
  w.Code(3, 2);  // end of block: length 2
  zeros(28);     // lengths 257..284 unused
  w.Code(2, 2);  // length 258: length 1
  w.Code(2, 2);  // distance 1: length 1
  // Codes: 285 -> 0, literal 0 -> 10, end of block -> 11; distance 1 -> 0.
  w.Code(2, 2);
  for (std::size_t i = 0; i < matches; ++i) w.Code(0, 2);
  w.Code(3, 2);
  std::vector<std::uint8_t> out = {0x78, 0x9C};
  const std::vector<std::uint8_t> body = w.Take();
  out.insert(out.end(), body.begin(), body.end());
  const std::uint64_t n = 1 + 258 * static_cast<std::uint64_t>(matches);
  PutBig(out, static_cast<std::uint32_t>(((n % 65521) << 16) | 1), 4);  // Adler-32 of zeros
  return out;
}

// A PNG: 8-bit RGB of one colour, with extra chunks before the image data.
// CRCs are left 0: decoders do not check them by default.
class PngBuilder {
 public:
  PngBuilder(std::uint32_t width, std::uint32_t height) {
    bytes_ = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBig(header, width, 4);
    PutBig(header, height, 4);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Chunk("IHDR", header);
  }
  PngBuilder& Chunk(const char* type, const std::vector<std::uint8_t>& data) {
    PutBig(bytes_, static_cast<std::uint32_t>(data.size()), 4);
    bytes_.insert(bytes_.end(), type, type + 4);
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    PutBig(bytes_, 0, 4);
    return *this;
  }
  // Rows of a 4-pixel-wide picture of one colour, then the end.
  std::vector<std::uint8_t> Finish(int rows, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    // Stored (uncompressed) deflate block: 1 + 12 bytes a row.
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < rows; ++y) {
      raw.push_back(0);
      for (int x = 0; x < 4; ++x) raw.insert(raw.end(), {r, g, b});
    }
    std::vector<std::uint8_t> z = {0x78, 0x01, 0x01};
    PutLittle(z, static_cast<std::uint32_t>(raw.size()), 2);
    PutLittle(z, static_cast<std::uint32_t>(~raw.size()) & 0xFFFFU, 2);
    z.insert(z.end(), raw.begin(), raw.end());
    std::uint32_t a = 1, s = 0;
    for (std::uint8_t v : raw) {
      a = (a + v) % 65521;
      s = (s + a) % 65521;
    }
    PutBig(z, (s << 16) | a, 4);
    Chunk("IDAT", z);
    Chunk("IEND", {});
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// An MPEG-2 elementary stream of two intra pictures of width x height whose
// slices are noise: enough for a decoder to take a frame's memory.
inline std::vector<std::uint8_t> Mpeg2Stream(std::uint32_t width, std::uint32_t height) {
  BitWriter w(false);
  const auto start = [&w](std::uint32_t code) { w.Msb(0x000001, 24), w.Msb(code, 8); };
  start(0xB3);  // sequence header
  w.Msb(width & 0xFFF, 12);
  w.Msb(height & 0xFFF, 12);
  w.Msb(1, 4);  // square pixels
  w.Msb(3, 4);  // 25 frames a second
  w.Msb(20000, 18);
  w.Msb(1, 1);  // marker
  w.Msb(112, 10);
  w.Msb(0, 3);
  start(0xB5);  // sequence extension
  w.Msb(1, 4);
  w.Msb(0x44, 8);  // main profile, high level
  w.Msb(1, 1);     // progressive
  w.Msb(1, 2);     // 4:2:0
  w.Msb(width >> 12, 2);
  w.Msb(height >> 12, 2);
  w.Msb(0, 12);
  w.Msb(1, 1);
  w.Msb(0, 8 + 1 + 2 + 5);
  for (int picture = 0; picture < 2; ++picture) {
    start(0x00);  // picture header: an intra picture
    w.Msb(static_cast<std::uint32_t>(picture), 10);
    w.Msb(1, 3);
    w.Msb(0xFFFF, 16);
    w.Msb(0, 3);
    start(0xB5);  // picture coding extension: a progressive frame
    w.Msb(8, 4);
    w.Msb(0xFFFF, 16);
    w.Msb(0, 2);
    w.Msb(3, 2);
    w.Msb(0b0100000110, 10);
    w.Msb(0, 6);
    start(0x01);  // one slice of noise
    w.Msb(8, 5);
    w.Msb(0, 3);
    for (std::uint32_t i = 0; i < 24; ++i) w.Msb((i * 151U + 7U) & 0x7FU, 8);
  }
  start(0xB7);  // end of sequence
  return w.Take();
}

// A PCM WAV file whose header says what the caller wants.
inline std::vector<std::uint8_t> Wav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
                                     std::uint32_t statedDataBytes,
                                     const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
  PutLittle(out, static_cast<std::uint32_t>(36 + data.size()), 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLittle(out, 16, 4);
  PutLittle(out, 1, 2);
  PutLittle(out, channels, 2);
  PutLittle(out, rate, 4);
  const std::uint32_t align = channels * bits / 8U;
  PutLittle(out, rate * align, 4);
  PutLittle(out, align, 2);
  PutLittle(out, bits, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLittle(out, statedDataBytes, 4);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace vistel::testing
