#include "imaging/effects/motion_effect.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace vistel::effects {
namespace {

// The eight directions, in the order the catalogue numbers them.
constexpr std::array<std::array<int, 2>, 8> kDirections = {
    {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {-1, 1}, {1, -1}}};

struct Clip {
  int x0, y0, x1, y1;
};

// dst(x, y) = src(x - ox, y - oy) inside `clip`, where src reaches.
void CopyShifted(Image& dst, const Image& src, int ox, int oy, Clip clip) {
  const int y_begin = std::max(clip.y0, oy);
  const int y_end = std::min(clip.y1, oy + src.Height());
  const int x_begin = std::max(clip.x0, ox);
  const int x_end = std::min(clip.x1, ox + src.Width());
  if (x_begin >= x_end) return;
  const auto bytes = static_cast<std::size_t>(x_end - x_begin) * sizeof(Pixel);
  for (int y = y_begin; y < y_end; ++y) {
    std::memcpy(dst.Row(y) + x_begin, src.Row(y - oy) + (x_begin - ox), bytes);
  }
}

int Scale(int size, std::int64_t progress) {
  return static_cast<int>(size * progress / kFullProgress);
}

class MotionAnimation final : public EffectAnimation {
 public:
  MotionAnimation(const EffectRecipe& recipe, const EffectParameters& p, const Image& from,
                  const Image& to)
      : recipe_(recipe), parameters_(p), from_(from), to_(to) {}

  Milliseconds Duration() const override { return parameters_.duration; }

  void RenderFrame(Milliseconds t, Image& frame) override {
    if (frame.Extent() != to_.Extent()) frame = Image(to_.Width(), to_.Height());
    const std::int32_t progress = ProgressAt(t, parameters_);
    const int w = to_.Width(), h = to_.Height();
    const Clip all{0, 0, w, h};
    if (recipe_.family == Family::kSlide) {
      RenderSlide(progress, frame);
      return;
    }
    const auto [ux, uy] = kDirections[static_cast<std::size_t>(recipe_.shape % 8)];
    const int ox = ux * Scale(w, progress), oy = uy * Scale(h, progress);
    // The new picture enters from the side opposite its direction of travel.
    const int nx = ox - ux * w, ny = oy - uy * h;
    switch (recipe_.family) {
      case Family::kPush:
        // A diagonal push leaves two corners that neither picture covers.
        if (ux != 0 && uy != 0) std::ranges::fill(frame.Pixels(), parameters_.colours[0]);
        CopyShifted(frame, from_, ox, oy, all);
        CopyShifted(frame, to_, nx, ny, all);
        break;
      case Family::kCover:
        CopyShifted(frame, from_, 0, 0, all);
        CopyShifted(frame, to_, nx, ny, all);
        break;
      default:  // reveal
        CopyShifted(frame, to_, 0, 0, all);
        CopyShifted(frame, from_, ox, oy, all);
        break;
    }
  }

 private:
  // Slats across the picture; even slats slide in from one side, odd ones
  // from the other, over the old picture.
  void RenderSlide(std::int32_t progress, Image& frame) const {
    const int w = to_.Width(), h = to_.Height();
    const bool horizontal = recipe_.shape < 2;
    const int sign = recipe_.shape % 2 == 0 ? 1 : -1;
    const int extent = horizontal ? h : w;
    const int slats =
        std::clamp(2 + 2 * (recipe_.level % 8) + parameters_.extra_bands, 1, std::max(1, extent));
    CopyShifted(frame, from_, 0, 0, {0, 0, w, h});
    for (int i = 0; i < slats; ++i) {
      const int begin = static_cast<int>(static_cast<std::int64_t>(i) * extent / slats);
      const int end = static_cast<int>(static_cast<std::int64_t>(i + 1) * extent / slats);
      const int s = i % 2 == 0 ? sign : -sign;
      if (horizontal) {
        const int travel = Scale(w, progress) - w;
        CopyShifted(frame, to_, s * travel, 0, {0, begin, w, end});
      } else {
        const int travel = Scale(h, progress) - h;
        CopyShifted(frame, to_, 0, s * travel, {begin, 0, end, h});
      }
    }
  }

  EffectRecipe recipe_;
  EffectParameters parameters_;
  const Image& from_;
  const Image& to_;
};

// One picture scaled by s about an anchor over the other: the new one
// growing from nothing, or the old one shrinking to nothing.
class ZoomAnimation final : public EffectAnimation {
 public:
  ZoomAnimation(const EffectRecipe& recipe, const EffectParameters& p, const Image& from,
                const Image& to)
      : parameters_(p),
        from_(from),
        to_(to),
        growing_(recipe.shape % 2 == 0),
        anchor_(recipe.shape / 2 % 5),
        columns_(static_cast<std::size_t>(to.Width())) {}

  Milliseconds Duration() const override { return parameters_.duration; }

  void RenderFrame(Milliseconds t, Image& frame) override {
    if (frame.Extent() != to_.Extent()) frame = Image(to_.Width(), to_.Height());
    const std::int32_t progress = ProgressAt(t, parameters_);
    const std::int64_t scale = growing_ ? progress : kFullProgress - progress;
    const Image& base = growing_ ? from_ : to_;
    const Image& scaled = growing_ ? to_ : from_;
    const int w = to_.Width(), h = to_.Height();
    // Anchor in the picture: centre, then the corners clockwise from top left.
    constexpr std::array<std::array<int, 2>, 5> kAnchors = {
        {{1, 1}, {0, 0}, {2, 0}, {2, 2}, {0, 2}}};  // in half sizes
    const auto [hx, hy] = kAnchors[static_cast<std::size_t>(anchor_)];
    const auto left = [&](int size, int half_units) {
      return static_cast<int>(static_cast<std::int64_t>(size) * half_units *
                              (kFullProgress - scale) / (2 * kFullProgress));
    };
    const int x0 = left(w, hx), y0 = left(h, hy);
    const int x1 = x0 + Scale(w, scale), y1 = y0 + Scale(h, scale);
    CopyShifted(frame, base, 0, 0, {0, 0, w, h});
    if (x1 <= x0 || y1 <= y0) return;
    const int sw = x1 - x0, sh = y1 - y0;
    for (int x = x0; x < x1; ++x) {
      columns_[static_cast<std::size_t>(x)] =
          std::min(w - 1, static_cast<int>(static_cast<std::int64_t>(x - x0) * w / sw));
    }
    for (int y = y0; y < y1; ++y) {
      const int sy = std::min(h - 1, static_cast<int>(static_cast<std::int64_t>(y - y0) * h / sh));
      const Pixel* src = scaled.Row(sy);
      Pixel* out = frame.Row(y);
      for (int x = x0; x < x1; ++x) out[x] = src[columns_[static_cast<std::size_t>(x)]];
    }
  }

 private:
  EffectParameters parameters_;
  const Image& from_;
  const Image& to_;
  bool growing_;
  int anchor_;
  std::vector<int> columns_;  // source column per frame column, reused by every frame
};

}  // namespace

std::unique_ptr<EffectAnimation> MakeMotionEffect(const EffectRecipe& recipe,
                                                  const EffectParameters& p, const Image& from,
                                                  const Image& to) {
  return std::make_unique<MotionAnimation>(recipe, p, from, to);
}

std::unique_ptr<EffectAnimation> MakeZoomEffect(const EffectRecipe& recipe,
                                                const EffectParameters& p, const Image& from,
                                                const Image& to) {
  return std::make_unique<ZoomAnimation>(recipe, p, from, to);
}

}  // namespace vistel::effects
