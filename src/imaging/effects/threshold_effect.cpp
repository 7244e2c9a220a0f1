#include "imaging/effects/threshold_effect.hpp"

#include <algorithm>

#include "imaging/effects/pixel_blend.hpp"

namespace vistel::effects {
namespace {

class ThresholdAnimation final : public EffectAnimation {
 public:
  ThresholdAnimation(std::vector<std::uint16_t> thresholds, std::int32_t softness,
                     const EffectParameters& p, const Image& from, const Image& to)
      : thresholds_(std::move(thresholds)),
        softness_(softness),
        parameters_(p),
        from_(from),
        to_(to) {}

  Milliseconds Duration() const override { return parameters_.duration; }

  void RenderFrame(Milliseconds t, Image& frame) override {
    if (frame.Extent() != to_.Extent()) frame = Image(to_.Width(), to_.Height());
    const std::int64_t progress = ProgressAt(t, parameters_);
    // The edge travels past the last threshold by the softness, so the end
    // shows every pixel fully new.
    const auto level =
        static_cast<std::int32_t>(progress * (kFullProgress + softness_) / kFullProgress);
    const std::uint16_t* thr = thresholds_.data();
    const Pixel* old_px = from_.Pixels().data();
    const Pixel* new_px = to_.Pixels().data();
    Pixel* out = frame.Pixels().data();
    const std::size_t n = thresholds_.size();
    if (softness_ == 0) {
      for (std::size_t i = 0; i < n; ++i) out[i] = thr[i] < level ? new_px[i] : old_px[i];
      return;
    }
    // Weight of the new pixel: (level - threshold) / softness in 1/256, by
    // a reciprocal so the loop has no division.
    const std::int64_t reciprocal = (std::int64_t{256} << 16) / softness_;
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t d = level - thr[i];
      if (d <= 0) {
        out[i] = old_px[i];
      } else if (d >= softness_) {
        out[i] = new_px[i];
      } else {
        const auto w =
            static_cast<std::uint32_t>(std::min<std::int64_t>(255, (d * reciprocal) >> 16));
        out[i] = Lerp(old_px[i], new_px[i], w);
      }
    }
  }

 private:
  std::vector<std::uint16_t> thresholds_;
  std::int32_t softness_;
  EffectParameters parameters_;
  const Image& from_;
  const Image& to_;
};

}  // namespace

std::unique_ptr<EffectAnimation> MakeThresholdEffect(const EffectRecipe& recipe,
                                                     const EffectParameters& p, const Image& from,
                                                     const Image& to) {
  return std::make_unique<ThresholdAnimation>(BuildThresholds(recipe, p, to.Width(), to.Height()),
                                              SoftnessOf(recipe, p), p, from, to);
}

}  // namespace vistel::effects
