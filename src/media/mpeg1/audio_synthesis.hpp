// The polyphase synthesis filterbank of MPEG audio layers I and II: 32
// subband samples in, 32 output samples out, per channel (internal to the
// decoder and its tests).
#pragma once

#include <array>
#include <span>

namespace vistel::mpeg1 {

class SynthesisFilterbank {
 public:
  // Takes the next 32 subband samples of one channel and writes the next 32
  // output samples (full scale is 1.0).
  void Run(std::span<const float, 32> subbands, std::span<float, 32> out);
  // Forgets the history of the last 15 blocks (a new stream, or a seek).
  void Reset();

 private:
  // The last 16 blocks of the matrixing's 64 values, newest at offset_.
  alignas(32) std::array<float, 1024> v_{};
  unsigned offset_ = 0;
};

}  // namespace vistel::mpeg1
