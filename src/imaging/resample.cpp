#include "imaging/resample.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vistel {

namespace {

constexpr int kWeightBits = 14;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;

// For each destination index: the first source index and `taps` weights
// (zero-padded), summing exactly to kWeightOne.
struct AxisWeights {
  int taps = 0;
  std::vector<int> first;
  std::vector<std::int32_t> weights;
};

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

[[maybe_unused]] std::uint8_t ToChannel(std::int32_t acc) {
  const std::int32_t v = (acc + (kWeightOne / 2)) >> kWeightBits;
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// One destination pixel of a row: the taps' pixels weighted, channel by
// channel.
inline Pixel WeighPixels(const Pixel* p, const std::int32_t* w, std::size_t taps) {
#if defined(__SSE2__)
  // Two taps at a time: their channels interleaved as 16-bit lanes, one
  // multiply-add of 16-bit pairs gives the four channels' sums. Weights are
  // below 2^15 in magnitude, the products and sums exact in 32 bits; the
  // rounding and clamping below are the scalar code's.
  const __m128i zero = _mm_setzero_si128();
  __m128i acc = _mm_set1_epi32(kWeightOne / 2);
  std::size_t k = 0;
  for (; k + 1 < taps; k += 2) {
    const __m128i a = _mm_cvtsi32_si128(static_cast<int>(p[k]));
    const __m128i b = _mm_cvtsi32_si128(static_cast<int>(p[k + 1]));
    const __m128i pair = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, b), zero);
    const auto both =
        (static_cast<std::uint32_t>(w[k]) & 0xFFFFU) | (static_cast<std::uint32_t>(w[k + 1]) << 16);
    acc = _mm_add_epi32(acc, _mm_madd_epi16(pair, _mm_set1_epi32(static_cast<int>(both))));
  }
  if (k < taps) {
    const __m128i a = _mm_cvtsi32_si128(static_cast<int>(p[k]));
    const __m128i pair = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, zero), zero);
    const auto one = static_cast<std::uint32_t>(w[k]) & 0xFFFFU;
    acc = _mm_add_epi32(acc, _mm_madd_epi16(pair, _mm_set1_epi32(static_cast<int>(one))));
  }
  acc = _mm_srai_epi32(acc, kWeightBits);
  const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(acc, zero), zero);
  return static_cast<Pixel>(_mm_cvtsi128_si32(packed));
#else
  std::int32_t r = 0, g = 0, b = 0;
  for (std::size_t k = 0; k < taps; ++k) {
    const Pixel v = p[k];
    r += w[k] * static_cast<std::int32_t>(PixelRed(v));
    g += w[k] * static_cast<std::int32_t>(PixelGreen(v));
    b += w[k] * static_cast<std::int32_t>(PixelBlue(v));
  }
  return MakePixel(ToChannel(r), ToChannel(g), ToChannel(b));
#endif
}

Image ResampleRows(const Image& source, int width, const AxisWeights& axis) {
  Image out(width, source.Height());
  const auto taps = static_cast<std::size_t>(axis.taps);
  for (int y = 0; y < source.Height(); ++y) {
    const Pixel* in = source.Row(y);
    Pixel* row = out.Row(y);
    for (int x = 0; x < width; ++x) {
      const auto ux = static_cast<std::size_t>(x);
      row[x] = WeighPixels(in + axis.first[ux], axis.weights.data() + ux * taps, taps);
    }
  }
  return out;
}

// Rows are combined whole, byte by byte: every channel gets the same weight,
// so the loops run over plain arrays and vectorise. The unused top byte is 0
// in every source row and so stays 0.
Image ResampleColumns(const Image& source, int height, const AxisWeights& axis) {
  const int width = source.Width();
  Image out(width, height);
  const auto taps = static_cast<std::size_t>(axis.taps);
  const std::size_t bytes = static_cast<std::size_t>(width) * sizeof(Pixel);
  std::vector<std::int32_t> acc(bytes);
  for (int y = 0; y < height; ++y) {
    const auto uy = static_cast<std::size_t>(y);
    std::fill(acc.begin(), acc.end(), kWeightOne / 2);
    for (std::size_t k = 0; k < taps; ++k) {
      const std::int32_t w = axis.weights[uy * taps + k];
      if (w == 0) continue;
      const auto* in =
          reinterpret_cast<const std::uint8_t*>(source.Row(axis.first[uy] + static_cast<int>(k)));
      std::int32_t* a = acc.data();
      for (std::size_t i = 0; i < bytes; ++i) a[i] += w * static_cast<std::int32_t>(in[i]);
    }
    auto* row = reinterpret_cast<std::uint8_t*>(out.Row(y));
    const std::int32_t* a = acc.data();
    for (std::size_t i = 0; i < bytes; ++i) {
      row[i] = static_cast<std::uint8_t>(std::clamp(a[i] >> kWeightBits, 0, 255));
    }
  }
  return out;
}

}  // namespace

Result<Image> ResampleImage(const Image& source, int width, int height, ResampleFilter filter) {
  const FloatSize whole{static_cast<float>(source.Width()), static_cast<float>(source.Height())};
  return ResampleImage(source, whole, width, height, filter);
}

Result<Image> ResampleImage(const Image& source, FloatSize extent, int width, int height,
                            ResampleFilter filter) {
  if (source.IsEmpty()) return Fail(ErrorCode::InvalidProcedureCall, "No bitmap to resize");
  if (width < 1 || height < 1) return Fail(ErrorCode::InvalidProcedureCall, "Bitmap size below 1");
  if (!IsAllowedBitmapSize(width, height)) {
    return Fail(ErrorCode::OutOfMemory);
  }
  // The axis that shrinks more goes first, so the second pass has less to do.
  const bool rowsFirst = static_cast<long long>(width) * source.Height() <=
                         static_cast<long long>(source.Width()) * height;
  const auto clamped = [](float value, int size) {
    return value > 0.0F && value < static_cast<float>(size) ? static_cast<double>(value)
                                                            : static_cast<double>(size);
  };
  const double spanX = clamped(extent.width, source.Width());
  const double spanY = clamped(extent.height, source.Height());
  const Image* current = &source;
  Image result;
  const auto resizeRows = [&] {
    if (width != current->Width() || spanX != current->Width()) {
      result =
          ResampleRows(*current, width, ComputeWeights(current->Width(), spanX, width, filter));
      current = &result;
    }
  };
  const auto resizeColumns = [&] {
    if (height != current->Height() || spanY != current->Height()) {
      result = ResampleColumns(*current, height,
                               ComputeWeights(current->Height(), spanY, height, filter));
      current = &result;
    }
  };
  if (rowsFirst) {
    resizeRows();
    resizeColumns();
  } else {
    resizeColumns();
    resizeRows();
  }
  if (current == &source) return source;
  return result;
}

}  // namespace vistel
