// The paint-effect catalogue: which transition an effect code names, and what
// the fourteen effect settings mean. Both live in effect_catalogue.cpp, the
// one place that defines them (docs/paint-effects.md describes them for
// authors).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/image.hpp"
#include "imaging/paint_effect.hpp"
#include "runtime/events.hpp"

namespace vistel::effects {

enum class Family {
  kWipe,
  kSoftWipe,
  kBlinds,
  kCheckerboard,
  kStrips,
  kRandomBars,
  kDissolve,
  kIris,
  kBarnDoor,
  kClockSweep,
  kRadialSweep,
  kSpiral,
  kSnake,
  kPush,
  kSlide,
  kCover,
  kReveal,
  kZoom,
  kPixelate,
  kFadeThroughColour,
};
inline constexpr int kFamilyCount = 20;

std::string_view FamilyName(Family family);

// What a code names: its family, its shape within the family (direction,
// iris form, anchor ...; neighbouring codes always differ in shape) and a
// level that scales the family's size parameter (band count, block size,
// softness) as the code runs on through the family's range.
struct EffectRecipe {
  Family family;
  int shape;
  int level;
};

// Null for codes outside the effect groups, and for the plain repaint.
std::optional<EffectRecipe> DescribeEffect(int code);

// One range of the code table: codes first .. last (both included) name
// `family`, with `shapes` shapes cycling through the range.
struct CodeRange {
  int first;
  int last;
  Family family;
  int shapes;
};
// Every range, in code order; together they cover the effect groups exactly.
std::span<const CodeRange> CodeRanges();

// What the shapes of a family are, in shape order (as many as the family's
// ranges have shapes), and what its level changes: the words authors see in
// the tool's effect list and on contact sheets.
std::span<const std::string_view> ShapeNames(Family family);
std::string_view LevelMeaning(Family family);

// How a moment of the effect's time maps onto its progress.
enum class Easing { kLinear, kSmooth, kAccelerate, kDecelerate };

// The settings as the effects use them, defaults applied and clamped.
struct EffectParameters {
  Milliseconds duration = 1000;
  Easing easing = Easing::kLinear;
  // Edge softness as a share of the effect's travel, 0 .. 65536 (0: the
  // family's own softness).
  std::int32_t softness = 0;
  std::uint32_t seed = 0;
  // Added to the bands of banded families.
  int extra_bands = 0;
  // Grain 1 .. 32: block sizes scale with it.
  int grain = 8;
  Pixel colours[4] = {0, 0, 0, 0};
};

inline constexpr Milliseconds kDefaultDuration = 1000;
inline constexpr Milliseconds kMinDuration = 250;
inline constexpr Milliseconds kMaxDuration = 10000;

EffectParameters ReadEffectSettings(const EffectSettings& settings);

// Progress 0 .. 65536 at time t of an effect of the given parameters; 0 at
// and before the start, exactly 65536 at and after the end, never
// decreasing in between.
std::int32_t ProgressAt(Milliseconds t, const EffectParameters& parameters);
inline constexpr std::int32_t kFullProgress = 65536;

}  // namespace vistel::effects
