// ResizeBitmap's resampling of a 12-megapixel photo (4000 x 3000) to the
// 1920 x 1080 display size, the common case of a background or an image
// screen; it must stay well below the time decoding such a picture takes.
#include <benchmark/benchmark.h>

#include <random>

#include "base/image.hpp"
#include "imaging/resample.hpp"

namespace vistel {
namespace {

Image Photo() {
  // Smooth content with some noise: resampling cost does not depend on it,
  // but it keeps the result from being trivially constant.
  std::mt19937 rng(5);
  Image image(4000, 3000);
  for (int y = 0; y < 3000; ++y) {
    for (int x = 0; x < 4000; ++x) {
      image.At(x, y) =
          MakePixel(static_cast<unsigned>(x / 16), static_cast<unsigned>(y / 12), rng() & 0xFFU);
    }
  }
  return image;
}

void BM_ResizeSmooth12MpTo1080p(benchmark::State& state) {
  const Image photo = Photo();
  for (auto _ : state) {
    auto out = ResampleImage(photo, 1920, 1080, ResampleFilter::Smooth);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}
BENCHMARK(BM_ResizeSmooth12MpTo1080p)->Unit(benchmark::kMillisecond);

void BM_ResizeSmooth1080pTo4k(benchmark::State& state) {
  const Image frame(1920, 1080, 0x00336699U);
  for (auto _ : state) {
    auto out = ResampleImage(frame, 3840, 2160, ResampleFilter::Smooth);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_ResizeSmooth1080pTo4k)->Unit(benchmark::kMillisecond);

void BM_ResizeNearest12MpTo1080p(benchmark::State& state) {
  const Image photo = Photo();
  for (auto _ : state) {
    auto out = ResampleImage(photo, 1920, 1080, ResampleFilter::Nearest);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_ResizeNearest12MpTo1080p)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistel
