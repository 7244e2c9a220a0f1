#include "imaging/resample.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 passes beside the baseline ones, compiled for AVX2 by their target
// attribute alone and chosen at run time.
#if defined(__SSE2__) && defined(__GNUC__)
#define VISTEL_RESAMPLE_AVX2 1
#include <immintrin.h>
#endif

namespace vistel {

// The weights' types are members of RowResampler, which the header names.
namespace resampling {

// For each destination index: the first source index and `taps` weights
// (zero-padded), summing exactly to kWeightOne.
struct AxisWeights {
  int taps = 0;
  std::vector<int> first;
  std::vector<std::int32_t> weights;
};

// The weights of the horizontal axis in pairs, as WeighRow reads them.
struct RowWeights {
  AxisWeights axis;
  std::size_t pairs = 0;             // per destination pixel
  std::vector<std::int32_t> packed;  // WeightPair of taps 2j and 2j+1 (0 past the last)
  // The leading destination pixels whose taps the AVX2 pass may read four
  // source pixels at a time without passing the end of the source row,
  // rounded down to its eight pixels a round; 0 where it does not run.
  std::size_t wide = 0;
  // The AVX2 pass's weights as its multiply-adds take them: for each of its
  // rounds, for pixels x+i and x+4+i (i = 0..3), for each pair j, the packed
  // pair of x+i four times, then that of x+4+i four times.
  std::vector<std::int32_t> lanes;
};

namespace {

std::atomic<bool> wideWanted{true};

// Whether the AVX2 pass runs: where the processor has AVX2, unless turned off.
bool WidePass() {
#if defined(VISTEL_RESAMPLE_AVX2)
  // Asked once: the pass asks row by row.
  static const bool kHasAvx2 = __builtin_cpu_supports("avx2") != 0;
  return kHasAvx2 && wideWanted.load(std::memory_order_relaxed);
#else
  return false;
#endif
}

}  // namespace

bool UseWidePass(bool use) {
  wideWanted.store(use, std::memory_order_relaxed);
  return WidePass();
}

}  // namespace resampling

using resampling::AxisWeights;
using resampling::RowWeights;
using resampling::WidePass;

namespace {

constexpr int kWeightBits = 14;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;

double CatmullRom(double x) {
  x = std::fabs(x);
  if (x < 1.0) return (1.5 * x - 2.5) * x * x + 1.0;
  if (x < 2.0) return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
  return 0.0;
}

// `span` is how much of the source the destination covers (at most
// sourceSize).
AxisWeights ComputeWeights(int sourceSize, double span, int destSize, ResampleFilter filter) {
  AxisWeights axis;
  const double scale = span / destSize;
  const bool shrinking = filter == ResampleFilter::Smooth && destSize < span;
  axis.taps = filter == ResampleFilter::Nearest ? 1
              : shrinking                       ? static_cast<int>(std::ceil(scale)) + 1
                                                : 4;
  // A short source has fewer pixels than the filter has taps.
  axis.taps = std::min(axis.taps, sourceSize);
  const auto n = static_cast<std::size_t>(destSize);
  const auto taps = static_cast<std::size_t>(axis.taps);
  axis.first.assign(n, 0);
  axis.weights.assign(n * taps, 0);
  std::vector<double> w(taps);
  for (int i = 0; i < destSize; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    std::fill(w.begin(), w.end(), 0.0);
    int first = 0;
    if (filter == ResampleFilter::Nearest) {
      first = std::min(sourceSize - 1, static_cast<int>((i + 0.5) * scale));
      w[0] = 1.0;
    } else if (shrinking) {
      // The destination pixel covers [lo, hi) of the source; each source
      // pixel counts by the length it contributes.
      const double lo = i * scale, hi = (i + 1) * scale;
      first = static_cast<int>(std::floor(lo));
      for (std::size_t k = 0; k < taps; ++k) {
        const double a = std::max(lo, static_cast<double>(first) + static_cast<double>(k));
        const double b = std::min(hi, static_cast<double>(first) + static_cast<double>(k) + 1.0);
        if (b > a && first + static_cast<int>(k) < sourceSize) w[k] = b - a;
      }
    } else {
      // Pixel centres aligned; taps beyond an edge repeat the edge pixel.
      const double centre = (i + 0.5) * scale - 0.5;
      const int base = static_cast<int>(std::floor(centre)) - 1;
      first = std::clamp(base, 0, std::max(0, sourceSize - 4));
      for (int k = 0; k < 4; ++k) {
        const int s = std::clamp(base + k, 0, sourceSize - 1);
        const auto slot = static_cast<std::size_t>(std::min(s - first, axis.taps - 1));
        w[slot] += CatmullRom(centre - (base + k));
      }
    }
    double total = 0.0;
    for (double v : w) total += v;
    std::int32_t sum = 0;
    std::size_t largest = 0;
    for (std::size_t k = 0; k < taps; ++k) {
      const auto q = static_cast<std::int32_t>(std::lround(w[k] / total * kWeightOne));
      axis.weights[ui * taps + k] = q;
      sum += q;
      if (w[k] > w[largest]) largest = k;
    }
    // Rounding leftovers go to the heaviest tap: flat pictures stay exact.
    axis.weights[ui * taps + largest] += kWeightOne - sum;
    // Never read past the source: trailing zero weights may point beyond it.
    axis.first[ui] = std::min(first, std::max(0, sourceSize - axis.taps));
    if (axis.first[ui] != first) {
      // Shift the weights to the clamped start.
      const auto shift = static_cast<std::size_t>(first - axis.first[ui]);
      for (std::size_t k = taps; k-- > 0;) {
        axis.weights[ui * taps + k] = k >= shift ? axis.weights[ui * taps + k - shift] : 0;
      }
    }
  }
  return axis;
}

// Two taps' weights as the 16-bit pair a multiply-add of 16-bit lanes takes.
std::int32_t WeightPair(std::int32_t first, std::int32_t second) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(first) & 0xFFFFU) |
                                   (static_cast<std::uint32_t>(second) << 16));
}

std::uint8_t ToChannel(std::int32_t acc) {
  return static_cast<std::uint8_t>(std::clamp(acc >> kWeightBits, 0, 255));
}

constexpr Pixel kColourBits = 0x00FFFFFFU;

// Calls `pass` with the tap count as a compile-time constant for the common
// counts, 0 for the others.
template <class Pass>
std::size_t ByTaps(std::size_t taps, Pass pass) {
  switch (taps) {
    case 2:
      return pass(std::integral_constant<std::size_t, 2>{});
    case 3:
      return pass(std::integral_constant<std::size_t, 3>{});
    case 4:
      return pass(std::integral_constant<std::size_t, 4>{});
    default:
      return pass(std::integral_constant<std::size_t, 0>{});
  }
}

#if defined(__SSE2__)
// Two rows at a time: their bytes interleaved as 16-bit lanes, one
// multiply-add of 16-bit pairs gives four sums of two products. Weights are
// below 2^15 in magnitude, the sums exact in 32 bits; rounding and clamping
// are the scalar code's of CombineRows. `Taps` fixed at compile time for the
// common counts (0: `taps`). Returns how many pixels it made.
template <std::size_t Taps>
std::size_t CombineRowsSse2(const Pixel* const* rows, const std::int32_t* w, std::size_t taps,
                            Pixel* out, std::size_t count) {
  const std::size_t n = Taps != 0 ? Taps : taps;
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(kWeightOne / 2);
  const __m128i colour = _mm_set1_epi32(static_cast<int>(kColourBits));
  std::size_t x = 0;
  for (; x + 4 <= count; x += 4) {
    __m128i a0 = half, a1 = half, a2 = half, a3 = half;
    for (std::size_t k = 0; k < n; k += 2) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + x));
      const bool pair = k + 1 < n;
      const __m128i q =
          pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + x)) : zero;
      const __m128i weights = _mm_set1_epi32(WeightPair(w[k], pair ? w[k + 1] : 0));
      const __m128i lo = _mm_unpacklo_epi8(p, q), hi = _mm_unpackhi_epi8(p, q);
      a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), weights));
      a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), weights));
      a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), weights));
      a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), weights));
    }
    const __m128i low =
        _mm_packs_epi32(_mm_srai_epi32(a0, kWeightBits), _mm_srai_epi32(a1, kWeightBits));
    const __m128i high =
        _mm_packs_epi32(_mm_srai_epi32(a2, kWeightBits), _mm_srai_epi32(a3, kWeightBits));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_and_si128(_mm_packus_epi16(low, high), colour));
  }
  return x;
}
#endif

