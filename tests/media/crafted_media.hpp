// Hostile media made byte by byte: headers that claim far more than the few
// bytes behind them, and compressed chunks that inflate a thousandfold.
#pragma once

#include <cstdint>
#include <vector>

namespace vistel::testing {

inline void PutBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A zlib stream that inflates to about 1 KiB per byte of `zeroBytes`: one
// dynamic-Huffman deflate block (a literal 0, then back-references of 258
// bytes at distance 1, two bits each) of zeros.
inline std::vector<std::uint8_t> ZlibOfZeros(std::size_t zeroBytes) {
  // Header, the block's code lengths (length 258 and distance 1 get 1-bit
  // codes), the literal; it ends one bit into a byte.
  std::vector<std::uint8_t> out = {0x78, 0x9C, 0xED, 0xC0, 0x81, 0x00, 0x00, 0x00,
                                   0x00, 0x80, 0xA0, 0xFD, 0xA9, 0x17, 0xA9};
  out.resize(out.size() + zeroBytes);   // four back-references a byte
  out.insert(out.end(), {0x80, 0x01});  // three more, then the end of the block
  const std::uint64_t inflated = 1 + 258 * (4 * std::uint64_t{zeroBytes} + 3);
  PutBig(out, static_cast<std::uint32_t>(((inflated % 65521) << 16) | 1), 4);  // Adler-32
  return out;
}

// A PNG, 8-bit RGB: the header chunk, extra chunks, then Finish's image
// data. CRCs are left 0: decoders do not check them by default.
class PngBuilder {
 public:
  PngBuilder(std::uint32_t width, std::uint32_t height) : width_(width) {
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
  // The first `rows` rows, of one colour, stored uncompressed (at most
  // 65535 bytes).
  std::vector<std::uint8_t> Finish(std::uint32_t rows, std::uint8_t r, std::uint8_t g,
                                   std::uint8_t b) {
    std::vector<std::uint8_t> raw;
    for (std::uint32_t y = 0; y < rows; ++y) {
      raw.push_back(0);
      for (std::uint32_t x = 0; x < width_; ++x) raw.insert(raw.end(), {r, g, b});
    }
    std::vector<std::uint8_t> z = {0x78, 0x01, 0x01};
    PutLittle(z, static_cast<std::uint32_t>(raw.size()), 2);
    PutLittle(z, static_cast<std::uint32_t>(~raw.size()), 2);
    z.insert(z.end(), raw.begin(), raw.end());
    std::uint32_t a = 1, s = 0;
    for (std::uint8_t v : raw) s = (s + (a = (a + v) % 65521)) % 65521;
    PutBig(z, (s << 16) | a, 4);
    Chunk("IDAT", z).Chunk("IEND", {});
    return std::move(bytes_);
  }

 private:
  std::uint32_t width_;
  std::vector<std::uint8_t> bytes_ = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
};

// An MPEG-2 elementary stream of two intra pictures of 16000x16000 pixels
// whose slices are noise: enough for a decoder to take a frame's memory.
inline std::vector<std::uint8_t> HugeMpeg2Stream() {
  return {0x00, 0x00, 0x01, 0xB3, 0xE8, 0x0E, 0x80, 0x13, 0x13, 0x88, 0x23, 0x80, 0x00, 0x00, 0x01,
          0xB5, 0x14, 0x4B, 0xE0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8,
          0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80, 0x00, 0x00, 0x01, 0x01, 0x40, 0x07,
          0x1E, 0x35, 0x4C, 0x63, 0x7A, 0x11, 0x28, 0x00, 0x00, 0x01, 0x00, 0x00, 0x4F, 0xFF, 0xF8,
          0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80, 0x00, 0x00, 0x01, 0x01, 0x40, 0x07,
          0x1E, 0x35, 0x4C, 0x63, 0x7A, 0x11, 0x28, 0x00, 0x00, 0x01, 0xB7};
}

// A PCM WAV file whose header claims `statedDataBytes` of data.
inline std::vector<std::uint8_t> Wav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
                                     std::uint32_t statedDataBytes,
                                     const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
  PutLittle(out, static_cast<std::uint32_t>(36 + data.size()), 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
  const std::uint32_t align = channels * bits / 8U;
  PutLittle(out, channels, 2);
  PutLittle(out, rate, 4);
  PutLittle(out, rate * align, 4);
  PutLittle(out, align, 2);
  PutLittle(out, bits, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLittle(out, statedDataBytes, 4);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace vistel::testing
