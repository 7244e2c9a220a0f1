// Effects that move or scale the pictures: push, slide, cover and reveal
// shift whole rows (one memcpy per row and picture), zoom resamples one
// picture by nearest neighbour through per-frame column and row maps.
#pragma once

#include <memory>

#include "imaging/effects/effect_catalogue.hpp"

namespace vistel::effects {

std::unique_ptr<EffectAnimation> MakeMotionEffect(const EffectRecipe& recipe,
                                                  const EffectParameters& p, const Image& from,
                                                  const Image& to);
std::unique_ptr<EffectAnimation> MakeZoomEffect(const EffectRecipe& recipe,
                                                const EffectParameters& p, const Image& from,
                                                const Image& to);

}  // namespace vistel::effects
