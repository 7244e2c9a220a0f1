#include "media/mpeg1/video_slice.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "media/mpeg1/video_bits.hpp"
#include "media/mpeg1/video_idct.hpp"
#include "media/mpeg1/video_tables.hpp"

namespace vistel::mpeg1video {

void Frame::Allocate(int mbWidth, int mbHeight) {
  width = mbWidth * 16;
  height = mbHeight * 16;
  const auto luma = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  y.assign(luma, 0);
  cb.assign(luma / 4, 0);
  cr.assign(luma / 4, 0);
}

void Frame::Fill(std::uint8_t value) {
  std::fill(y.begin(), y.end(), value);
  std::fill(cb.begin(), cb.end(), value);
  std::fill(cr.begin(), cr.end(), value);
}

void ConcealMacroblock(Frame& frame, const Frame* source, int mbX, int mbY) {
  const int cw = frame.width / 2;
  for (int row = 0; row < 16; ++row) {
    std::uint8_t* dst = frame.Luma(16 * mbX, 16 * mbY + row);
    if (source != nullptr) {
      std::memcpy(dst, source->y.data() + (dst - frame.y.data()), 16);
    } else {
      std::memset(dst, 128, 16);
    }
  }
  for (auto* plane : {&frame.cb, &frame.cr}) {
    const std::vector<std::uint8_t>* from =
        source == nullptr ? nullptr : (plane == &frame.cb ? &source->cb : &source->cr);
    for (int row = 0; row < 8; ++row) {
      const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(8 * mbY + row) * cw + 8 * mbX;
      if (from != nullptr) {
        std::memcpy(plane->data() + offset, from->data() + offset, 8);
      } else {
        std::memset(plane->data() + offset, 128, 8);
      }
    }
  }
}

namespace {

// ---- Motion compensation ------------------------------------------------

// One plane of a reference picture.
struct PlaneRef {
  const std::uint8_t* data;
  int width;
  int height;
};

// Predicts an n x n block (n = 16 or 8) at (x, y) from `ref` displaced by a
// vector in half samples, writing it to dst or, with `average`, averaging it
// into what dst holds (the second prediction of a bidirectional block).
// Valid streams never point outside the reference (its whole macroblocks);
// for damaged ones the area outside repeats the edge samples. (FFmpeg
// leaves such a block unpredicted, showing whatever its buffer held.)
template <int N>
void PredictBlock(const PlaneRef& ref, int x, int y, int vx, int vy, std::uint8_t* dst,
                  std::ptrdiff_t dstStride, bool average) {
  const int sx = x + (vx >> 1);
  const int sy = y + (vy >> 1);
  const int hx = vx & 1;
  const int hy = vy & 1;
  const std::uint8_t* src;
  std::ptrdiff_t stride;
  std::uint8_t edge[static_cast<std::size_t>((N + 1) * (N + 1))];
  if (sx < 0 || sy < 0 || sx + N + hx > ref.width || sy + N + hy > ref.height) {
    for (int j = 0; j < N + hy; ++j) {
      const int row = std::clamp(sy + j, 0, ref.height - 1);
      for (int i = 0; i < N + hx; ++i) {
        const int column = std::clamp(sx + i, 0, ref.width - 1);
        edge[j * (N + 1) + i] = ref.data[static_cast<std::ptrdiff_t>(row) * ref.width + column];
      }
    }
    src = edge;
    stride = N + 1;
  } else {
    src = ref.data + static_cast<std::ptrdiff_t>(sy) * ref.width + sx;
    stride = ref.width;
  }
  std::uint8_t pred[static_cast<std::size_t>(N)];
  for (int j = 0; j < N; ++j) {
    const std::uint8_t* a = src + j * stride;
    const std::uint8_t* b = a + stride;
    if (hx == 0 && hy == 0) {
      std::memcpy(pred, a, N);
    } else if (hy == 0) {
      for (int i = 0; i < N; ++i) pred[i] = static_cast<std::uint8_t>((a[i] + a[i + 1] + 1) >> 1);
    } else if (hx == 0) {
      for (int i = 0; i < N; ++i) pred[i] = static_cast<std::uint8_t>((a[i] + b[i] + 1) >> 1);
    } else {
      for (int i = 0; i < N; ++i) {
        pred[i] = static_cast<std::uint8_t>((a[i] + a[i + 1] + b[i] + b[i + 1] + 2) >> 2);
      }
    }
    std::uint8_t* out = dst + j * dstStride;
    if (average) {
      for (int i = 0; i < N; ++i) out[i] = static_cast<std::uint8_t>((out[i] + pred[i] + 1) >> 1);
    } else {
      std::memcpy(out, pred, N);
    }
  }
}

// Predicts a whole macroblock; (vx, vy) is the luma vector in half samples.
void PredictMacroblock(const Frame& ref, Frame& current, int mbX, int mbY, int vx, int vy,
                       bool average) {
  PredictBlock<16>({ref.y.data(), ref.width, ref.height}, 16 * mbX, 16 * mbY, vx, vy,
                   current.Luma(16 * mbX, 16 * mbY), current.width, average);
  // The chroma vector is half the luma one, rounded towards zero.
  const int cx = vx / 2, cy = vy / 2;
  const int cw = ref.width / 2, ch = ref.height / 2;
  PredictBlock<8>({ref.cb.data(), cw, ch}, 8 * mbX, 8 * mbY, cx, cy,
                  current.Chroma(current.cb, 8 * mbX, 8 * mbY), cw, average);
  PredictBlock<8>({ref.cr.data(), cw, ch}, 8 * mbX, 8 * mbY, cx, cy,
                  current.Chroma(current.cr, 8 * mbX, 8 * mbY), cw, average);
}

// ---- Dequantisation ---------------------------------------------------

// Reconstructed coefficients are made odd (towards zero) against the drift
// of inverse DCT mismatch, and saturated.
inline std::int16_t Reconstruct(int value) {
  if ((value & 1) == 0 && value != 0) value += value > 0 ? -1 : 1;
  return static_cast<std::int16_t>(std::clamp(value, -2048, 2047));
}

// ---- Slices -------------------------------------------------------------

class SliceDecoder {
 public:
  SliceDecoder(const SliceContext& context, const std::uint8_t* data, std::size_t size)
      : c_(context),
        bits_(data, size),
        type_(context.picture->type),
        mbCount_(context.mbWidth * context.mbHeight) {}

  bool Run(int row) {
    if (row >= c_.mbHeight) return false;
    quantiser_ = static_cast<int>(bits_.Read(5));
    if (quantiser_ == 0) return false;
    while (bits_.ReadBit()) {  // extra_information_slice
      bits_.Skip(8);
      if (bits_.Overrun()) return false;
    }
    ResetDc();
    ResetMotion();
    int address = row * c_.mbWidth - 1;
    bool first = true;
    while (true) {
      int increment = 0;
      if (!ReadIncrement(increment)) return false;
      if (address + increment >= mbCount_) return false;
      if (!first) {
        // The macroblocks between two coded ones are skipped.
        for (int k = 1; k < increment; ++k) {
          if (!SkipMacroblock(address + k)) return false;
        }
      }
      first = false;
      address += increment;
      if (!DecodeMacroblock(address) || bits_.Overrun()) return false;
      c_.decoded[address] = 1;
      // A slice ends where the zero bits before the next start code begin.
      if (bits_.Peek(23) == 0) return true;
    }
  }

 private:
  bool ReadIncrement(int& increment) {
    while (true) {
      const Vlc e = kAddressIncrement[bits_.Peek(11)];
      if (e.length == 0) return false;
      bits_.Skip(e.length);
      if (e.value == kIncrementStuffing) continue;
      if (e.value == kIncrementEscape) {
        increment += 33;
        if (increment > mbCount_) return false;
        continue;
      }
      increment += e.value;
      return true;
    }
  }

  void ResetDc() { dcPredictor_[0] = dcPredictor_[1] = dcPredictor_[2] = 128; }
  void ResetMotion() { std::memset(motion_, 0, sizeof(motion_)); }

  int MbX(int address) const { return address % c_.mbWidth; }
  int MbY(int address) const { return address / c_.mbWidth; }

  // A skipped macroblock: in P pictures a copy of the reference at the same
  // place, in B pictures the previous macroblock's prediction again.
  bool SkipMacroblock(int address) {
    const int mbX = MbX(address), mbY = MbY(address);
    if (type_ == kPictureP) {
      motion_[0][0] = motion_[0][1] = 0;
      PredictMacroblock(*c_.forward, *c_.current, mbX, mbY, 0, 0, false);
    } else if (type_ == kPictureB) {
      if (previousIntra_) return false;  // B skips continue a predicted macroblock
      Predict(mbX, mbY, previousDirections_);
    } else {
      return false;  // intra pictures skip nothing
    }
    ResetDc();
    c_.decoded[address] = 1;
    return true;
  }

  // The luma vector of direction d in half samples.
  int VectorX(int d) const { return FullPel(d) ? motion_[d][0] * 2 : motion_[d][0]; }
  int VectorY(int d) const { return FullPel(d) ? motion_[d][1] * 2 : motion_[d][1]; }
  bool FullPel(int d) const {
    return d == 0 ? c_.picture->fullPelForward : c_.picture->fullPelBackward;
  }

