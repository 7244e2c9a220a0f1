// Frames per second of one paint effect of each family at 1920x1080 on one
// core: the repaint must keep up with a 60 Hz display (at least 60 frames/s,
// about 16.7 ms per frame). Each iteration renders one frame at a moment
// that walks through the effect, so every stage of it is measured.
#include <benchmark/benchmark.h>

#include "imaging/effects/effect_catalogue.hpp"
#include "imaging/paint_effect.hpp"

namespace vistel {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

Image Picture(unsigned salt) {
  Image image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const auto ux = static_cast<unsigned>(x), uy = static_cast<unsigned>(y);
      image.At(x, y) = MakePixel(ux + salt, uy * salt, (ux ^ uy) + salt);
    }
  }
  return image;
}

void BM_Effect(benchmark::State& state) {
  static const Image from = Picture(3);
  static const Image to = Picture(101);
  const int code = static_cast<int>(state.range(0));
  EffectSettings settings{};
  settings[0] = 1;           // smooth, as random effects run
  settings[1] = 1000;        // one second
  settings[5] = 0x00FF8000;  // colours for the fades
  settings[6] = 0x000080FF;
  settings[9] = 7;   // r10-like bands
  settings[10] = 9;  // r11-like grain
  auto effect = MakePaintEffect(code, settings, from, to);
  if (!effect) {
    state.SkipWithError("no animation for the code");
    return;
  }
  state.SetLabel(std::string(effects::FamilyName(effects::DescribeEffect(code)->family)));
  Image frame(kWidth, kHeight);
  const Milliseconds d = effect->Duration();
  Milliseconds t = 0;
  for (auto _ : state) {
    effect->RenderFrame(t, frame);
    benchmark::DoNotOptimize(frame.Pixels().data());
    t = (t + 17) % (d + 1);
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// One code per family (and both kinds of the families with two kernels).
BENCHMARK(BM_Effect)
    ->ArgName("code")
    ->Arg(2000)   // wipe
    ->Arg(2081)   // soft wipe
    ->Arg(2160)   // blinds
    ->Arg(2240)   // checkerboard
    ->Arg(2320)   // strips
    ->Arg(2400)   // random bars
    ->Arg(2480)   // dissolve, pixels
    ->Arg(2481)   // dissolve, blocks
    ->Arg(5002)   // iris, circle
    ->Arg(5088)   // barn door
    ->Arg(5176)   // clock sweep
    ->Arg(16000)  // radial sweep
    ->Arg(7000)   // spiral
    ->Arg(7132)   // snake
    ->Arg(6004)   // push, diagonal
    ->Arg(6132)   // slide
    ->Arg(6264)   // cover
    ->Arg(6396)   // reveal
    ->Arg(8000)   // zoom, growing
    ->Arg(8001)   // zoom, shrinking
    ->Arg(8130)   // pixelate
    ->Arg(8131)   // pixelate, blended
    ->Arg(4000)   // fade through a colour
    ->Arg(4006)   // fade through two colours
    ->Unit(benchmark::kMillisecond);

// Creating an effect (its order is computed once, before the first frame).
void BM_CreateEffect(benchmark::State& state) {
  static const Image from = Picture(3);
  static const Image to = Picture(101);
  const int code = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto effect = MakePaintEffect(code, EffectSettings{}, from, to);
    benchmark::DoNotOptimize(effect.get());
  }
}
BENCHMARK(BM_CreateEffect)
    ->ArgName("code")
    ->Arg(2000)
    ->Arg(5176)
    ->Arg(7000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistel
