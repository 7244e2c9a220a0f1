// The standard's filterbank computes V[i] = sum_k cos((16 + i)(2k + 1)pi/64) S[k]
// for 64 values of i, then windows 512 of the last 1024 values with D[].
// Those cosines are a 32-point DCT-II of S read at 16 + i, with the DCT's
// symmetries covering i beyond it:
//   V[0..15] = X[16..31], V[16] = 0, V[17..47] = -X[31..1],
//   V[48..63] = -X[0..15],
// where X[m] = sum_k S[k] cos(pi (2k + 1) m / 64). The DCT is Lee's
// recursion, exact but for rounding.
#include "media/mpeg1/audio_synthesis.hpp"

#include <cmath>
#include <cstddef>
#include <numbers>

#include "media/mpeg1/audio_tables.hpp"

namespace vistel::mpeg1 {
namespace {

// 1 / (2 cos(pi (2n + 1) / (2N))) for n < N/2, for each size N of the
// recursion, at [N/2 + n].
const std::array<float, 32> kLeeFactors = [] {
  std::array<float, 32> f{};
  for (int n = 2; n <= 32; n *= 2) {
    for (int i = 0; i < n / 2; ++i) {
      f[static_cast<std::size_t>(n / 2 + i)] =
          static_cast<float>(0.5 / std::cos(std::numbers::pi * (2 * i + 1) / (2.0 * n)));
    }
  }
  return f;
}();

// X[k] = sum_n x[n] cos(pi (2n + 1) k / (2N)).
template <std::size_t N>
void Dct(const float* x, float* out) {
  if constexpr (N == 1) {
    out[0] = x[0];
  } else {
    constexpr std::size_t kHalf = N / 2;
    float even[kHalf];
    float odd[kHalf];
    for (std::size_t n = 0; n < kHalf; ++n) {
      even[n] = x[n] + x[N - 1 - n];
      odd[n] = (x[n] - x[N - 1 - n]) * kLeeFactors[kHalf + n];
    }
    float evenOut[kHalf];
    float oddOut[kHalf];
    Dct<kHalf>(even, evenOut);
    Dct<kHalf>(odd, oddOut);
    for (std::size_t k = 0; k + 1 < kHalf; ++k) {
      out[2 * k] = evenOut[k];
      out[2 * k + 1] = oddOut[k] + oddOut[k + 1];
    }
    out[N - 2] = evenOut[kHalf - 1];
    out[N - 1] = oddOut[kHalf - 1];
  }
}

}  // namespace

void SynthesisFilterbank::Run(std::span<const float, 32> subbands, std::span<float, 32> out) {
  float x[32];
  Dct<32>(subbands.data(), x);

  offset_ = (offset_ - 64U) & 1023U;
  float* v = v_.data() + offset_;
  for (int i = 0; i < 16; ++i) v[i] = x[16 + i];
  v[16] = 0.0F;
  for (int i = 17; i < 48; ++i) v[i] = -x[48 - i];
  for (int i = 48; i < 64; ++i) v[i] = -x[i - 48];

  // out[j] = sum over i < 8 of V[128i + j] D[64i + j] + V[128i + 96 + j] D[64i + 32 + j];
  // each run of 32 stays inside one block of 64 of the ring.
  float sum[32] = {};
  const float* window = kSynthesisWindow.data();
  for (unsigned i = 0; i < 8; ++i) {
    const float* a = v_.data() + ((offset_ + 128U * i) & 1023U);
    const float* b = v_.data() + ((offset_ + 128U * i + 96U) & 1023U);
    const float* da = window + 64 * i;
    const float* db = da + 32;
    for (int j = 0; j < 32; ++j) sum[j] += a[j] * da[j] + b[j] * db[j];
  }
  for (int j = 0; j < 32; ++j) out[static_cast<std::size_t>(j)] = sum[j];
}

void SynthesisFilterbank::Reset() {
  v_.fill(0.0F);
  offset_ = 0;
}

}  // namespace vistel::mpeg1
