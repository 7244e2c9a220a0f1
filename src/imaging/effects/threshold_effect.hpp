// Effects that reveal the new picture by an order over its pixels: each
// pixel has a threshold 0 .. 65535 fixed at creation, and a frame shows the
// new pixel where the threshold lies below the progress. Wipes, blinds,
// checkerboards, strips, random bars, dissolves, irises, barn doors, sweeps,
// spirals and snakes are all such orders, so one kernel draws them all.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/effects/effect_catalogue.hpp"

namespace vistel::effects {

bool IsThresholdFamily(Family family);

// The thresholds of an order family for a picture of w x h, row by row.
std::vector<std::uint16_t> BuildThresholds(const EffectRecipe& recipe, const EffectParameters& p,
                                           int w, int h);

// Edge softness (0 .. 65536) that the family and settings give.
std::int32_t SoftnessOf(const EffectRecipe& recipe, const EffectParameters& p);

std::unique_ptr<EffectAnimation> MakeThresholdEffect(const EffectRecipe& recipe,
                                                     const EffectParameters& p, const Image& from,
                                                     const Image& to);

// Edge of the square blocks of block orders: grain/256 of the shorter side
// times factor, at least 2 pixels.
int BlockEdge(const EffectParameters& p, int factor, int w, int h);

}  // namespace vistel::effects
