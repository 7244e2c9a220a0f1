// A 12-megapixel JPEG, as a camera puts into a show: decoded alone, and
// decoded then resized to 1920x1080 with the imaging control's resampler
// (its ResizeBitmap, mode 2). The goal is decode+resize within 1.3x of the
// decode alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/image.hpp"
#include "imaging/resample.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"

namespace {

using namespace vistel;

// Written once per run: a photograph-like gradient with texture, so the
// JPEG has the entropy of a real picture rather than flat blocks.
const std::string& PhotoPath() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "vistel-decode-bench-12mp").string();
    Image image(4000, 3000);
    for (int y = 0; y < image.Height(); ++y) {
      for (int x = 0; x < image.Width(); ++x) {
        const unsigned noise = static_cast<unsigned>((x * 7919 + y * 104729) % 23);
        image.At(x, y) = MakePixel(static_cast<unsigned>(x * 255 / 3999) ^ noise,
                                   static_cast<unsigned>(y * 255 / 2999) + noise / 2,
                                   static_cast<unsigned>((x + y) % 256));
      }
    }
    if (!EncodePicture(image, PictureFormat::Jpeg, file)) std::abort();
    return file;
  }();
  return path;
}

void BM_DecodeJpeg12Mp(benchmark::State& state) {
  const std::string& path = PhotoPath();
  FfmpegPictureDecoder decoder;
  for (auto _ : state) {
    auto image = decoder.DecodePicture(path, 0);
    if (!image) state.SkipWithError(image.error().description.c_str());
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_DecodeJpeg12Mp)->Unit(benchmark::kMillisecond);

void BM_DecodeJpeg12MpAndResizeTo1080p(benchmark::State& state) {
  const std::string& path = PhotoPath();
  FfmpegPictureDecoder decoder;
  for (auto _ : state) {
    auto image = decoder.DecodePicture(path, 0);
    if (!image) {
      state.SkipWithError(image.error().description.c_str());
      break;
    }
    auto resized = ResampleImage(*image, 1920, 1080, ResampleFilter::Smooth);
    benchmark::DoNotOptimize(resized);
  }
}
BENCHMARK(BM_DecodeJpeg12MpAndResizeTo1080p)->Unit(benchmark::kMillisecond);

}  // namespace
