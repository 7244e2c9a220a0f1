// MPEG-1 video's frame rates by the sequence header's picture_rate code, as
// the table of ISO/IEC 11172-2 gives them: codes 1 to 8; 0 is forbidden and
// 9 to 15 are reserved.
#pragma once

#include <array>
#include <optional>

namespace vistel {

struct Mpeg1PictureRate {
  int numerator = 0;
  int denominator = 1;
};

constexpr std::optional<Mpeg1PictureRate> Mpeg1PictureRateOf(unsigned code) {
  constexpr std::array<Mpeg1PictureRate, 8> kRates = {
      {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}}};
  if (code < 1 || code > kRates.size()) return std::nullopt;
  return kRates[code - 1];
}

}  // namespace vistel