// One destination row from `taps` rows, byte by byte: every channel gets
// the same weight. The unused top byte of the sources may be anything; the
// result's is 0.
void CombineRows(const Pixel* const* rows, const std::int32_t* w, std::size_t taps, Pixel* out,
                 std::size_t count) {
  if (taps == 1 && w[0] == kWeightOne) {
    for (std::size_t x = 0; x < count; ++x) out[x] = rows[0][x] & kColourBits;
    return;
  }
  std::size_t x = 0;
  // No AVX2 version: on processors that split 256-bit operations in two it
  // gained 5%, the multiply-add units being the limit already.
#if defined(__SSE2__)
  x = ByTaps(taps,
             [&](auto fixed) { return CombineRowsSse2<fixed.value>(rows, w, taps, out, count); });
#endif
  for (; x < count; ++x) {
    std::int32_t r = kWeightOne / 2, g = kWeightOne / 2, b = kWeightOne / 2;
    for (std::size_t k = 0; k < taps; ++k) {
      const Pixel v = rows[k][x];
      r += w[k] * static_cast<std::int32_t>(PixelRed(v));
      g += w[k] * static_cast<std::int32_t>(PixelGreen(v));
      b += w[k] * static_cast<std::int32_t>(PixelBlue(v));
    }
    out[x] = MakePixel(ToChannel(r), ToChannel(g), ToChannel(b));
  }
}

RowWeights PackRowWeights(AxisWeights axis, int sourceWidth) {
  RowWeights row;
  const auto taps = static_cast<std::size_t>(axis.taps);
  row.pairs = (taps + 1) / 2;
  row.packed.resize(axis.first.size() * row.pairs);
  for (std::size_t x = 0; x < axis.first.size(); ++x) {
    const std::int32_t* w = axis.weights.data() + x * taps;
    for (std::size_t j = 0; j < row.pairs; ++j) {
      const std::size_t k = 2 * j;
      row.packed[x * row.pairs + j] = WeightPair(w[k], k + 1 < taps ? w[k + 1] : 0);
    }
  }
  // Laid out for the AVX2 pass only where it will run: this resampling's
  // rows all take the same pass. It loads four source pixels from the first
  // tap on, as many times as it takes to cover the taps.
  if (WidePass()) {
    const std::size_t window = 4 * ((row.pairs + 1) / 2);
    const auto end = static_cast<std::size_t>(sourceWidth);
    while (row.wide < axis.first.size() &&
           static_cast<std::size_t>(axis.first[row.wide]) + window <= end) {
      ++row.wide;
    }
    row.wide -= row.wide % 8;
    row.lanes.reserve(row.wide * row.pairs * 4);
    for (std::size_t x = 0; x < row.wide; x += 8) {
      for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < row.pairs; ++j) {
          row.lanes.insert(row.lanes.end(), 4, row.packed[(x + i) * row.pairs + j]);
          row.lanes.insert(row.lanes.end(), 4, row.packed[(x + 4 + i) * row.pairs + j]);
        }
      }
    }
  }
  row.axis = std::move(axis);
  return row;
}

