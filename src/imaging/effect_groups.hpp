// The groups of paint-effect codes: the eight ranges random effects draw
// from, each the codes base to base + span. Defined here only: the effect
// catalogue cuts each group into its families and checks, when it is
// compiled, that they cover the groups exactly.
#pragma once

#include <cstdint>

namespace vistel {

struct EffectGroup {
  std::int16_t base;
  std::int16_t span;
};
inline constexpr EffectGroup kEffectGroups[8] = {
    {2000, 554}, {4000, 29},  {5000, 263}, {6000, 525},
    {7000, 263}, {8000, 259}, {15000, 35}, {16000, 35},
};

}  // namespace vistel
