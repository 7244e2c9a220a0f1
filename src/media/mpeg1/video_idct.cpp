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

inline std::int16_t RowResult(int sum) {
  return static_cast<std::int16_t>(
      std::clamp((sum + (1 << (kRowShift - 1))) >> kRowShift, -32768, 32767));
}

inline int ColumnResult(int sum) {
  return (sum + (1 << (kColumnShift - 1))) >> kColumnShift;
}

// Both passes: rows into `rows`, then columns into `out`.
void Transform(const std::int16_t* in, int* out) {
  std::int16_t rows[64];
  for (int r = 0; r < 8; ++r) {
    const std::int16_t* x = in + 8 * r;
    std::int16_t* y = rows + 8 * r;
    if ((x[1] | x[2] | x[3] | x[4] | x[5] | x[6] | x[7]) == 0) {
      // The common row of a DC term alone: the same sums, fewer products.
      std::fill_n(y, 8, RowResult(kC4 * x[0]));
      continue;
    }
    int sums[8];
    Transform8(x, 1, sums);
    for (int n = 0; n < 8; ++n) y[n] = RowResult(sums[n]);
  }
  for (int c = 0; c < 8; ++c) {
    int sums[8];
    Transform8(rows + c, 8, sums);
    for (int n = 0; n < 8; ++n) out[8 * n + c] = ColumnResult(sums[n]);
  }
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
