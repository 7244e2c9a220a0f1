#include "imaging/effects/colour_effect.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/effects/pixel_blend.hpp"
#include "imaging/effects/threshold_effect.hpp"

namespace vistel::effects {
namespace {

class PixelateAnimation final : public EffectAnimation {
 public:
  PixelateAnimation(const EffectRecipe& recipe, const EffectParameters& p, const Image& from,
                    const Image& to)
      : parameters_(p),
        from_(from),
        to_(to),
        blended_(recipe.shape % 2 == 1),
        largest_(BlockEdge(p, 2 + recipe.level % 4, to.Width(), to.Height())) {}

  Milliseconds Duration() const override { return parameters_.duration; }

  void RenderFrame(Milliseconds t, Image& frame) override {
    if (frame.Extent() != to_.Extent()) frame = Image(to_.Width(), to_.Height());
    const std::int64_t progress = ProgressAt(t, parameters_);
    // Blocks grow to the largest size mid-way and shrink back to single
    // pixels, so both ends are the unchanged pictures.
    const std::int64_t peak = kFullProgress - std::abs(2 * progress - kFullProgress);
    const int edge = 1 + static_cast<int>((largest_ - 1) * peak / kFullProgress);
    if (blended_) {
      Render(frame, edge, static_cast<std::uint32_t>(progress >> 8));
    } else {
      Render(frame, edge, 2 * progress < kFullProgress ? 0U : 256U);
    }
  }

 private:
  // Blocks of `edge` pixels, each the colour of its centre pixel in the old
  // and the new picture, mixed with weight w of the new one (0 .. 256).
  void Render(Image& frame, int edge, std::uint32_t w) const {
    const int width = to_.Width(), height = to_.Height();
    for (int y0 = 0; y0 < height; y0 += edge) {
      const int y1 = std::min(height, y0 + edge);
      const int sy = (y0 + y1) / 2;
      Pixel* first = frame.Row(y0);
      const Pixel* old_row = from_.Row(sy);
      const Pixel* new_row = to_.Row(sy);
      if (edge == 1) {
        for (int x = 0; x < width; ++x) first[x] = Lerp(old_row[x], new_row[x], w);
        continue;
      }
      for (int x0 = 0; x0 < width; x0 += edge) {
        const int x1 = std::min(width, x0 + edge);
        const int sx = (x0 + x1) / 2;
        std::fill(first + x0, first + x1, Lerp(old_row[sx], new_row[sx], w));
      }
      const auto bytes = static_cast<std::size_t>(width) * sizeof(Pixel);
      for (int y = y0 + 1; y < y1; ++y) std::memcpy(frame.Row(y), first, bytes);
    }
  }

  EffectParameters parameters_;
  const Image& from_;
  const Image& to_;
  bool blended_;
  int largest_;
};

// A stop of a fade: one of the pictures or a plain colour.
struct Stop {
  const Image* picture;  // null: the colour
  Pixel colour;
};

class FadeAnimation final : public EffectAnimation {
 public:
  FadeAnimation(const EffectRecipe& recipe, const EffectParameters& p, const Image& from,
                const Image& to)
      : parameters_(p), to_(to) {
    std::vector<Pixel> colours;
    switch (recipe.shape % 8) {
      case 4:
        colours = {MakePixel(0, 0, 0)};
        break;
      case 5:
        colours = {MakePixel(255, 255, 255)};
        break;
      case 6:
        colours = {p.colours[0], p.colours[1]};
        break;
      case 7:
        colours = {p.colours[2], p.colours[3]};
        break;
      default:
        colours = {p.colours[static_cast<std::size_t>(recipe.shape % 8)]};
        break;
    }
    const bool hold = recipe.level % 2 == 1;
    stops_.push_back({&from, 0});
    for (Pixel c : colours) {
      stops_.push_back({nullptr, c});
      if (hold) stops_.push_back({nullptr, c});
    }
    stops_.push_back({&to, 0});
  }

  Milliseconds Duration() const override { return parameters_.duration; }

  // Even shares of the time between successive stops, linear in each.
  void RenderFrame(Milliseconds t, Image& frame) override {
    if (frame.Extent() != to_.Extent()) frame = Image(to_.Width(), to_.Height());
    const auto segments = static_cast<std::int64_t>(stops_.size() - 1);
    const std::int64_t position = ProgressAt(t, parameters_) * segments;
    const std::int64_t segment = std::min(segments - 1, position / kFullProgress);
    const auto w = static_cast<std::uint32_t>((position - segment * kFullProgress) >> 8);
    const Stop& a = stops_[static_cast<std::size_t>(segment)];
    const Stop& b = stops_[static_cast<std::size_t>(segment + 1)];
    Pixel* out = frame.Pixels().data();
    const std::size_t n = frame.Pixels().size();
    if (a.picture != nullptr && b.picture != nullptr) {
      const Pixel* pa = a.picture->Pixels().data();
      const Pixel* pb = b.picture->Pixels().data();
      for (std::size_t i = 0; i < n; ++i) out[i] = Lerp(pa[i], pb[i], w);
    } else if (a.picture != nullptr) {
      const Pixel* pa = a.picture->Pixels().data();
      for (std::size_t i = 0; i < n; ++i) out[i] = Lerp(pa[i], b.colour, w);
    } else if (b.picture != nullptr) {
      const Pixel* pb = b.picture->Pixels().data();
      for (std::size_t i = 0; i < n; ++i) out[i] = Lerp(a.colour, pb[i], w);
    } else {
      std::fill(out, out + n, Lerp(a.colour, b.colour, w));
    }
  }

 private:
  EffectParameters parameters_;
  const Image& to_;
  std::vector<Stop> stops_;
};

}  // namespace

std::unique_ptr<EffectAnimation> MakePixelateEffect(const EffectRecipe& recipe,
                                                    const EffectParameters& p, const Image& from,
                                                    const Image& to) {
  return std::make_unique<PixelateAnimation>(recipe, p, from, to);
}

std::unique_ptr<EffectAnimation> MakeFadeEffect(const EffectRecipe& recipe,
                                                const EffectParameters& p, const Image& from,
                                                const Image& to) {
  return std::make_unique<FadeAnimation>(recipe, p, from, to);
}

}  // namespace vistel::effects
