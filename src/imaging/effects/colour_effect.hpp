// Effects that change the pictures' pixels rather than their place:
// pixelation (blocks of one colour that grow, then shrink) and fades
// through one or two colours.
#pragma once

#include <memory>

#include "imaging/effects/effect_catalogue.hpp"

namespace vistel::effects {

std::unique_ptr<EffectAnimation> MakePixelateEffect(const EffectRecipe& recipe,
                                                    const EffectParameters& p, const Image& from,
                                                    const Image& to);
std::unique_ptr<EffectAnimation> MakeFadeEffect(const EffectRecipe& recipe,
                                                const EffectParameters& p, const Image& from,
                                                const Image& to);

}  // namespace vistel::effects
