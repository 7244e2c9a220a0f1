// A screen step's caption at the largest size: the box sized to a caption of
// every printable Windows-1252 letter (or a mebibyte of one letter) at 2160
// points, drawn, placed in the middle and rendered where it meets a screen,
// in each of eight styles in turn as a show of such screens would. The glyph
// cache's peak (counter glyph_cache_peak_bytes) is the working set the
// budget has to hold; the time is one screen's caption.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "imaging/caption_box.hpp"
#include "media/fonts/fontconfig_font_service.hpp"

namespace vistel {
namespace {

std::string EveryLetter() {
  std::string text;
  for (int c = 0x21; c < 0x7F; ++c) text += static_cast<char>(c);
  for (int c = 0xA1; c < 0xFF; ++c) text += static_cast<char>(c);
  return text + "\x80\x82\x83";
}

void ShowCaptions(benchmark::State& state, const std::string& text) {
  const IntRect screen{0, 0, static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
  FontconfigFontService fonts(std::size_t{1} << 40);  // unbounded: the peak is the working set
  CaptionBox box(fonts);
  std::size_t peak = 0;
  int style = 0;
  for (auto _ : state) {
    box.ClearPicture();
    box.Cls();
    box.SetFontName(style % 8 < 4 ? "Arial" : "Times New Roman");
    (void)box.SetFontSize(2160.0F);
    box.SetFontBold((style & 1) != 0);
    box.SetFontItalic((style & 2) != 0);
    (void)box.SetWidth(box.TextWidth(text));
    (void)box.SetHeight(box.TextHeight(text));
    box.Print(text);
    box.KeepDrawingAsPicture();
    (void)box.SetLeft(static_cast<float>(screen.width) * 7.5F - box.Width() / 2);
    (void)box.SetTop(static_cast<float>(screen.height) * 7.5F - box.Height() / 2);
    benchmark::DoNotOptimize(box.Shown(screen).image.Pixels().data());
    peak = std::max(peak, fonts.GlyphCacheInUse().bytes);
    ++style;
  }
  state.counters["glyph_cache_peak_bytes"] = static_cast<double>(peak);
}

void BM_CaptionEveryLetter2160pt(benchmark::State& state) {
  ShowCaptions(state, EveryLetter());
}
BENCHMARK(BM_CaptionEveryLetter2160pt)
    ->Args({800, 600})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);

void BM_CaptionMebibyteOfW2160pt(benchmark::State& state) {
  ShowCaptions(state, std::string(std::size_t{1} << 20, 'W'));
}
BENCHMARK(BM_CaptionMebibyteOfW2160pt)
    ->Args({800, 600})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistel
