// The values the player does something sensible with, field by field, and
// what it does with the others. vistel-pack build refuses a value outside
// its range; vistel-pack check, which must still inspect old packages, warns.
// docs/show-format.md describes the same table for authors.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "package/records.hpp"

namespace vistel {

// How a field's valid values are told apart.
enum class RangeKind {
  Between,     // min to max, both included
  AboveZero,   // any finite number above 0
  Divisor,     // 1 or more: a placement divisor, whose edge is then on the screen
  EffectCode,  // -100, 1000 or a code of the paint-effect groups
};

struct FieldRange {
  std::string_view field;  // the ScreenSettings field
  RangeKind kind = RangeKind::Between;
  double min = 0;
  double max = 0;
  // When the player reads the field at all (an image screen's placement
  // only matters when it has a picture); "" for always.
  std::string_view appliesWhen;
  bool (*applies)(const ScreenSettings&, const GlobalSettings&) = nullptr;
  // What the player does with a value below the range, and above it (for a
  // divisor: with 0, and with any other value below 1).
  std::string_view belowMeans;
  std::string_view aboveMeans;
};

// Every range, in the order of the screen's lines.
std::span<const FieldRange> FieldRanges();

// "0 to 4", "above 0", "1 or more", "-100, 1000 or a paint-effect code".
std::string DescribeValidValues(const FieldRange& range);

// A field outside its range on one screen.
struct RangeFinding {
  std::size_t screen = 0;  // index from 0
  std::string_view field;
  RangeKind kind = RangeKind::Between;
  std::string value;  // as the field holds it
  std::string valid;  // DescribeValidValues
  std::string consequence;
};

// Every field of every screen that the player reads and that lies outside
// its range.
std::vector<RangeFinding> CheckFieldRanges(const Package& package);

// "9 is outside the range 0 to 4; the player shows ...": the value and what the
// player does with it, for a message that names the field its own way.
std::string DescribeRangeValue(const RangeFinding& finding);
// "ImageSizing 9 is outside the range 0 to 4; ...". Without the screen: the callers
// name it in their own way.
std::string DescribeRangeFinding(const RangeFinding& finding);

// Settings the player ignores as the show is set: with RandomEffects on,
// every screen's own transition (EffectCode, CrossFadeParam). One text per
// finding; empty when there is none.
std::vector<std::string> IgnoredSettingWarnings(const Package& package);

}  // namespace vistel