  void Predict(int mbX, int mbY, int directions) {
    bool average = false;
    if ((directions & kForward) != 0) {
      PredictMacroblock(*c_.forward, *c_.current, mbX, mbY, VectorX(0), VectorY(0), false);
      average = true;
    }
    if ((directions & kBackward) != 0) {
      PredictMacroblock(*c_.backward, *c_.current, mbX, mbY, VectorX(1), VectorY(1), average);
    }
  }

  // Reads one motion vector (both components) of direction d and
  // reconstructs it from the previous one, wrapping into the f_code's range.
  bool ReadMotion(int d) {
    const int fCode = d == 0 ? c_.picture->forwardFCode : c_.picture->backwardFCode;
    const int rSize = fCode - 1;
    const int f = 1 << rSize;
    for (int k = 0; k < 2; ++k) {
      const Vlc e = kMotionCode[bits_.Peek(11)];
      if (e.length == 0) return false;
      bits_.Skip(e.length);
      const int code = e.value;
      int delta = code;
      if (f != 1 && code != 0) {
        const int residual = rSize > 0 ? static_cast<int>(bits_.Read(rSize)) : 0;
        delta = ((std::abs(code) - 1) << rSize) + residual + 1;
        if (code < 0) delta = -delta;
      }
      int v = motion_[d][k] + delta;
      if (v > 16 * f - 1) {
        v -= 32 * f;
      } else if (v < -16 * f) {
        v += 32 * f;
      }
      motion_[d][k] = v;
    }
    return true;
  }

  bool DecodeMacroblock(int address) {
    const int mbX = MbX(address), mbY = MbY(address);
    int flags;
    if (type_ == kPictureD) {
      if (!bits_.ReadBit()) return false;
      flags = kIntra;
    } else {
      const auto& table = type_ == kPictureI   ? kMacroblockTypeI
                          : type_ == kPictureP ? kMacroblockTypeP
                                               : kMacroblockTypeB;
      const Vlc e = table[bits_.Peek(6)];
      if (e.length == 0) return false;
      bits_.Skip(e.length);
      flags = e.value;
    }
    if ((flags & kQuant) != 0) {
      quantiser_ = static_cast<int>(bits_.Read(5));
      if (quantiser_ == 0) return false;
    }
    if ((flags & kForward) != 0 && !ReadMotion(0)) return false;
    if ((flags & kBackward) != 0 && !ReadMotion(1)) return false;
    int pattern = 0;
    if ((flags & kPattern) != 0) {
      const Vlc e = kCodedBlockPattern[bits_.Peek(9)];
      if (e.length == 0) return false;
      bits_.Skip(e.length);
      pattern = e.value;
    }

    Frame& frame = *c_.current;
    std::uint8_t* const luma = frame.Luma(16 * mbX, 16 * mbY);
    std::uint8_t* const dst[6] = {luma,
                                  luma + 8,
                                  luma + 8 * frame.width,
                                  luma + 8 * frame.width + 8,
                                  frame.Chroma(frame.cb, 8 * mbX, 8 * mbY),
                                  frame.Chroma(frame.cr, 8 * mbX, 8 * mbY)};
    if ((flags & kIntra) != 0) {
      ResetMotion();
      previousIntra_ = true;
      for (int b = 0; b < 6; ++b) {
        const std::ptrdiff_t stride = b < 4 ? frame.width : frame.width / 2;
        int last = 0;
        if (!DecodeIntraBlock(b < 4 ? 0 : b - 3, last)) return false;
        if (last == 0) {
          IdctPutDc(block_[0], dst[b], stride);
          block_[0] = 0;
        } else {
          IdctPut(block_, dst[b], stride);
        }
      }
      // D pictures end each macroblock with a 1 bit.
      return type_ != kPictureD || bits_.ReadBit();
    }

    ResetDc();
    previousIntra_ = false;
    int directions = flags & (kForward | kBackward);
    if (type_ == kPictureP && directions == 0) {
      // Coded without motion: a zero vector, which the next one counts from.
      motion_[0][0] = motion_[0][1] = 0;
      directions = kForward;
    }
    previousDirections_ = directions;
    Predict(mbX, mbY, directions);
    for (int b = 0; b < 6; ++b) {
      if ((pattern & (32 >> b)) == 0) continue;
      const std::ptrdiff_t stride = b < 4 ? frame.width : frame.width / 2;
      int last = 0;
      if (!DecodeInterBlock(last)) return false;
      if (last == 0) {
        IdctAddDc(block_[0], dst[b], stride);
        block_[0] = 0;
      } else {
        IdctAdd(block_, dst[b], stride);
      }
    }
    return true;
  }

