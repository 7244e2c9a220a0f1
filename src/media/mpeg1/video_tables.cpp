#include "media/mpeg1/video_tables.hpp"

#include <cstddef>

namespace vistel::mpeg1video {
namespace {

struct Code {
  const char* bits;  // '0' and '1', most significant first
  int value;
};

constexpr int CodeLength(const char* bits) {
  int n = 0;
  while (bits[n] != '\0') ++n;
  return n;
}

constexpr unsigned CodeBits(const char* bits) {
  unsigned v = 0;
  for (int i = 0; bits[i] != '\0'; ++i) v = (v << 1) | (bits[i] == '1' ? 1U : 0U);
  return v;
}

// Every index whose leading bits are a code maps to that code. With `sign`,
// a sign bit follows each code of a non-zero value (1 negative).
template <std::size_t N, std::size_t M>
constexpr std::array<Vlc, N> MakeTable(const Code (&codes)[M], bool sign = false) {
  int indexBits = 0;
  while ((std::size_t{1} << indexBits) < N) ++indexBits;
  std::array<Vlc, N> table{};
  for (const Code& code : codes) {
    const int length = CodeLength(code.bits);
    const unsigned bits = CodeBits(code.bits);
    const bool signed_ = sign && code.value != 0;
    for (int s = 0; s < (signed_ ? 2 : 1); ++s) {
      const int total = length + (signed_ ? 1 : 0);
      const unsigned prefix = signed_ ? (bits << 1) | static_cast<unsigned>(s) : bits;
      const int free = indexBits - total;
      for (unsigned rest = 0; rest < (1U << free); ++rest) {
        table[(prefix << free) | rest] = {
            static_cast<std::int16_t>(s == 1 ? -code.value : code.value),
            static_cast<std::uint8_t>(total)};
      }
    }
  }
  return table;
}

// ISO/IEC 11172-2 Table B.1: macroblock_address_increment.
// clang-format off
constexpr Code kIncrementCodes[] = {
    {"1", 1}, {"011", 2}, {"010", 3}, {"0011", 4},
    {"0010", 5}, {"00011", 6}, {"00010", 7}, {"0000111", 8},
    {"0000110", 9}, {"00001011", 10}, {"00001010", 11}, {"00001001", 12},
    {"00001000", 13}, {"00000111", 14}, {"00000110", 15}, {"0000010111", 16},
    {"0000010110", 17}, {"0000010101", 18}, {"0000010100", 19}, {"0000010011", 20},
    {"0000010010", 21}, {"00000100011", 22}, {"00000100010", 23}, {"00000100001", 24},
    {"00000100000", 25}, {"00000011111", 26}, {"00000011110", 27}, {"00000011101", 28},
    {"00000011100", 29}, {"00000011011", 30}, {"00000011010", 31}, {"00000011001", 32},
    {"00000011000", 33}, {"00000001000", kIncrementEscape}, {"00000001111", kIncrementStuffing},
};
// clang-format on

// ISO/IEC 11172-2 Tables B.2a to B.2c: macroblock_type in I, P and B pictures.
constexpr Code kTypeCodesI[] = {
    {"1", kIntra},
    {"01", kQuant | kIntra},
};
constexpr Code kTypeCodesP[] = {
    {"1", kForward | kPattern},
    {"01", kPattern},
    {"001", kForward},
    {"00011", kIntra},
    {"00010", kQuant | kForward | kPattern},
    {"00001", kQuant | kPattern},
    {"000001", kQuant | kIntra},
};
constexpr Code kTypeCodesB[] = {
    {"10", kForward | kBackward},
    {"11", kForward | kBackward | kPattern},
    {"010", kBackward},
    {"011", kBackward | kPattern},
    {"0010", kForward},
    {"0011", kForward | kPattern},
    {"00011", kIntra},
    {"00010", kQuant | kForward | kBackward | kPattern},
    {"000011", kQuant | kForward | kPattern},
    {"000010", kQuant | kBackward | kPattern},
    {"000001", kQuant | kIntra},
};

// ISO/IEC 11172-2 Table B.3: coded_block_pattern.
// clang-format off
constexpr Code kPatternCodes[] = {
    {"111", 60}, {"1010", 32}, {"1011", 16}, {"1100", 8}, {"1101", 4},
    {"01000", 62}, {"01001", 2}, {"01010", 61}, {"01011", 1}, {"01100", 56},
    {"01101", 52}, {"01110", 44}, {"01111", 28}, {"10000", 40}, {"10001", 20},
    {"10010", 48}, {"10011", 12}, {"001100", 63}, {"001101", 3}, {"001110", 36},
    {"001111", 24}, {"0010000", 34}, {"0010001", 18}, {"0010010", 10}, {"0010011", 6},
    {"0010100", 33}, {"0010101", 17}, {"0010110", 9}, {"0010111", 5}, {"00000100", 58},
    {"00000101", 54}, {"00000110", 46}, {"00000111", 30}, {"00001000", 57}, {"00001001", 53},
    {"00001010", 45}, {"00001011", 29}, {"00001100", 38}, {"00001101", 26}, {"00001110", 37},
    {"00001111", 25}, {"00010000", 43}, {"00010001", 23}, {"00010010", 51}, {"00010011", 15},
    {"00010100", 42}, {"00010101", 22}, {"00010110", 50}, {"00010111", 14}, {"00011000", 41},
    {"00011001", 21}, {"00011010", 49}, {"00011011", 13}, {"00011100", 35}, {"00011101", 19},
    {"00011110", 11}, {"00011111", 7}, {"000000010", 39}, {"000000011", 27}, {"000000100", 59},
    {"000000101", 55}, {"000000110", 47}, {"000000111", 31},
};
// clang-format on

// ISO/IEC 11172-2 Table B.4: motion_horizontal/vertical_forward/backward_code.
// clang-format off
constexpr Code kMotionCodes[] = {
    {"1", 0}, {"01", 1}, {"001", 2}, {"0001", 3},
    {"000011", 4}, {"0000101", 5}, {"0000100", 6}, {"0000011", 7},
    {"000001011", 8}, {"000001010", 9}, {"000001001", 10}, {"0000010001", 11},
    {"0000010000", 12}, {"0000001111", 13}, {"0000001110", 14}, {"0000001101", 15},
    {"0000001100", 16},
};
// clang-format on

// ISO/IEC 11172-2 Tables B.5a and B.5b: dct_dc_size_luminance and _chrominance.
// clang-format off
constexpr Code kDcLumaCodes[] = {
    {"100", 0}, {"00", 1}, {"01", 2}, {"101", 3}, {"110", 4},
    {"1110", 5}, {"11110", 6}, {"111110", 7}, {"1111110", 8},
};
// clang-format on
// clang-format off
constexpr Code kDcChromaCodes[] = {
    {"00", 0}, {"01", 1}, {"10", 2}, {"110", 3}, {"1110", 4},
    {"11110", 5}, {"111110", 6}, {"1111110", 7}, {"11111110", 8},
};
// clang-format on

// ISO/IEC 11172-2 Table B.5c: dct_coeff_next (without its sign bit) as run
// and level. The first coefficient of a non-intra block has one more code,
// "1s" for run 0 level 1, which the block decoder reads itself.
struct CoefficientCode {
  const char* bits;
  int run;
  int level;
};
// clang-format off
constexpr CoefficientCode kCoefficientCodes[] = {
    {"11", 0, 1}, {"011", 1, 1}, {"0100", 0, 2}, {"0101", 2, 1},
    {"00101", 0, 3}, {"00110", 4, 1}, {"00111", 3, 1}, {"000100", 7, 1},
    {"000101", 6, 1}, {"000110", 1, 2}, {"000111", 5, 1}, {"0000100", 2, 2},
    {"0000101", 9, 1}, {"0000110", 0, 4}, {"0000111", 8, 1}, {"00100000", 13, 1},
    {"00100001", 0, 6}, {"00100010", 12, 1}, {"00100011", 11, 1}, {"00100100", 3, 2},
    {"00100101", 1, 3}, {"00100110", 0, 5}, {"00100111", 10, 1}, {"0000001000", 16, 1},
    {"0000001001", 5, 2}, {"0000001010", 0, 7}, {"0000001011", 2, 3}, {"0000001100", 1, 4},
    {"0000001101", 15, 1}, {"0000001110", 14, 1}, {"0000001111", 4, 2}, {"000000010000", 0, 11},
    {"000000010001", 8, 2}, {"000000010010", 4, 3}, {"000000010011", 0, 10}, {"000000010100", 2, 4},
    {"000000010101", 7, 2}, {"000000010110", 21, 1}, {"000000010111", 20, 1}, {"000000011000", 0, 9},
    {"000000011001", 19, 1}, {"000000011010", 18, 1}, {"000000011011", 1, 5}, {"000000011100", 3, 3},
    {"000000011101", 0, 8}, {"000000011110", 6, 2}, {"000000011111", 17, 1}, {"0000000010000", 10, 2},
    {"0000000010001", 9, 2}, {"0000000010010", 5, 3}, {"0000000010011", 3, 4}, {"0000000010100", 2, 5},
    {"0000000010101", 1, 7}, {"0000000010110", 1, 6}, {"0000000010111", 0, 15}, {"0000000011000", 0, 14},
    {"0000000011001", 0, 13}, {"0000000011010", 0, 12}, {"0000000011011", 26, 1}, {"0000000011100", 25, 1},
    {"0000000011101", 24, 1}, {"0000000011110", 23, 1}, {"0000000011111", 22, 1}, {"00000000010000", 0, 31},
    {"00000000010001", 0, 30}, {"00000000010010", 0, 29}, {"00000000010011", 0, 28}, {"00000000010100", 0, 27},
    {"00000000010101", 0, 26}, {"00000000010110", 0, 25}, {"00000000010111", 0, 24}, {"00000000011000", 0, 23},
    {"00000000011001", 0, 22}, {"00000000011010", 0, 21}, {"00000000011011", 0, 20}, {"00000000011100", 0, 19},
    {"00000000011101", 0, 18}, {"00000000011110", 0, 17}, {"00000000011111", 0, 16}, {"000000000010000", 0, 40},
    {"000000000010001", 0, 39}, {"000000000010010", 0, 38}, {"000000000010011", 0, 37}, {"000000000010100", 0, 36},
    {"000000000010101", 0, 35}, {"000000000010110", 0, 34}, {"000000000010111", 0, 33}, {"000000000011000", 0, 32},
    {"000000000011001", 1, 14}, {"000000000011010", 1, 13}, {"000000000011011", 1, 12}, {"000000000011100", 1, 11},
    {"000000000011101", 1, 10}, {"000000000011110", 1, 9}, {"000000000011111", 1, 8}, {"0000000000010000", 1, 18},
    {"0000000000010001", 1, 17}, {"0000000000010010", 1, 16}, {"0000000000010011", 1, 15}, {"0000000000010100", 6, 3},
    {"0000000000010101", 16, 2}, {"0000000000010110", 15, 2}, {"0000000000010111", 14, 2}, {"0000000000011000", 13, 2},
    {"0000000000011001", 12, 2}, {"0000000000011010", 11, 2}, {"0000000000011011", 31, 1}, {"0000000000011100", 30, 1},
    {"0000000000011101", 29, 1}, {"0000000000011110", 28, 1}, {"0000000000011111", 27, 1},
};
// clang-format on

// Fills the entries of one table of `indexBits` bits with the codes that fit
// it (with their sign bit), plus end of block ("10") and escape ("000001").
template <std::size_t N>
constexpr std::array<Coefficient, N> MakeCoefficientTable(int indexBits, bool longCodes) {
  std::array<Coefficient, N> table{};
  for (Coefficient& entry : table) entry = {kNoCode, 0, 0};
  auto put = [&](unsigned prefix, int total, std::int8_t run, int level) {
    const int free = indexBits - total;
    if (free < 0) return;
    for (unsigned rest = 0; rest < (1U << free); ++rest) {
      table[(prefix << free) | rest] = {run, static_cast<std::uint8_t>(total),
                                        static_cast<std::int16_t>(level)};
    }
  };
  // A short code is one whose first six bits are not all zero.
  auto isShort = [](int length, unsigned bits) {
    return length < 6 || (bits >> (length - 6)) != 0;
  };
  for (const CoefficientCode& code : kCoefficientCodes) {
    const int length = CodeLength(code.bits);
    const unsigned bits = CodeBits(code.bits);
    if (isShort(length, bits) == longCodes) continue;
    put((bits << 1) | 0U, length + 1, static_cast<std::int8_t>(code.run), code.level);
    put((bits << 1) | 1U, length + 1, static_cast<std::int8_t>(code.run), -code.level);
  }
  if (!longCodes) {
    put(0b10, 2, kEndOfBlock, 0);
    put(0b000001, 6, kEscape, 0);
  }
  return table;
}

}  // namespace

constinit const std::array<Vlc, 2048> kAddressIncrement = MakeTable<2048>(kIncrementCodes);
constinit const std::array<Vlc, 64> kMacroblockTypeI = MakeTable<64>(kTypeCodesI);
constinit const std::array<Vlc, 64> kMacroblockTypeP = MakeTable<64>(kTypeCodesP);
constinit const std::array<Vlc, 64> kMacroblockTypeB = MakeTable<64>(kTypeCodesB);
constinit const std::array<Vlc, 512> kCodedBlockPattern = MakeTable<512>(kPatternCodes);
constinit const std::array<Vlc, 2048> kMotionCode = MakeTable<2048>(kMotionCodes, true);
constinit const std::array<Vlc, 128> kDcSizeLuma = MakeTable<128>(kDcLumaCodes);
constinit const std::array<Vlc, 256> kDcSizeChroma = MakeTable<256>(kDcChromaCodes);
constinit const std::array<Coefficient, 512> kCoefficientShort =
    MakeCoefficientTable<512>(9, false);
// Long codes start with six zeros, so their 17-bit index is below 2^11.
constinit const std::array<Coefficient, 2048> kCoefficientLong =
    MakeCoefficientTable<2048>(17, true);

constinit const std::array<std::uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// ISO/IEC 11172-2, the default intra quantiser matrix.
constinit const std::array<std::uint8_t, 64> kDefaultIntraMatrix = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37, 19, 22, 26, 27, 29, 34,
    34, 38, 22, 22, 26, 27, 29, 34, 37, 40, 22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32,
    35, 40, 48, 58, 26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83,
};

}  // namespace vistel::mpeg1video
