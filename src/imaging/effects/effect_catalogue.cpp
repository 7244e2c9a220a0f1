#include "imaging/effects/effect_catalogue.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>

#include "imaging/effect_groups.hpp"

namespace vistel::effects {
namespace {

// The code table. Each of the eight groups random effects draw from is cut
// into consecutive ranges, one family each. Within a range, offset v from
// its first code gives shape = v % shapes and level = v / shapes, so
// neighbouring codes always differ in shape (direction, form, anchor,
// colour) and later codes of a range scale the family's size parameter.
// What shape and level mean per family:
//   Wipe          8 shapes: direction E, W, S, N, SE, NW, SW, NE; level unused
//   SoftWipe      8 shapes: direction as Wipe; level: softness 12/25/40/60 %
//   Blinds        4 shapes: horizontal down/up, vertical right/left; level: bands 4+2*(l%8)
//   Checkerboard  4 shapes: across right/left, down, up; level: cells 4+2*(l%8)
//   Strips        4 shapes: horizontal, vertical, diagonal, anti-diagonal strips,
//                 alternate strips running opposite ways; level: strips 4+2*(l%8)
//   RandomBars    2 shapes: horizontal, vertical bars; level: bar thickness 1,2,4,8 px
//                 and the random order
//   Dissolve      2 shapes: pixels, blocks; level: block size and the random order
//   Iris          6 shapes: box out, box in, circle out, circle in, diamond out, diamond
//                 in ("out" opens from the centre, "in" closes from the edges);
//                 level: centre at the middle, then the four quarter points
//   BarnDoor      6 shapes: vertical doors open/close, horizontal open/close, four-way
//                 split open/close; level unused
//   ClockSweep    8 shapes: hand from 12, 3, 6, 9 o'clock, clockwise then counter-
//                 clockwise; level: 1, 2 or 4 hands (with several, the starts lie a
//                 quarter of the gap between hands apart)
//   RadialSweep   8 shapes: fan pivoting on the top-left, top-right, bottom-right,
//                 bottom-left corner, then the top, right, bottom, left edge's middle;
//                 level: odd levels sweep the other way
//   Spiral        8 shapes: from the top-left, top-right, bottom-right, bottom-left
//                 corner, clockwise then counter-clockwise, inward; level: odd levels
//                 run outward, level/2 scales the block size
//   Snake         8 shapes: rows from each corner, then columns from each corner;
//                 level scales the block size
//   Push/Cover/Reveal  8 shapes: direction as Wipe; level unused
//   Slide         4 shapes: horizontal slats, even ones from the left / from the right,
//                 vertical slats from the top / from the bottom, odd slats from the
//                 other side; level: slats 2+2*(l%8)
//   Zoom          10 shapes: new grows / old shrinks about the centre, then the same
//                 about the top-left, top-right, bottom-right, bottom-left corner;
//                 level unused
//   Pixelate      2 shapes: old pixelates out then new in / both pixelated and
//                 blended; level: largest block 2, 3, 4, 5 grains
//   FadeThroughColour  8 shapes: through colour 1, 2, 3, 4, black, white, colour 1
//                 then 2, colour 3 then 4; level: odd levels hold the colour a while
constexpr std::array kCodeRanges = {
    // Group 0: 2000-2554, edge and pattern wipes.
    CodeRange{2000, 2079, Family::kWipe, 8},
    CodeRange{2080, 2159, Family::kSoftWipe, 8},
    CodeRange{2160, 2239, Family::kBlinds, 4},
    CodeRange{2240, 2319, Family::kCheckerboard, 4},
    CodeRange{2320, 2399, Family::kStrips, 4},
    CodeRange{2400, 2479, Family::kRandomBars, 2},
    CodeRange{2480, 2554, Family::kDissolve, 2},
    // Group 1: 4000-4029, colour effects.
    CodeRange{4000, 4014, Family::kFadeThroughColour, 8},
    CodeRange{4015, 4029, Family::kPixelate, 2},
    // Group 2: 5000-5263, shapes opening from a centre line or point.
    CodeRange{5000, 5087, Family::kIris, 6},
    CodeRange{5088, 5175, Family::kBarnDoor, 6},
    CodeRange{5176, 5263, Family::kClockSweep, 8},
    // Group 3: 6000-6525, moving pictures.
    CodeRange{6000, 6131, Family::kPush, 8},
    CodeRange{6132, 6263, Family::kSlide, 4},
    CodeRange{6264, 6395, Family::kCover, 8},
    CodeRange{6396, 6525, Family::kReveal, 8},
    // Group 4: 7000-7263, block orders.
    CodeRange{7000, 7131, Family::kSpiral, 8},
    CodeRange{7132, 7263, Family::kSnake, 8},
    // Group 5: 8000-8259, scaling.
    CodeRange{8000, 8129, Family::kZoom, 10},
    CodeRange{8130, 8259, Family::kPixelate, 2},
    // Group 6: 15000-15035.
    CodeRange{15000, 15017, Family::kFadeThroughColour, 8},
    CodeRange{15018, 15035, Family::kDissolve, 2},
    // Group 7: 16000-16035.
    CodeRange{16000, 16017, Family::kRadialSweep, 8},
    CodeRange{16018, 16035, Family::kIris, 6},
};

// Each group is cut into consecutive ranges, in order, with no gap and no
// overlap, and no range lies outside the groups.
constexpr bool RangesCoverTheGroupsExactly() {
  std::size_t next = 0;
  for (const EffectGroup& group : kEffectGroups) {
    int expected = group.base;
    while (next < kCodeRanges.size() && kCodeRanges[next].first == expected) {
      if (kCodeRanges[next].last < kCodeRanges[next].first) return false;
      expected = kCodeRanges[next].last + 1;
      ++next;
    }
    if (expected != group.base + group.span + 1) return false;
  }
  return next == kCodeRanges.size();
}
static_assert(RangesCoverTheGroupsExactly(), "the code ranges must cut the effect groups exactly");

constexpr std::array<std::string_view, kFamilyCount> kFamilyNames = {
    "wipe",         "soft wipe", "blinds", "checkerboard", "strips",
    "random bars",  "dissolve",  "iris",   "barn door",    "clock sweep",
    "radial sweep", "spiral",    "snake",  "push",         "slide",
    "cover",        "reveal",    "zoom",   "pixelate",     "fade through colour"};

// The shapes of each family in shape order, as the comment above the code
// table describes them, and what the level changes.
struct FamilyWords {
  std::span<const std::string_view> shapes;
  std::string_view level;
};
constexpr std::string_view kDirections[] = {"E", "W", "S", "N", "SE", "NW", "SW", "NE"};
constexpr std::string_view kBlinds[] = {"horizontal down", "horizontal up", "vertical right",
                                        "vertical left"};
constexpr std::string_view kCheckerboard[] = {"across right", "across left", "down", "up"};
constexpr std::string_view kStrips[] = {"horizontal", "vertical", "diagonal", "anti-diagonal"};
constexpr std::string_view kBars[] = {"horizontal", "vertical"};
constexpr std::string_view kDissolve[] = {"pixels", "blocks"};
constexpr std::string_view kIris[] = {"box out",   "box in",      "circle out",
                                      "circle in", "diamond out", "diamond in"};
constexpr std::string_view kBarnDoor[] = {"vertical open",    "vertical close", "horizontal open",
                                          "horizontal close", "four-way open",  "four-way close"};
constexpr std::string_view kClock[] = {"from 12 cw",  "from 3 cw",  "from 6 cw",  "from 9 cw",
                                       "from 12 ccw", "from 3 ccw", "from 6 ccw", "from 9 ccw"};
constexpr std::string_view kRadial[] = {"TL corner", "TR corner",  "BR corner",   "BL corner",
                                        "top edge",  "right edge", "bottom edge", "left edge"};
constexpr std::string_view kSpiral[] = {"TL cw",  "TR cw",  "BR cw",  "BL cw",
                                        "TL ccw", "TR ccw", "BR ccw", "BL ccw"};
constexpr std::string_view kSnake[] = {"rows from TL",    "rows from TR",    "rows from BR",
                                       "rows from BL",    "columns from TL", "columns from TR",
                                       "columns from BR", "columns from BL"};
constexpr std::string_view kSlide[] = {"horizontal from left", "horizontal from right",
                                       "vertical from top", "vertical from bottom"};
constexpr std::string_view kZoom[] = {"grow centre", "shrink centre", "grow TL", "shrink TL",
                                      "grow TR",     "shrink TR",     "grow BR", "shrink BR",
                                      "grow BL",     "shrink BL"};
constexpr std::string_view kPixelate[] = {"out then in", "blended"};
constexpr std::string_view kFades[] = {"colour 1", "colour 2", "colour 3",      "colour 4",
                                       "black",    "white",    "colour 1 to 2", "colour 3 to 4"};

// In the order of Family.
constexpr std::array<FamilyWords, kFamilyCount> kFamilyWords = {{
    {kDirections, "-"},
    {kDirections, "softness 12, 25, 40, 60 %"},
    {kBlinds, "bands 4 + 2 x (level mod 8)"},
    {kCheckerboard, "cells 4 + 2 x (level mod 8)"},
    {kStrips, "strips 4 + 2 x (level mod 8)"},
    {kBars, "bar 1, 2, 4, 8 px; random order"},
    {kDissolve, "block size; random order"},
    {kIris, "centre: middle, then the quarter points"},
    {kBarnDoor, "-"},
    {kClock, "1, 2, 4 hands"},
    {kRadial, "odd: the other way"},
    {kSpiral, "odd: outward; level/2 scales blocks"},
    {kSnake, "scales blocks"},
    {kDirections, "-"},
    {kSlide, "slats 2 + 2 x (level mod 8)"},
    {kDirections, "-"},
    {kDirections, "-"},
    {kZoom, "-"},
    {kPixelate, "largest block 2 to 5 grains"},
    {kFades, "odd: hold the colour"},
}};

// Every range has as many shapes as its family has names.
constexpr bool ShapeNamesMatchTheRanges() {
  for (const CodeRange& range : kCodeRanges) {
    if (kFamilyWords[static_cast<std::size_t>(range.family)].shapes.size() !=
        static_cast<std::size_t>(range.shapes)) {
      return false;
    }
  }
  return true;
}
static_assert(ShapeNamesMatchTheRanges(), "every shape of every range needs its name");

}  // namespace

std::string_view FamilyName(Family family) {
  return kFamilyNames[static_cast<std::size_t>(family)];
}

std::span<const CodeRange> CodeRanges() {
  return kCodeRanges;
}

std::span<const std::string_view> ShapeNames(Family family) {
  return kFamilyWords[static_cast<std::size_t>(family)].shapes;
}

std::string_view LevelMeaning(Family family) {
  return kFamilyWords[static_cast<std::size_t>(family)].level;
}

std::optional<EffectRecipe> DescribeEffect(int code) {
  for (const CodeRange& range : kCodeRanges) {
    if (code >= range.first && code <= range.last) {
      const int offset = code - range.first;
      return EffectRecipe{range.family, offset % range.shapes, offset / range.shapes};
    }
  }
  return std::nullopt;
}

// The settings, by number (index + 1):
//   1  easing: 0 linear, 1 smooth start and end (what random effects use),
//      2 accelerating, 3 decelerating; other values linear
//   2  duration in milliseconds; 0 or less gives 1000, otherwise clamped to
//      250 .. 10000 (the plain repaint's 1000 thus means one second)
//   3  edge softness in percent of the effect's travel, 1 .. 100, for every
//      effect that reveals by a moving edge or an order (wipes, blinds,
//      irises, sweeps, dissolves, block orders); 0 keeps the family's own
//      (hard, except soft wipes)
//   4  seed of the random orders (dissolves, random bars); 0 is a fixed order
//   5  not used
//   6-9  colours 1 to 4 (COLORREF 0x00BBGGRR) for fades through a colour;
//      colour 1 also fills the corners a diagonal push leaves uncovered
//   10 extra bands for blinds, checkerboards, strips and slides, 0 .. 64
//      (random effects: 0 .. 15)
//   11 grain 1 .. 32 for block sizes (dissolve blocks, spirals, snakes,
//      pixelation): a block is grain/256 of the picture's shorter side times
//      a factor from the code's level; 0 or less gives 8 (random: 1 .. 16)
//   12-14 not used
EffectParameters ReadEffectSettings(const EffectSettings& settings) {
  const auto setting = [&](int number) { return settings[static_cast<std::size_t>(number - 1)]; };
  EffectParameters p;
  switch (setting(1)) {
    case 1:
      p.easing = Easing::kSmooth;
      break;
    case 2:
      p.easing = Easing::kAccelerate;
      break;
    case 3:
      p.easing = Easing::kDecelerate;
      break;
    default:
      p.easing = Easing::kLinear;
      break;
  }
  p.duration = setting(2) <= 0 ? kDefaultDuration
                               : std::clamp<Milliseconds>(setting(2), kMinDuration, kMaxDuration);
  const std::int32_t soft_percent = std::clamp(setting(3), 0, 100);
  p.softness = soft_percent * kFullProgress / 100;
  p.seed = static_cast<std::uint32_t>(setting(4));
  for (std::size_t i = 0; i < 4; ++i) {
    p.colours[i] = PixelFromColorRef(static_cast<ColorRef>(setting(static_cast<int>(i) + 6)));
  }
  p.extra_bands = std::clamp(setting(10), 0, 64);
  p.grain = setting(11) <= 0 ? 8 : std::min(setting(11), 32);
  return p;
}

std::int32_t ProgressAt(Milliseconds t, const EffectParameters& parameters) {
  if (t <= 0) return 0;
  if (t >= parameters.duration) return kFullProgress;
  const double x = static_cast<double>(t) / static_cast<double>(parameters.duration);
  double y = x;
  switch (parameters.easing) {
    case Easing::kLinear:
      break;
    case Easing::kSmooth:
      y = x * x * (3.0 - 2.0 * x);
      break;
    case Easing::kAccelerate:
      y = x * x;
      break;
    case Easing::kDecelerate:
      y = x * (2.0 - x);
      break;
  }
  // Every moment before the end stays short of full progress, so only the
  // end shows the finished picture.
  return std::clamp(static_cast<std::int32_t>(std::lround(y * kFullProgress)), 0,
                    kFullProgress - 1);
}

}  // namespace vistel::effects
