#include "imaging/png_encoder.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace vistel {
namespace {

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1U) ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
    table[n] = c;
  }
  return table;
}();

class Output {
 public:
  explicit Output(std::vector<std::byte>& bytes) : bytes_(bytes) {}

  void Byte(std::uint8_t value) { bytes_.push_back(static_cast<std::byte>(value)); }
  void BigEndian32(std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) Byte(static_cast<std::uint8_t>(value >> shift));
  }
  void Text(std::string_view text) {
    for (char c : text) Byte(static_cast<std::uint8_t>(c));
  }

  // A chunk: its length is patched and its CRC added by EndChunk.
  void BeginChunk(std::string_view type) {
    chunkStart_ = bytes_.size();
    BigEndian32(0);
    Text(type);
  }
  void EndChunk() {
    const std::size_t dataStart = chunkStart_ + 8;
    const auto length = static_cast<std::uint32_t>(bytes_.size() - dataStart);
    for (int i = 0; i < 4; ++i) {
      bytes_[chunkStart_ + static_cast<std::size_t>(i)] =
          static_cast<std::byte>(length >> (24 - 8 * i));
    }
    std::uint32_t crc = 0xFFFFFFFFU;
    for (std::size_t i = chunkStart_ + 4; i < bytes_.size(); ++i) {
      crc = kCrcTable[(crc ^ std::to_integer<std::uint32_t>(bytes_[i])) & 0xFFU] ^ (crc >> 8U);
    }
    BigEndian32(crc ^ 0xFFFFFFFFU);
  }

 private:
  std::vector<std::byte>& bytes_;
  std::size_t chunkStart_ = 0;
};

}  // namespace

std::vector<std::byte> EncodeStoredPng(const Image& image) {
  const auto width = static_cast<std::size_t>(image.Width());
  const auto height = static_cast<std::size_t>(image.Height());
  // Each row: its filter type (0, none), then red, green, blue per pixel.
  const std::size_t rowBytes = 1 + 3 * width;
  const std::size_t rawBytes = rowBytes * height;
  constexpr std::size_t kStoredBlockBytes = 65535;
  const std::size_t blocks =
      std::max<std::size_t>(1, (rawBytes + kStoredBlockBytes - 1) / kStoredBlockBytes);

  std::vector<std::byte> png;
  png.reserve(64 + rawBytes + 5 * blocks);
  Output out(png);
  out.Text("\x89PNG\r\n\x1A\n");
  out.BeginChunk("IHDR");
  out.BigEndian32(static_cast<std::uint32_t>(width));
  out.BigEndian32(static_cast<std::uint32_t>(height));
  for (const std::uint8_t field : std::array<std::uint8_t, 5>{8, 2, 0, 0, 0}) {
    out.Byte(field);  // depth 8, RGB, then deflate, no filter, no interlace
  }
  out.EndChunk();

  out.BeginChunk("IDAT");
  out.Byte(0x78);  // zlib: deflate, 32 KiB window
  out.Byte(0x01);  // no preset dictionary, fastest; header checksum multiple of 31
  std::uint32_t adlerA = 1;
  std::uint32_t adlerB = 0;
  std::size_t leftInBlock = 0;
  std::size_t leftInAll = rawBytes;
  auto emit = [&](std::uint8_t value) {
    if (leftInBlock == 0) {
      leftInBlock = std::min(leftInAll, kStoredBlockBytes);
      leftInAll -= leftInBlock;
      out.Byte(leftInAll == 0 ? 1 : 0);  // BFINAL on the last block, BTYPE 00
      const auto length = static_cast<std::uint16_t>(leftInBlock);
      out.Byte(static_cast<std::uint8_t>(length));
      out.Byte(static_cast<std::uint8_t>(length >> 8U));
      out.Byte(static_cast<std::uint8_t>(~length));
      out.Byte(static_cast<std::uint8_t>(~length >> 8U));
    }
    out.Byte(value);
    --leftInBlock;
    adlerA = (adlerA + value) % 65521U;
    adlerB = (adlerB + adlerA) % 65521U;
  };
  for (int y = 0; y < image.Height(); ++y) {
    emit(0);
    for (const Pixel pixel : std::span(image.Row(y), width)) {
      emit(static_cast<std::uint8_t>(PixelRed(pixel)));
      emit(static_cast<std::uint8_t>(PixelGreen(pixel)));
      emit(static_cast<std::uint8_t>(PixelBlue(pixel)));
    }
  }
  if (rawBytes == 0) {  // an empty picture still needs its one (final, empty) block
    for (const std::uint8_t field : std::array<std::uint8_t, 5>{1, 0, 0, 0xFF, 0xFF}) {
      out.Byte(field);
    }
  }
  out.BigEndian32((adlerB << 16U) | adlerA);
  out.EndChunk();

  out.BeginChunk("IEND");
  out.EndChunk();
  return png;
}

}  // namespace vistel