#if defined(__SSE2__)
// Per destination pixel, two taps at a time: the two source pixels'
// channels interleaved as 16-bit lanes, one multiply-add of 16-bit pairs
// gives the four channels' sums (see CombineRows). An odd last tap is
// loaded alone: the pixel after it may lie past the row. `Whole` pairs and
// `Odd` fixed at compile time for the common tap counts (0: read them from
// the weights), two destination pixels per round, from pixel x on.
template <std::size_t Whole, bool Odd>
void WeighRowSse2(const Pixel* in, Pixel* out, const RowWeights& row, std::size_t start) {
  const std::size_t width = row.axis.first.size();
  const std::size_t whole = Whole != 0 ? Whole : static_cast<std::size_t>(row.axis.taps) / 2;
  const bool odd = Whole != 0 ? Odd : whole < row.pairs;
  const std::size_t pairs = Whole != 0 ? Whole + (Odd ? 1 : 0) : row.pairs;
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(kWeightOne / 2);
  const __m128i colour = _mm_set1_epi32(static_cast<int>(kColourBits));
  const auto sums = [&](std::size_t x) {
    const Pixel* p = in + row.axis.first[x];
    const std::int32_t* w = row.packed.data() + x * pairs;
    __m128i acc = half;
    for (std::size_t j = 0; j < whole; ++j) {
      const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 2 * j));
      const __m128i mixed = _mm_unpacklo_epi8(two, _mm_srli_epi64(two, 32));
      acc =
          _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi8(mixed, zero), _mm_set1_epi32(w[j])));
    }
    if (odd) {
      const __m128i one = _mm_cvtsi32_si128(static_cast<int>(p[2 * whole]));
      const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(one, zero), zero);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(lanes, _mm_set1_epi32(w[whole])));
    }
    return _mm_srai_epi32(acc, kWeightBits);
  };
  std::size_t x = start;
  for (; x + 2 <= width; x += 2) {
    const __m128i both = _mm_packus_epi16(_mm_packs_epi32(sums(x), sums(x + 1)), zero);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_and_si128(both, colour));
  }
  if (x < width) {
    const __m128i one = _mm_packus_epi16(_mm_packs_epi32(sums(x), zero), zero);
    out[x] = static_cast<Pixel>(_mm_cvtsi128_si32(one)) & kColourBits;
  }
}
#endif

#if defined(VISTEL_RESAMPLE_AVX2)
// The sums of WeighRowSse2 for the destination pixel whose taps start at pa
// in the low half and for the one at pb in the high half; `weights` are
// theirs from RowWeights::lanes. Four source pixels are loaded at once and
// their bytes shuffled into the pairs of taps 2j and 2j+1; taps past the
// last have weight 0, and the top bytes are dropped, so the result needs no
// mask.
template <std::size_t Pairs>
__attribute__((target("avx2"))) inline __m256i WideSums(const Pixel* pa, const Pixel* pb,
                                                        const std::int32_t* weights,
                                                        std::size_t pairs) {
  if constexpr (Pairs != 0) pairs = Pairs;
  // Each 16-bit lane one channel of a pixel, its pair's other pixel beside.
  const __m256i firstPair =
      _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1, 0, -1, 4, -1, 1,
                       -1, 5, -1, 2, -1, 6, -1, -1, -1, -1, -1);
  const __m256i secondPair =
      _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1, 8, -1, 12, -1,
                       9, -1, 13, -1, 10, -1, 14, -1, -1, -1, -1, -1);
  const auto* w = reinterpret_cast<const __m256i*>(weights);
  __m256i acc = _mm256_set1_epi32(kWeightOne / 2);
  for (std::size_t j = 0; j < pairs; j += 2) {
    const __m256i four =
        _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + 2 * j)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(pa + 2 * j)));
    acc = _mm256_add_epi32(
        acc, _mm256_madd_epi16(_mm256_shuffle_epi8(four, firstPair), _mm256_loadu_si256(w + j)));
    if (j + 1 < pairs) {
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(_mm256_shuffle_epi8(four, secondPair),
                                                    _mm256_loadu_si256(w + j + 1)));
    }
  }
  return _mm256_srai_epi32(acc, kWeightBits);
}

