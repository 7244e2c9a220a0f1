// The variable-length codes of MPEG-1 video as lookup tables indexed by the
// next bits of the stream (internal to the video decoder).
#pragma once

#include <array>
#include <cstdint>

namespace vistel::mpeg1video {

// A decoded code: its value and its length in bits; length 0 marks a bit
// pattern that is no code of the table.
struct Vlc {
  std::int16_t value;
  std::uint8_t length;
};

// macroblock_address_increment, indexed by the next 11 bits. Values 1..33;
// the escape (+33) and stuffing codes have their own values below.
inline constexpr int kIncrementEscape = 34;
inline constexpr int kIncrementStuffing = 35;
extern const std::array<Vlc, 2048> kAddressIncrement;

// macroblock_type flags.
enum MacroblockFlags : std::uint8_t {
  kQuant = 1,
  kForward = 2,
  kBackward = 4,
  kPattern = 8,
  kIntra = 16,
};
// macroblock_type of I, P, B and D pictures, indexed by the next 6 bits.
extern const std::array<Vlc, 64> kMacroblockTypeI;
extern const std::array<Vlc, 64> kMacroblockTypeP;
extern const std::array<Vlc, 64> kMacroblockTypeB;

// coded_block_pattern, indexed by the next 9 bits (values 1..63).
extern const std::array<Vlc, 512> kCodedBlockPattern;

// motion_horizontal/vertical_code with its sign, indexed by the next 11 bits
// (values -16..16).
extern const std::array<Vlc, 2048> kMotionCode;

// dct_dc_size_luminance (next 7 bits) and dct_dc_size_chrominance (next 8 bits).
extern const std::array<Vlc, 128> kDcSizeLuma;
extern const std::array<Vlc, 256> kDcSizeChroma;

// dct_coeff_next with its sign bit: run and signed level, or one of the
// markers below in `run`. Codes of up to 9 bits with the sign (those whose
// first six bits are not all zero) come from kCoefficientShort, indexed by the
// next 9 bits; the longer ones from kCoefficientLong, indexed by the next 17.
struct Coefficient {
  std::int8_t run;
  std::uint8_t length;
  std::int16_t level;
};
inline constexpr std::int8_t kEndOfBlock = -1;
inline constexpr std::int8_t kEscape = -2;
inline constexpr std::int8_t kNoCode = -3;
extern const std::array<Coefficient, 512> kCoefficientShort;
extern const std::array<Coefficient, 2048> kCoefficientLong;

// Scan position -> raster position in an 8x8 block (the zigzag scan).
extern const std::array<std::uint8_t, 64> kZigzag;

// The default intra quantiser matrix, in raster order.
extern const std::array<std::uint8_t, 64> kDefaultIntraMatrix;

}  // namespace vistel::mpeg1video
