#include "media/mpeg1/video_convert.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace vistel {
namespace {

// The conversion follows FFmpeg's swscale as the clip decoder calls it
// (bilinear, accurate rounding, full chroma interpolation), measured
// against it in tests/media/mpeg1_video_test.cpp:
//  - chroma is sited between the luma samples; across a row it is
//    interpolated linearly with 14-bit weights into 15-bit samples;
//  - down the picture each row takes either one chroma row or the mean of
//    two (swscale's path for one luma row per output row, which weighs
//    chroma rows only by halves);
//  - BT.601 limited range with 13-bit coefficients, rounded to the nearest
//    level, saturated to 0..255.
// The pixels are swscale's, but for two cases: its sums wrap past 2^31 for
// the brightest saturated colours (Y > ~240 with Cb > ~245 gives blue 0),
// which saturate here; and under 7 samples across or down it widens its
// filters at the borders and weighs chroma a little differently.

// round(2^13 * c) for the limited-range BT.601 matrix: Y' = 255/219 (Y - 16),
// R = Y' + 255/224 * 2 (1 - Kr) Cr, B = Y' + 255/224 * 2 (1 - Kb) Cb,
// G = Y' - 255/224 * 2 (Kb (1 - Kb) Cb + Kr (1 - Kr) Cr) / Kg,
// with Kr = 0.299, Kb = 0.114, Kg = 0.587.
constexpr std::int64_t kLuma = 9539;
constexpr std::int64_t kCrToR = 13075;
constexpr std::int64_t kCbToB = 16525;
constexpr std::int64_t kCbToG = 3209;
constexpr std::int64_t kCrToG = 6660;

// Samples are carried with 9 fractional bits from here on.
constexpr int kSampleBits = 9;
constexpr std::int64_t kLumaOffset = std::int64_t{16} << kSampleBits;
constexpr int kResultShift = 13 + kSampleBits;
constexpr std::int64_t kMaxSum = (std::int64_t{256} << kResultShift) - 1;

// Where output sample i of n falls among the m chroma samples
// (m = ceil(n / 2)), chroma sited midway between luma samples, computed as
// swscale does: the source step per output sample is m/n rounded to 16
// bits, positions are in 1/2^17 of a chroma sample, and a sample whose
// weight is under 0.2% is dropped. The result is the sample at or before
// the position and the weight of the one after, in 1/2^bits; `last` marks
// positions at or past the last sample, where only that one counts.
struct Tap {
  int index;
  int weight;
  bool last;
};

Tap TapAt(int i, int n, int m, int bits) {
  const std::int64_t step = ((std::int64_t{m} << 16) + n / 2) / n;
  const std::int64_t position = step - 65536 + 2 * std::int64_t{i} * step;
  if (position < 0 || m == 1) return {0, 0, m == 1};
  std::int64_t index = position >> 17;
  std::int64_t fraction = position & 0x1FFFF;
  if (fraction >= 130810) {  // (1 - 0.002) * 2^17
    ++index;
    fraction = 0;
  }
  if (index >= m - 1) return {m - 1, 0, true};
  // The weight of the sample before is rounded; the one after takes the rest.
  const std::int64_t before = ((((std::int64_t{1} << 17) - fraction) << bits) + (1 << 16)) >> 17;
  return {static_cast<int>(index), static_cast<int>((std::int64_t{1} << bits) - before), false};
}

inline std::uint32_t Channel(std::int64_t sum) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(sum, 0, kMaxSum) >> kResultShift);
}

}  // namespace

void Yuv420ToImage(const Yuv420View& picture, Image& image) {
  const int width = picture.width, height = picture.height;
  if (image.Width() != width || image.Height() != height) image = Image(width, height);
  if (image.IsEmpty()) return;
  const int chromaWidth = picture.ChromaWidth(), chromaHeight = picture.ChromaHeight();

  std::vector<Tap> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    columns[static_cast<std::size_t>(x)] = TapAt(x, width, chromaWidth, 14);
  }

  // One chroma row interpolated across to the luma width, as 15-bit
  // samples; two rows are kept, for the rows that take their mean.
  struct Row {
    int source = -1;
    std::vector<int> cb, cr;
  };
  std::array<Row, 2> rows;
  for (Row& row : rows) {
    row.cb.resize(static_cast<std::size_t>(width));
    row.cr.resize(static_cast<std::size_t>(width));
  }
  auto rowOf = [&](int source) -> const Row& {
    for (Row& row : rows) {
      if (row.source == source) return row;
    }
    Row& row = rows[0].source < rows[1].source ? rows[0] : rows[1];
    row.source = source;
    const std::uint8_t* cb = picture.cb + source * picture.chromaStride;
    const std::uint8_t* cr = picture.cr + source * picture.chromaStride;
    for (int x = 0; x < width; ++x) {
      const Tap t = columns[static_cast<std::size_t>(x)];
      const int next = std::min(t.index + 1, chromaWidth - 1);
      row.cb[static_cast<std::size_t>(x)] =
          ((16384 - t.weight) * cb[t.index] + t.weight * cb[next]) >> 7;
      row.cr[static_cast<std::size_t>(x)] =
          ((16384 - t.weight) * cr[t.index] + t.weight * cr[next]) >> 7;
    }
    return row;
  };

  for (int y = 0; y < height; ++y) {
    // With the row below weighing half or more, and on the last rows
    // (where swscale moves the pair up to end at the last chroma row), the
    // mean of two rows; else the row above alone.
    Tap t = TapAt(y, height, chromaHeight, 12);
    bool mean = t.weight >= 2048;
    if (t.last && chromaHeight > 1) {
      t.index = chromaHeight - 2;
      mean = true;
    }
    const Row& upper = rowOf(t.index);
    const Row& lower = mean ? rowOf(t.index + 1) : upper;
    const std::uint8_t* luma = picture.y + y * picture.yStride;
    Pixel* out = image.Row(y);
    for (int x = 0; x < width; ++x) {
      const auto i = static_cast<std::size_t>(x);
      // Chroma around zero with 9 fractional bits.
      const std::int64_t cb =
          mean ? 2 * (upper.cb[i] + lower.cb[i] - (256 << 7)) : 4 * (upper.cb[i] - (128 << 7));
      const std::int64_t cr =
          mean ? 2 * (upper.cr[i] + lower.cr[i] - (256 << 7)) : 4 * (upper.cr[i] - (128 << 7));
      const std::int64_t base = ((std::int64_t{luma[x]} << kSampleBits) - kLumaOffset) * kLuma +
                                (std::int64_t{1} << (kResultShift - 1));
      out[x] = MakePixel(Channel(base + kCrToR * cr), Channel(base - kCbToG * cb - kCrToG * cr),
                         Channel(base + kCbToB * cb));
    }
  }
}

}  // namespace vistel