// WeighRowSse2 eight destination pixels at a time, over the pixels whose
// loads stay inside the source row (row.wide). Pixels x..x+3 go in the low
// halves, x+4..x+7 in the high ones, so that the packs, which work within
// each half, leave them in order. Returns where it stopped.
template <std::size_t Pairs>
__attribute__((target("avx2"))) std::size_t WeighRowAvx2(const Pixel* in, Pixel* out,
                                                         const RowWeights& row) {
  const std::size_t pairs = Pairs != 0 ? Pairs : row.pairs;
  const int* first = row.axis.first.data();
  const std::int32_t* weights = row.lanes.data();
  const std::size_t step = pairs * 8;  // the weights of one call of WideSums
  for (std::size_t x = 0; x < row.wide; x += 8, weights += 4 * step) {
    const __m256i s0 = WideSums<Pairs>(in + first[x], in + first[x + 4], weights, pairs);
    const __m256i s1 = WideSums<Pairs>(in + first[x + 1], in + first[x + 5], weights + step, pairs);
    const __m256i s2 =
        WideSums<Pairs>(in + first[x + 2], in + first[x + 6], weights + 2 * step, pairs);
    const __m256i s3 =
        WideSums<Pairs>(in + first[x + 3], in + first[x + 7], weights + 3 * step, pairs);
    const __m256i eight =
        _mm256_packus_epi16(_mm256_packs_epi32(s0, s1), _mm256_packs_epi32(s2, s3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), eight);
  }
  return row.wide;
}
#endif

// One row resampled horizontally. The result's unused top byte is 0.
void WeighRow(const Pixel* in, Pixel* out, const RowWeights& row) {
  const auto taps = static_cast<std::size_t>(row.axis.taps);
  const std::size_t width = row.axis.first.size();
#if defined(__SSE2__)
  (void)width;
  std::size_t x = 0;
#if defined(VISTEL_RESAMPLE_AVX2)
  if (WidePass()) {
    switch (row.pairs) {
      case 1:
        x = WeighRowAvx2<1>(in, out, row);
        break;
      case 2:
        x = WeighRowAvx2<2>(in, out, row);
        break;
      case 3:
        x = WeighRowAvx2<3>(in, out, row);
        break;
      default:
        x = WeighRowAvx2<0>(in, out, row);
        break;
    }
  }
#endif
  switch (taps) {
    case 2:
      return WeighRowSse2<1, false>(in, out, row, x);
    case 3:
      return WeighRowSse2<1, true>(in, out, row, x);
    case 4:
      return WeighRowSse2<2, false>(in, out, row, x);
    case 5:
      return WeighRowSse2<2, true>(in, out, row, x);
    default:
      return WeighRowSse2<0, false>(in, out, row, x);
  }
#else
  for (std::size_t x = 0; x < width; ++x) {
    const Pixel* p = in + row.axis.first[x];
    const std::int32_t* w = row.axis.weights.data() + x * taps;
    std::int32_t r = kWeightOne / 2, g = kWeightOne / 2, b = kWeightOne / 2;
    for (std::size_t k = 0; k < taps; ++k) {
      r += w[k] * static_cast<std::int32_t>(PixelRed(p[k]));
      g += w[k] * static_cast<std::int32_t>(PixelGreen(p[k]));
      b += w[k] * static_cast<std::int32_t>(PixelBlue(p[k]));
    }
    out[x] = MakePixel(ToChannel(r), ToChannel(g), ToChannel(b));
  }
#endif
}

// An axis left as it is: each destination index takes its own source index.
AxisWeights Unchanged(int size) {
  AxisWeights axis;
  axis.taps = 1;
  axis.first.resize(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) axis.first[static_cast<std::size_t>(i)] = i;
  axis.weights.assign(static_cast<std::size_t>(size), kWeightOne);
  return axis;
}

double Span(float extent, int size) {
  return extent > 0.0F && extent < static_cast<float>(size) ? static_cast<double>(extent)
                                                            : static_cast<double>(size);
}

}  // namespace