  // The DC term of an intra block from its predictor; component 0 is luma.
  bool ReadDc(int component) {
    Vlc e;
    if (component == 0) {
      e = kDcSizeLuma[bits_.Peek(7)];
    } else {
      e = kDcSizeChroma[bits_.Peek(8)];
    }
    if (e.length == 0) return false;
    bits_.Skip(e.length);
    const int size = e.value;
    int difference = 0;
    if (size > 0) {
      const int v = static_cast<int>(bits_.Read(size));
      difference = (v >> (size - 1)) != 0 ? v : v - ((1 << size) - 1);
    }
    // Valid streams stay within 0..255; the clamp keeps damaged ones bounded.
    const int dc = std::clamp(dcPredictor_[component] + difference, -256, 255);
    dcPredictor_[component] = dc;
    block_[0] = static_cast<std::int16_t>(dc * 8);
    return true;
  }

  // Reads one run/level pair of dct_coeff_next; false for no code. Sets
  // `end` at the end of the block.
  bool ReadCoefficient(int& run, int& level, bool& end) {
    const std::uint32_t w = bits_.Peek32();
    const Coefficient e = (w >> 26) != 0 ? kCoefficientShort[w >> 23] : kCoefficientLong[w >> 15];
    if (e.run >= 0) {
      bits_.Skip(e.length);
      run = e.run;
      level = e.level;
      return true;
    }
    if (e.run == kEndOfBlock) {
      bits_.Skip(2);
      end = true;
      return true;
    }
    if (e.run != kEscape) return false;
    // Escape: a 6-bit run, then the level in 8 bits, or in 16 when the
    // first 8 are 0 (levels 128..255) or 0x80 (levels -255..-128).
    bits_.Skip(6);
    run = static_cast<int>(bits_.Read(6));
    const int first = static_cast<int>(bits_.Read(8));
    if (first == 0) {
      level = static_cast<int>(bits_.Read(8));
    } else if (first == 128) {
      level = static_cast<int>(bits_.Read(8)) - 256;
    } else {
      level = first < 128 ? first : first - 256;
    }
    return true;
  }

  bool DecodeIntraBlock(int component, int& last) {
    if (!ReadDc(component)) return false;
    if (type_ == kPictureD) return true;
    const std::uint8_t* matrix = c_.intraMatrix->data();
    int index = 0;
    while (true) {
      int run = 0, level = 0;
      bool end = false;
      if (!ReadCoefficient(run, level, end)) return false;
      if (end) break;
      index += run + 1;
      if (index > 63) return false;
      const int position = kZigzag[static_cast<std::size_t>(index)];
      block_[position] = Reconstruct((2 * level * quantiser_ * matrix[position]) / 16);
      last = index;
    }
    return true;
  }

  bool DecodeInterBlock(int& last) {
    const std::uint8_t* matrix = c_.nonIntraMatrix->data();
    int index = -1;
    bool firstCoefficient = true;
    while (true) {
      int run = 0, level = 0;
      bool end = false;
      if (firstCoefficient && bits_.Peek(1) != 0) {
        // The first coefficient's own code "1s": run 0, level +-1.
        level = bits_.Peek(2) == 3 ? -1 : 1;
        bits_.Skip(2);
      } else if (!ReadCoefficient(run, level, end)) {
        return false;
      }
      firstCoefficient = false;
      if (end) break;
      index += run + 1;
      if (index > 63) return false;
      const int position = kZigzag[static_cast<std::size_t>(index)];
      const int sign = level > 0 ? 1 : (level < 0 ? -1 : 0);
      block_[position] = Reconstruct(((2 * level + sign) * quantiser_ * matrix[position]) / 16);
      last = std::max(last, index);
    }
    return true;
  }

  const SliceContext& c_;
  BitReader bits_;
  const int type_;
  const int mbCount_;
  int quantiser_ = 1;
  int dcPredictor_[3] = {128, 128, 128};
  // Reconstructed vectors [forward, backward][x, y], in the picture's units
  // (whole samples with full_pel vectors, else half samples).
  int motion_[2][2] = {};
  bool previousIntra_ = false;
  int previousDirections_ = 0;
  alignas(16) std::int16_t block_[64] = {};
};

}  // namespace

bool DecodeSlice(const SliceContext& context, int row, const std::uint8_t* data, std::size_t size) {
  return SliceDecoder(context, data, size).Run(row);
}

}  // namespace vistel::mpeg1video
