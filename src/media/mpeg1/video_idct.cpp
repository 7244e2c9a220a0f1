#include "media/mpeg1/video_idct.hpp"

#include <algorithm>
#include <cstring>

namespace vistel::mpeg1video {
namespace {

// C[k] = round(2^14 * cos(k * pi / 16) / 2): the one-dimensional transform
// x[n] = sum over k of s(k) X[k] cos((2n + 1) k pi / 16) with s(0) = 1/(2 sqrt 2)
// and s(k) = 1/2, so that the DC weight 1/(2 sqrt 2) is C[4] too.
constexpr int kC1 = 8035;
constexpr int kC2 = 7568;
constexpr int kC3 = 6811;
constexpr int kC4 = 5793;
constexpr int kC5 = 4551;
constexpr int kC6 = 3135;
constexpr int kC7 = 1598;

constexpr int kConstBits = 14;
// Fractional bits kept between the passes. The row results are saturated to
// 16 bits, i.e. to +-1024 in pixel units: more than any column of pixels in
// range can need (its 8-point transform is at most sqrt(8) * 255 = 721), and
// it keeps the column pass within 32 bits for any input.
constexpr int kPassBits = 5;
constexpr int kRowShift = kConstBits - kPassBits;
constexpr int kColumnShift = kConstBits + kPassBits;

// One 8-point transform with even/odd decomposition; the results are the
// exact sums scaled by 2^14.
template <class T>
inline void Transform8(const T* x, std::ptrdiff_t step, int* sums) {
  const int x0 = x[0], x1 = x[step], x2 = x[2 * step], x3 = x[3 * step];
  const int x4 = x[4 * step], x5 = x[5 * step], x6 = x[6 * step], x7 = x[7 * step];
  const int a = kC4 * (x0 + x4);
  const int b = kC4 * (x0 - x4);
  const int t0 = kC2 * x2 + kC6 * x6;
  const int t1 = kC6 * x2 - kC2 * x6;
  const int e0 = a + t0, e3 = a - t0, e1 = b + t1, e2 = b - t1;
  const int o0 = kC1 * x1 + kC3 * x3 + kC5 * x5 + kC7 * x7;
  const int o1 = kC3 * x1 - kC7 * x3 - kC1 * x5 - kC5 * x7;
  const int o2 = kC5 * x1 - kC1 * x3 + kC7 * x5 + kC3 * x7;
  const int o3 = kC7 * x1 - kC5 * x3 + kC3 * x5 - kC1 * x7;
  sums[0] = e0 + o0;
  sums[7] = e0 - o0;
  sums[1] = e1 + o1;
  sums[6] = e1 - o1;
  sums[2] = e2 + o2;
  sums[5] = e2 - o2;
  sums[3] = e3 + o3;
  sums[4] = e3 - o3;
}

// Transform8 of inputs whose last four are zero.
template <class T>
inline void Transform8Low(const T* x, std::ptrdiff_t step, int* sums) {
  const int x0 = x[0], x1 = x[step], x2 = x[2 * step], x3 = x[3 * step];
  const int a = kC4 * x0;
  const int t0 = kC2 * x2;
  const int t1 = kC6 * x2;
  const int e0 = a + t0, e3 = a - t0, e1 = a + t1, e2 = a - t1;
  const int o0 = kC1 * x1 + kC3 * x3;
  const int o1 = kC3 * x1 - kC7 * x3;
  const int o2 = kC5 * x1 - kC1 * x3;
  const int o3 = kC7 * x1 - kC5 * x3;
  sums[0] = e0 + o0;
  sums[7] = e0 - o0;
  sums[1] = e1 + o1;
  sums[6] = e1 - o1;
  sums[2] = e2 + o2;
  sums[5] = e2 - o2;
  sums[3] = e3 + o3;
  sums[4] = e3 - o3;
}

inline std::int16_t RowResult(int sum) {
  return static_cast<std::int16_t>(
      std::clamp((sum + (1 << (kRowShift - 1))) >> kRowShift, -32768, 32767));
}

inline int ColumnResult(int sum) {
  return (sum + (1 << (kColumnShift - 1))) >> kColumnShift;
}

// The columns' transforms side by side, each step a loop over the eight
// columns that compilers turn into vector instructions.
void ColumnPass(const std::int16_t* rows, int* out) {
  int a[8], b[8], t0[8], t1[8], o0[8], o1[8], o2[8], o3[8];
  for (int c = 0; c < 8; ++c) {
    a[c] = kC4 * (rows[c] + rows[32 + c]);
    b[c] = kC4 * (rows[c] - rows[32 + c]);
    t0[c] = kC2 * rows[16 + c] + kC6 * rows[48 + c];
    t1[c] = kC6 * rows[16 + c] - kC2 * rows[48 + c];
  }
  for (int c = 0; c < 8; ++c) {
    const int x1 = rows[8 + c], x3 = rows[24 + c], x5 = rows[40 + c], x7 = rows[56 + c];
    o0[c] = kC1 * x1 + kC3 * x3 + kC5 * x5 + kC7 * x7;
    o1[c] = kC3 * x1 - kC7 * x3 - kC1 * x5 - kC5 * x7;
    o2[c] = kC5 * x1 - kC1 * x3 + kC7 * x5 + kC3 * x7;
    o3[c] = kC7 * x1 - kC5 * x3 + kC3 * x5 - kC1 * x7;
  }
  for (int c = 0; c < 8; ++c) {
    const int e0 = a[c] + t0[c], e3 = a[c] - t0[c], e1 = b[c] + t1[c], e2 = b[c] - t1[c];
    out[c] = ColumnResult(e0 + o0[c]);
    out[56 + c] = ColumnResult(e0 - o0[c]);
    out[8 + c] = ColumnResult(e1 + o1[c]);
    out[48 + c] = ColumnResult(e1 - o1[c]);
    out[16 + c] = ColumnResult(e2 + o2[c]);
    out[40 + c] = ColumnResult(e2 - o2[c]);
    out[24 + c] = ColumnResult(e3 + o3[c]);
    out[32 + c] = ColumnResult(e3 - o3[c]);
  }
}

// Both passes: rows into `rows`, then columns into `out`. Most blocks of
// a picture have few low-frequency terms: whole rows are zero, or hold a DC
// term only, and the column pass then has fewer products to sum. Each
// shortcut computes exactly what the full sums give.
void Transform(const std::int16_t* in, int* out) {
  std::int16_t rows[64];
  unsigned nonZeroRows = 0;
  for (int r = 0; r < 8; ++r) {
    const std::int16_t* x = in + 8 * r;
    std::int16_t* y = rows + 8 * r;
    if ((x[1] | x[2] | x[3] | x[4] | x[5] | x[6] | x[7]) == 0) {
      std::fill_n(y, 8, RowResult(kC4 * x[0]));
      if (x[0] != 0) nonZeroRows |= 1U << r;
      continue;
    }
    nonZeroRows |= 1U << r;
    int sums[8];
    Transform8(x, 1, sums);
    for (int n = 0; n < 8; ++n) y[n] = RowResult(sums[n]);
  }
  if (nonZeroRows <= 1) {
    for (int c = 0; c < 8; ++c) {
      const int v = ColumnResult(kC4 * rows[c]);
      for (int n = 0; n < 8; ++n) out[8 * n + c] = v;
    }
    return;
  }
  if ((nonZeroRows & 0xF0U) == 0) {
    for (int c = 0; c < 8; ++c) {
      int sums[8];
      Transform8Low(rows + c, 8, sums);
      for (int n = 0; n < 8; ++n) out[8 * n + c] = ColumnResult(sums[n]);
    }
    return;
  }
  ColumnPass(rows, out);
}

inline std::uint8_t Clip(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

void InverseDct(const std::int16_t* in, int* out) {
  Transform(in, out);
}

int InverseDctOfDc(int dc) {
  return ColumnResult(kC4 * RowResult(kC4 * dc));
}

void IdctPut(std::int16_t* block, std::uint8_t* dst, std::ptrdiff_t stride) {
  int out[64];
  Transform(block, out);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) dst[y * stride + x] = Clip(out[8 * y + x]);
  }
  std::memset(block, 0, 64 * sizeof(std::int16_t));
}

void IdctAdd(std::int16_t* block, std::uint8_t* dst, std::ptrdiff_t stride) {
  int out[64];
  Transform(block, out);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) dst[y * stride + x] = Clip(dst[y * stride + x] + out[8 * y + x]);
  }
  std::memset(block, 0, 64 * sizeof(std::int16_t));
}

void IdctPutDc(int dc, std::uint8_t* dst, std::ptrdiff_t stride) {
  const std::uint8_t v = Clip(InverseDctOfDc(dc));
  for (int y = 0; y < 8; ++y) std::memset(dst + y * stride, v, 8);
}

void IdctAddDc(int dc, std::uint8_t* dst, std::ptrdiff_t stride) {
  const int v = InverseDctOfDc(dc);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) dst[y * stride + x] = Clip(dst[y * stride + x] + v);
  }
}

}  // namespace vistel::mpeg1video
