#include "imaging/paint_effect.hpp"

#include "imaging/effects/colour_effect.hpp"
#include "imaging/effects/effect_catalogue.hpp"
#include "imaging/effects/motion_effect.hpp"
#include "imaging/effects/threshold_effect.hpp"

namespace vistel {

std::unique_ptr<EffectAnimation> MakePaintEffect(int code, const EffectSettings& settings,
                                                 const Image& from, const Image& to) {
  using namespace effects;
  const std::optional<EffectRecipe> recipe = DescribeEffect(code);
  // Nothing to animate between pictures of different sizes (or none): the
  // new picture is then shown at once, as the plain repaint does.
  if (!recipe || to.IsEmpty() || from.Extent() != to.Extent()) return nullptr;
  const EffectParameters p = ReadEffectSettings(settings);
  switch (recipe->family) {
    case Family::kPush:
    case Family::kSlide:
    case Family::kCover:
    case Family::kReveal:
      return MakeMotionEffect(*recipe, p, from, to);
    case Family::kZoom:
      return MakeZoomEffect(*recipe, p, from, to);
    case Family::kPixelate:
      return MakePixelateEffect(*recipe, p, from, to);
    case Family::kFadeThroughColour:
      return MakeFadeEffect(*recipe, p, from, to);
    default:
      return MakeThresholdEffect(*recipe, p, from, to);
  }
}

}  // namespace vistel
