// One cross-fade frame at 1920 x 1080: the fused kernel against the literal
// sequence of fills and combines it replaces, and against plain memory
// traffic of the same order (copying three frames).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "base/image.hpp"
#include "imaging/bitmap_ops.hpp"
#include "imaging/crossfade_kernel.hpp"

namespace vistel {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

Image Noise(unsigned seed) {
  std::mt19937 rng(seed);
  Image image(kWidth, kHeight);
  for (Pixel& p : image.Pixels()) p = rng() & 0x00FFFFFFU;
  return image;
}

void SetPixelsProcessed(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_CrossFadeFused(benchmark::State& state) {
  const Image outgoing = Noise(1), incoming = Noise(2);
  Image frame(kWidth, kHeight);
  int g = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CrossFadeFrame(outgoing, incoming, g, frame));
    benchmark::ClobberMemory();
    g = (g + 37) % 256;
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_CrossFadeFused)->Unit(benchmark::kMillisecond);

void BM_CopyThreeFrames(benchmark::State& state) {
  const Image a = Noise(1), b = Noise(2), c = Noise(3);
  Image x(kWidth, kHeight), y(kWidth, kHeight), z(kWidth, kHeight);
  const std::size_t bytes = a.Pixels().size_bytes();
  for (auto _ : state) {
    std::memcpy(x.Pixels().data(), a.Pixels().data(), bytes);
    std::memcpy(y.Pixels().data(), b.Pixels().data(), bytes);
    std::memcpy(z.Pixels().data(), c.Pixels().data(), bytes);
    benchmark::ClobberMemory();
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_CopyThreeFrames)->Unit(benchmark::kMillisecond);

void BM_CrossFadeLiteralSequence(benchmark::State& state) {
  const Image outgoing = Noise(1), incoming = Noise(2);
  Image a(kWidth, kHeight), b(kWidth, kHeight), s(kWidth, kHeight);
  const IntRect all{0, 0, kWidth, kHeight};
  unsigned g = 0;
  for (auto _ : state) {
    FillImage(a, MakePixel(255 - g, 255 - g, 255 - g));
    benchmark::DoNotOptimize(CombineImages(a, all, outgoing, {0, 0}, 1536));
    FillImage(b, MakePixel(g, g, g));
    benchmark::DoNotOptimize(CombineImages(b, all, incoming, {0, 0}, 1536));
    FillImage(s, 0);
    benchmark::DoNotOptimize(CombineImages(s, all, a, {0, 0}, 768));
    benchmark::DoNotOptimize(CombineImages(s, all, b, {0, 0}, 768));
    benchmark::ClobberMemory();
    g = (g + 37) % 256;
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_CrossFadeLiteralSequence)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistel
