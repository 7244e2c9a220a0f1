// The one uniform generator on [0, 1) that the random screen order and the
// random effects share. Its own small algorithm (SplitMix64), so a seed gives
// the same sequence on every platform and library.
#pragma once

#include <cstdint>

namespace vistel {

class ShowRandom {
 public:
  // Unseeded, the sequence is the same in every run.
  static constexpr std::uint64_t kDefaultSeed = 0x5EED5EED5EEDULL;

  void Randomize(std::uint64_t seed) { state_ = seed; }

  // Uniform in [0, 1), 53 random bits.
  double Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t state_ = kDefaultSeed;
};

}  // namespace vistel
