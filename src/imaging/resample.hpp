// Resampling of a bitmap to a new size: area averaging where an axis
// shrinks, Catmull-Rom interpolation with pixel centres aligned where it
// grows. Separable, with the weights of each axis computed once in 14-bit
// fixed point, so the passes over the pixels are integer multiply-adds.
// Each destination row is made as soon as the source rows it needs are
// there, so a picture can be resampled while it is decoded.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "base/image.hpp"
#include "base/input_limits.hpp"
#include "runtime/media.hpp"

namespace vistel {

enum class ResampleFilter {
  Nearest,  // the source pixel under each destination pixel's centre
  Smooth,   // area average when shrinking, Catmull-Rom when enlarging
};

// Whether a resize or creation may allocate a bitmap of this size: within
// the picture limits, since sizes come from untrusted pictures and
// configuration values (the side bounds the resampler's weights as well).
constexpr bool IsAllowedBitmapSize(long long width, long long height) {
  return width <= limits::kMaxPictureSide && height <= limits::kMaxPictureSide &&
         width * height <= limits::kMaxPicturePixels;
}

// The source resampled to width x height. A flat source stays exactly flat.
// Fails for an empty source, a size below 1, or one IsAllowedBitmapSize
// refuses (OutOfMemory).
Result<Image> ResampleImage(const Image& source, int width, int height, ResampleFilter filter);

// The same for a source whose picture covers only `extent` of it from the
// top-left corner (a picture decoded at a reduced scale); the extent is
// clamped to the source's size.
Result<Image> ResampleImage(const Image& source, FloatSize extent, int width, int height,
                            ResampleFilter filter);

class RowResampler;

namespace resampling {

// Turns the resampler's AVX2 pass (along the rows) on (the default) or off,
// and tells whether it is now in use: never where the processor lacks AVX2.
// It gives the same pixels as the others; the switch is for tests that
// compare.
bool UseWidePass(bool use);

}  // namespace resampling

// Resamples a picture to width x height as its decoder delivers the rows,
// keeping only the rows the filter still needs: the whole decode never
// exists. The result is ResampleImage's of the whole decode, pixel for pixel.
class ResamplingRowSink final : public PictureRowSink {
 public:
  ResamplingRowSink(int width, int height, ResampleFilter filter);
  ~ResamplingRowSink() override;
  ResamplingRowSink(const ResamplingRowSink&) = delete;
  ResamplingRowSink& operator=(const ResamplingRowSink&) = delete;

  // Fails for an empty size or one IsAllowedBitmapSize refuses.
  Status Begin(IntSize size, FloatSize extent) override;
  int NextRows(std::span<Pixel*> rows) override;
  void RowsDone(int count) override;
  // The resampled picture, once every row has come; fails before.
  Result<Image> Take();

 private:
  int width_;
  int height_;
  ResampleFilter filter_;
  std::unique_ptr<RowResampler> engine_;
  std::vector<Pixel> ring_;  // the source rows handed out and still needed
  int ringRows_ = 0;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  int handedOut_ = 0;  // rows NextRows gave and RowsDone has not taken yet
  static constexpr int kBatchRows = 16;
};

// `picture` decoded (at the reduced scale width x height allows) and
// resampled to width x height, row by row, as ResamplingRowSink does.
Result<Image> DecodeResampled(OpenedPicture& picture, int width, int height, ResampleFilter filter);

}  // namespace vistel
