#include "media/ffmpeg/frame_convert.hpp"

#include <cstdint>
#include <vector>

namespace vistel::ffmpeg {
namespace {

// Same-size conversion: the filter only matters for chroma upsampling, where
// full-resolution interpolation with accurate rounding keeps lossless
// sources exact and lossy ones closest to their original.
constexpr int kScaleFlags = SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT;

bool Scale(const AVFrame& frame, ScalePtr& scaler, AVPixelFormat target, std::uint8_t* out,
           int outStride) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  SwsContext* context = sws_getCachedContext(
      scaler.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
      frame.width, frame.height, target, kScaleFlags, nullptr, nullptr, nullptr);
  scaler.reset(context);
  if (context == nullptr) return false;
  std::uint8_t* planes[4] = {out, nullptr, nullptr, nullptr};
  int strides[4] = {outStride, 0, 0, 0};
  return sws_scale(context, frame.data, frame.linesize, 0, frame.height, planes, strides) ==
         frame.height;
}

}  // namespace

bool HasAlpha(AVPixelFormat format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  return d != nullptr && (d->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL)) != 0;
}

// The per-pixel loops below hold no decision about the input: coverage
// instrumentation there only slows a fuzzer down on large pictures (a
// 33-megapixel GIF took 20 s an input).
#if defined(__clang__)
#define VISTEL_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define VISTEL_NO_COVERAGE
#endif

namespace {

// Some swscale paths fill the unused byte with 0xFF; the engine keeps it 0.
VISTEL_NO_COVERAGE void ClearUnusedBytes(Image& image) {
  for (Pixel& p : image.Pixels()) p &= 0x00FFFFFFU;
}

// Composes 0xAARRGGBB pixels over an opaque back colour.
VISTEL_NO_COVERAGE void ComposeOver(Image& image, Pixel back) {
  const unsigned br = PixelRed(back), bg = PixelGreen(back), bb = PixelBlue(back);
  for (Pixel& p : image.Pixels()) {
    const unsigned a = p >> 24;
    if (a == 255) {
      p &= 0x00FFFFFFU;
      continue;
    }
    const unsigned na = 255 - a;
    p = MakePixel((PixelRed(p) * a + br * na + 127) / 255,
                  (PixelGreen(p) * a + bg * na + 127) / 255,
                  (PixelBlue(p) * a + bb * na + 127) / 255);
  }
}

}  // namespace

bool ConvertFrame(const AVFrame& frame, ScalePtr& scaler, Image& image) {
  if (image.Width() != frame.width || image.Height() != frame.height) {
    image = Image(frame.width, frame.height);
  }
  if (image.IsEmpty()) return false;
  // AV_PIX_FMT_0RGB32 is the native-endian word 0x00RRGGBB: the Image's layout.
  if (!Scale(frame, scaler, AV_PIX_FMT_0RGB32,
             reinterpret_cast<std::uint8_t*>(image.Pixels().data()), frame.width * 4)) {
    return false;
  }
  ClearUnusedBytes(image);
  return true;
}

bool ConvertFrameOver(const AVFrame& frame, Pixel back, Image& image) {
  ScalePtr scaler;
  if (!HasAlpha(static_cast<AVPixelFormat>(frame.format))) {
    return ConvertFrame(frame, scaler, image);
  }
  image = Image(frame.width, frame.height);
  if (image.IsEmpty()) return false;
  // AV_PIX_FMT_RGB32 is the native-endian word 0xAARRGGBB.
  if (!Scale(frame, scaler, AV_PIX_FMT_RGB32,
             reinterpret_cast<std::uint8_t*>(image.Pixels().data()), frame.width * 4)) {
    return false;
  }
  ComposeOver(image, back);
  return true;
}

}  // namespace vistel::ffmpeg