// The resampling itself, fed source rows top to bottom: a destination row
// is made as soon as the last source row it needs comes in. The axis that
// shrinks more goes first, so that the second pass has less to do; when the
// rows go first, each source row is resampled as it comes and only the
// resampled rows the vertical filter needs are kept, otherwise the pointers
// to the source rows it needs (which the feeder keeps alive until then).
class RowResampler {
 public:
  RowResampler(IntSize source, FloatSize extent, int width, int height, ResampleFilter filter)
      : out_(width, height) {
    const double spanX = Span(extent.width, source.width);
    const double spanY = Span(extent.height, source.height);
    resizeRows_ = width != source.width || spanX != source.width;
    rowsFirst_ = resizeRows_ && static_cast<long long>(width) * source.height <=
                                    static_cast<long long>(source.width) * height;
    rows_ = PackRowWeights(
        resizeRows_ ? ComputeWeights(source.width, spanX, width, filter) : Unchanged(width),
        source.width);
    columns_ = height != source.height || spanY != source.height
                   ? ComputeWeights(source.height, spanY, height, filter)
                   : Unchanged(height);
    const auto taps = static_cast<std::size_t>(columns_.taps);
    kept_.resize(taps);
    if (rowsFirst_) resampled_.resize(taps * static_cast<std::size_t>(width));
    if (resizeRows_ && !rowsFirst_) line_.resize(static_cast<std::size_t>(source.width));
    tapRows_.resize(taps);
  }

  // How many source rows the vertical filter may need at once.
  int Taps() const { return columns_.taps; }
  // Whether the rows given to Push must stay alive until OldestNeeded()
  // has passed them.
  bool KeepsSourceRows() const { return !rowsFirst_; }
  int Received() const { return received_; }
  int OldestNeeded() const {
    return next_ < out_.Height() ? columns_.first[static_cast<std::size_t>(next_)] : received_;
  }
  bool Done() const { return next_ == out_.Height(); }
  Image Take() { return std::move(out_); }

  void Push(const Pixel* row) {
    const std::size_t slot = static_cast<std::size_t>(received_) % kept_.size();
    if (rowsFirst_) {
      Pixel* resampled = resampled_.data() + slot * static_cast<std::size_t>(out_.Width());
      WeighRow(row, resampled, rows_);
      kept_[slot] = resampled;
    } else {
      kept_[slot] = row;
    }
    ++received_;
    const auto taps = static_cast<std::size_t>(columns_.taps);
    while (next_ < out_.Height()) {
      const auto y = static_cast<std::size_t>(next_);
      const int first = columns_.first[y];
      if (first + columns_.taps > received_) break;
      for (std::size_t k = 0; k < taps; ++k) {
        tapRows_[k] = kept_[(static_cast<std::size_t>(first) + k) % kept_.size()];
      }
      const std::int32_t* w = columns_.weights.data() + y * taps;
      Pixel* out = out_.Row(next_);
      if (rowsFirst_ || !resizeRows_) {
        CombineRows(tapRows_.data(), w, taps, out, static_cast<std::size_t>(out_.Width()));
      } else {
        CombineRows(tapRows_.data(), w, taps, line_.data(), line_.size());
        WeighRow(line_.data(), out, rows_);
      }
      ++next_;
    }
  }

 private:
  Image out_;
  bool resizeRows_ = false;
  bool rowsFirst_ = false;
  RowWeights rows_;
  AxisWeights columns_;
  std::vector<const Pixel*> kept_;  // by source row modulo the vertical taps
  std::vector<Pixel> resampled_;    // rows first: the resampled rows kept_ points to
  std::vector<Pixel> line_;         // columns first: a destination row before the rows pass
  std::vector<const Pixel*> tapRows_;
  int received_ = 0;
  int next_ = 0;
};

