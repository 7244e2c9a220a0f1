#include "imaging/crossfade_kernel.hpp"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/conversions.hpp"

namespace vistel {

Result<int> CrossFadeGrey(std::int32_t step, std::int32_t steps) {
  if (steps == 0) return Fail(ErrorCode::DivisionByZero);
  const double g =
      static_cast<double>(static_cast<std::int64_t>(step) * 255) / static_cast<double>(steps);
  const double rounded = RoundHalfToEven(g);
  if (!(rounded >= 0.0 && rounded <= 255.0)) return Fail(ErrorCode::Overflow);
  return static_cast<int>(rounded);
}

namespace {

// mul(w, v) = (w * v + 128 + ((w * v + 128) >> 8)) >> 8: the exact rounded
// w * v / 255 the combine computes, in 16-bit lanes (255 * 255 + 128 + 254
// still fits).
#if defined(__SSE2__)
// Sixteen bytes = four pixels per step, with SSE2 (every x86-64 has it):
// the pass then runs at memory speed, which the scalar loop did not reach.
inline __m128i MulDiv255(__m128i v, __m128i w) {
  __m128i x = _mm_add_epi16(_mm_mullo_epi16(v, w), _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

void BlendBlock(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                const std::uint16_t* wa, const std::uint16_t* wb) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  const __m128i waLo = _mm_load_si128(reinterpret_cast<const __m128i*>(wa));
  const __m128i waHi = _mm_load_si128(reinterpret_cast<const __m128i*>(wa + 8));
  const __m128i wbLo = _mm_load_si128(reinterpret_cast<const __m128i*>(wb));
  const __m128i wbHi = _mm_load_si128(reinterpret_cast<const __m128i*>(wb + 8));
  const __m128i lo = _mm_add_epi16(MulDiv255(_mm_unpacklo_epi8(va, zero), waLo),
                                   MulDiv255(_mm_unpacklo_epi8(vb, zero), wbLo));
  const __m128i hi = _mm_add_epi16(MulDiv255(_mm_unpackhi_epi8(va, zero), waHi),
                                   MulDiv255(_mm_unpackhi_epi8(vb, zero), wbHi));
  // packus saturates at 255, as the adding combine does.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(lo, hi));
}
#else
void BlendBlock(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                const std::uint16_t* wa, const std::uint16_t* wb) {
  for (int j = 0; j < 16; ++j) {
    std::uint16_t x = static_cast<std::uint16_t>(wa[j] * a[j] + 128U);
    x = static_cast<std::uint16_t>((x + (x >> 8)) >> 8);
    std::uint16_t y = static_cast<std::uint16_t>(wb[j] * b[j] + 128U);
    y = static_cast<std::uint16_t>((y + (y >> 8)) >> 8);
    const std::uint16_t sum = static_cast<std::uint16_t>(x + y);
    out[j] = static_cast<std::uint8_t>(sum > 255U ? 255U : sum);
  }
}
#endif

}  // namespace

Status CrossFadeFrame(const Image& outgoing, const Image& incoming, int g, Image& frame) {
  if (outgoing.Extent() != incoming.Extent()) {
    return Fail(ErrorCode::InvalidProcedureCall, "Cross-fade pictures differ in size");
  }
  if (g < 0 || g > 255) return Fail(ErrorCode::Overflow);
  if (frame.Extent() != outgoing.Extent()) frame = Image(outgoing.Width(), outgoing.Height());

  // Pixels are 0x00RRGGBB words: in memory the byte order within a word is
  // the machine's, so find which byte is the unused one.
  const Pixel probe = 0xFF000000U;
  std::uint8_t probeBytes[4];
  std::memcpy(probeBytes, &probe, 4);
  alignas(16) std::uint16_t wa[16];
  alignas(16) std::uint16_t wb[16];
  for (int j = 0; j < 16; ++j) {
    const bool unused = probeBytes[j % 4] != 0;
    wa[j] = unused ? 0 : static_cast<std::uint16_t>(255 - g);
    wb[j] = unused ? 0 : static_cast<std::uint16_t>(g);
  }

  const std::size_t count = outgoing.Pixels().size();
  const auto* a = reinterpret_cast<const std::uint8_t*>(outgoing.Pixels().data());
  const auto* b = reinterpret_cast<const std::uint8_t*>(incoming.Pixels().data());
  auto* out = reinterpret_cast<std::uint8_t*>(frame.Pixels().data());
  const std::size_t blocks = count / 4;
  for (std::size_t i = 0; i < blocks; ++i) {
    BlendBlock(a + i * 16, b + i * 16, out + i * 16, wa, wb);
  }
  // The last one to three pixels through a padded block.
  const std::size_t rest = (count % 4) * 4;
  if (rest != 0) {
    std::uint8_t ta[16] = {}, tb[16] = {}, to[16] = {};
    std::memcpy(ta, a + blocks * 16, rest);
    std::memcpy(tb, b + blocks * 16, rest);
    BlendBlock(ta, tb, to, wa, wb);
    std::memcpy(out + blocks * 16, to, rest);
  }
  return {};
}

}  // namespace vistel