namespace {

Status CheckSizes(IntSize source, int width, int height) {
  if (source.width < 1 || source.height < 1) {
    return Fail(ErrorCode::InvalidProcedureCall, "No bitmap to resize");
  }
  if (width < 1 || height < 1) return Fail(ErrorCode::InvalidProcedureCall, "Bitmap size below 1");
  if (!IsAllowedBitmapSize(width, height) || !IsAllowedBitmapSize(source.width, source.height)) {
    return Fail(ErrorCode::OutOfMemory);
  }
  return {};
}

}  // namespace

Result<Image> ResampleImage(const Image& source, int width, int height, ResampleFilter filter) {
  const FloatSize whole{static_cast<float>(source.Width()), static_cast<float>(source.Height())};
  return ResampleImage(source, whole, width, height, filter);
}

Result<Image> ResampleImage(const Image& source, FloatSize extent, int width, int height,
                            ResampleFilter filter) {
  if (source.IsEmpty()) return Fail(ErrorCode::InvalidProcedureCall, "No bitmap to resize");
  if (auto ok = CheckSizes(source.Extent(), width, height); !ok) return Fail(std::move(ok.error()));
  if (width == source.Width() && height == source.Height() && Span(extent.width, width) == width &&
      Span(extent.height, height) == height) {
    return source;
  }
  RowResampler engine(source.Extent(), extent, width, height, filter);
  for (int y = 0; y < source.Height(); ++y) engine.Push(source.Row(y));
  return engine.Take();
}

ResamplingRowSink::ResamplingRowSink(int width, int height, ResampleFilter filter)
    : width_(width), height_(height), filter_(filter) {}

ResamplingRowSink::~ResamplingRowSink() = default;

Status ResamplingRowSink::Begin(IntSize size, FloatSize extent) {
  engine_.reset();
  ring_.clear();
  if (auto ok = CheckSizes(size, width_, height_); !ok) return ok;
  engine_ = std::make_unique<RowResampler>(size, extent, width_, height_, filter_);
  sourceWidth_ = size.width;
  sourceHeight_ = size.height;
  handedOut_ = 0;
  // Room for the rows the filter keeps and a decoder's batch of new ones.
  const int kept = engine_->KeepsSourceRows() ? engine_->Taps() - 1 : 0;
  ringRows_ = std::min(sourceHeight_, kept + kBatchRows);
  ring_.resize(static_cast<std::size_t>(ringRows_) * static_cast<std::size_t>(sourceWidth_));
  return {};
}

int ResamplingRowSink::NextRows(std::span<Pixel*> rows) {
  if (!engine_) return 0;
  const int received = engine_->Received();
  const int kept = engine_->KeepsSourceRows() ? received - engine_->OldestNeeded() : 0;
  const int count =
      std::min({static_cast<int>(rows.size()), ringRows_ - kept, sourceHeight_ - received});
  for (int k = 0; k < count; ++k) {
    const auto slot = static_cast<std::size_t>((received + k) % ringRows_);
    rows[static_cast<std::size_t>(k)] =
        ring_.data() + slot * static_cast<std::size_t>(sourceWidth_);
  }
  handedOut_ = std::max(count, 0);
  return handedOut_;
}

void ResamplingRowSink::RowsDone(int count) {
  if (!engine_) return;
  count = std::clamp(count, 0, handedOut_);
  for (int k = 0; k < count; ++k) {
    const int received = engine_->Received();
    const auto slot = static_cast<std::size_t>(received % ringRows_);
    engine_->Push(ring_.data() + slot * static_cast<std::size_t>(sourceWidth_));
  }
  handedOut_ = 0;
}

Result<Image> ResamplingRowSink::Take() {
  if (!engine_ || !engine_->Done()) {
    return Fail(ErrorCode::InvalidProcedureCall, "The picture's rows have not all come");
  }
  Image out = engine_->Take();
  engine_.reset();
  ring_ = {};
  return out;
}

Result<Image> DecodeResampled(OpenedPicture& picture, int width, int height,
                              ResampleFilter filter) {
  ResamplingRowSink sink(width, height, filter);
  if (auto ok = picture.DecodeRows({width, height}, sink); !ok) return Fail(std::move(ok.error()));
  return sink.Take();
}

}  // namespace vistel
