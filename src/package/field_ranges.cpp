#include "package/field_ranges.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <type_traits>
#include <variant>

#include "imaging/effect_groups.hpp"
#include "package/fields.hpp"
#include "package/writer.hpp"

namespace vistel {
namespace {

constexpr std::int16_t kCrossFade = -100;
constexpr std::int16_t kPlainRepaint = 1000;

bool Always(const ScreenSettings&, const GlobalSettings&) {
  return true;
}
bool PlainBackground(const ScreenSettings& s, const GlobalSettings&) {
  return s.BackgroundKind != 1;
}
bool ImageScreen(const ScreenSettings& s, const GlobalSettings&) {
  return s.ScreenKind == 0;
}
bool ShowsPicture(const ScreenSettings& s, const GlobalSettings&) {
  return s.ScreenKind == 0 && s.ImageLength != 0;
}
bool PictureAtDivisors(const ScreenSettings& s, const GlobalSettings& g) {
  return ShowsPicture(s, g) && s.ImagePlacement == 9;
}
bool PictureZoomed(const ScreenSettings& s, const GlobalSettings& g) {
  return ShowsPicture(s, g) && s.ImageSizing == 4;
}
bool ShowsClip(const ScreenSettings& s, const GlobalSettings&) {
  return s.ScreenKind != 0 && s.VideoLength != 0;
}
bool ClipAtDivisors(const ScreenSettings& s, const GlobalSettings& g) {
  return ShowsClip(s, g) && s.VideoPlacement == 9;
}
bool ShowsCaption(const ScreenSettings& s, const GlobalSettings&) {
  return !s.CaptionText.empty();
}
bool CaptionAtDivisors(const ScreenSettings& s, const GlobalSettings& g) {
  return ShowsCaption(s, g) && s.CaptionPlacement == 9;
}
bool OwnTransition(const ScreenSettings&, const GlobalSettings& g) {
  return !g.RandomEffects;
}
bool CrossFades(const ScreenSettings& s, const GlobalSettings& g) {
  return !g.RandomEffects && s.EffectCode == kCrossFade && s.ScreenKind == 0;
}

constexpr double kMaxColour = 16777215;  // 0x00FFFFFF
constexpr std::string_view kColourBytes =
    "the player uses only the low three bytes (red, green, blue) and ignores the rest";
// The screen timer counts whole milliseconds in 32 bits.
constexpr double kMaxDisplaySeconds = 2147483.647;
constexpr std::string_view kKeepsInterval =
    "the player keeps the previous screen's interval; on the first screen, or after a video "
    "screen, that is none and the show never moves on";
// One frame a step, blended in wide arithmetic: any count the field holds
// fades to the end (above 255 steps the shades repeat and the fade is only
// slower, which a long fade may want).
constexpr double kMaxCrossFadeSteps = 32767;
// A divisor below 1 (0 aside) puts the edge past the far side of the screen,
// a negative one past the near side: an author never means that.
constexpr std::string_view kOffScreen =
    "the player puts that edge beyond the side of the screen: what it places is cut off or not "
    "seen at all";
// The window system's largest font size, as the caption box takes it.
constexpr double kMaxCaptionPoints = 2160;

const FieldRange kRanges[] = {
    {"ScreenKind", RangeKind::Between, 0, 1, "", Always, "",
     "the player prepares the screen's clip but never starts it; the screen stays for its "
     "DisplaySeconds instead"},
    {"BackgroundColor", RangeKind::Between, 0, kMaxColour, "BackgroundKind is not 1",
     PlainBackground, kColourBytes, kColourBytes},
    {"DisplaySeconds", RangeKind::Between, 0, kMaxDisplaySeconds, "image screens", ImageScreen,
     kKeepsInterval, kKeepsInterval},
    {"ImageBackColor", RangeKind::Between, 0, kMaxColour, "the screen shows a picture",
     ShowsPicture, kColourBytes, kColourBytes},
    {"ImagePlacement", RangeKind::Between, 0, 9, "the screen shows a picture", ShowsPicture,
     "the player leaves the picture where the previous image screen put it (the top-left "
     "corner for the first)",
     "the player leaves the picture where the previous image screen put it (the top-left "
     "corner for the first)"},
    {"ImageSizing", RangeKind::Between, 0, 4, "the screen shows a picture", ShowsPicture,
     "the player shows the picture as sizing 0, at its own size",
     "the player shows the picture as sizing 0, at its own size"},
    {"ImageScale", RangeKind::AboveZero, 0, 0, "ImageSizing is 4", PictureZoomed,
     "the player keeps a zoom of 100 percent", "the player keeps a zoom of 100 percent"},
    {"ImageXDivisor", RangeKind::Divisor, 0, 0, "ImagePlacement is 9", PictureAtDivisors,
     "the player leaves the picture's left edge where the previous image screen put it",
     kOffScreen},
    {"ImageYDivisor", RangeKind::Divisor, 0, 0, "ImagePlacement is 9", PictureAtDivisors,
     "the player leaves the picture's top edge where the previous image screen put it", kOffScreen},
    {"EffectCode", RangeKind::EffectCode, 0, 0, "RandomEffects is off", OwnTransition,
     "the player shows the screen at once, as the plain repaint 1000 does",
     "the player shows the screen at once, as the plain repaint 1000 does"},
    {"CrossFadeParam", RangeKind::Between, 1, kMaxCrossFadeSteps,
     "EffectCode is -100 on an image screen", CrossFades,
     "the player shows the screen at once, without a fade", ""},
    {"VideoPlacement", RangeKind::Between, 0, 9, "the screen plays a clip", ShowsClip,
     "the player leaves the clip where the previous video screen put it",
     "the player leaves the clip where the previous video screen put it"},
    {"VideoSize", RangeKind::Between, 0, 7, "the screen plays a clip", ShowsClip,
     "the player shows the clip at its own size, as size 3",
     "the player shows the clip at its own size, as size 3"},
    {"VideoXDivisor", RangeKind::Divisor, 0, 0, "VideoPlacement is 9", ClipAtDivisors,
     "the player leaves the clip's left edge where the previous video screen put it", kOffScreen},
    {"VideoYDivisor", RangeKind::Divisor, 0, 0, "VideoPlacement is 9", ClipAtDivisors,
     "the player leaves the clip's top edge where the previous video screen put it", kOffScreen},
    {"CaptionPlacement", RangeKind::Between, -1, 9, "the screen has a CaptionText", ShowsCaption,
     "the player leaves the caption where the previous caption was, as -1 does",
     "the player leaves the caption where the previous caption was, as -1 does"},
    {"CaptionXDivisor", RangeKind::Divisor, 0, 0, "CaptionPlacement is 9", CaptionAtDivisors,
     "the player leaves the caption's left edge where the previous caption was", kOffScreen},
    {"CaptionYDivisor", RangeKind::Divisor, 0, 0, "CaptionPlacement is 9", CaptionAtDivisors,
     "the player leaves the caption's top edge where the previous caption was", kOffScreen},
    {"CaptionAppearance", RangeKind::Between, 0, 1, "the screen has a CaptionText", ShowsCaption,
     "the player keeps the previous caption's appearance (flat for the first)",
     "the player keeps the previous caption's appearance (flat for the first)"},
    {"CaptionFontSize", RangeKind::Between, 1, kMaxCaptionPoints, "the screen has a CaptionText",
     ShowsCaption, "the player keeps the previous caption's size (8.25 points for the first)",
     "the player keeps the previous caption's size (8.25 points for the first)"},
    {"CaptionForeColor", RangeKind::Between, 0, kMaxColour, "the screen has a CaptionText",
     ShowsCaption, kColourBytes, kColourBytes},
    {"CaptionBackColor", RangeKind::Between, 0, kMaxColour, "the screen has a CaptionText",
     ShowsCaption, kColourBytes, kColourBytes},
};

bool IsPaintEffectCode(double code) {
  return std::any_of(std::begin(kEffectGroups), std::end(kEffectGroups),
                     [&](EffectGroup g) { return code >= g.base && code <= g.base + g.span; });
}

struct FieldValue {
  double number = 0;
  std::string text;
};

// The numeric value of a field, and its text as the configuration writes it.
FieldValue ValueOf(const ScreenSettings& screen, std::string_view field) {
  const auto it = std::find_if(kScreenFields.begin(), kScreenFields.end(),
                               [&](const ScreenField& f) { return f.name == field; });
  FieldValue value;
  if (it == kScreenFields.end()) return value;
  std::visit(
      [&](auto member) {
        const auto& v = screen.*member;
        using T = std::remove_cvref_t<decltype(v)>;
        if constexpr (std::is_same_v<T, float>) {
          value.number = static_cast<double>(v);
          value.text = FormatSingle(v);
        } else if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
          value.number = static_cast<double>(v);
          value.text = std::to_string(v);
        }
      },
      it->member);
  return value;
}

enum class Verdict { Valid, Below, Above };

Verdict Judge(const FieldRange& range, double v) {
  if (!std::isfinite(v)) return Verdict::Above;
  switch (range.kind) {
    case RangeKind::Between:
      return v < range.min ? Verdict::Below : v > range.max ? Verdict::Above : Verdict::Valid;
    case RangeKind::AboveZero:
      return v > 0 ? Verdict::Valid : Verdict::Below;
    case RangeKind::Divisor:  // 0 means "stay"; the rest below 1 is off screen
      return v >= 1 ? Verdict::Valid : v == 0 ? Verdict::Below : Verdict::Above;
    case RangeKind::EffectCode:
      return v == kCrossFade || v == kPlainRepaint || IsPaintEffectCode(v) ? Verdict::Valid
                                                                           : Verdict::Below;
  }
  return Verdict::Valid;
}

std::string Number(double v) {
  std::array<char, 32> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), v).ptr;
  return std::string(text.data(), end);
}

}  // namespace

std::span<const FieldRange> FieldRanges() {
  return kRanges;
}

std::string DescribeValidValues(const FieldRange& range) {
  switch (range.kind) {
    case RangeKind::Between:
      return Number(range.min) + " to " + Number(range.max);
    case RangeKind::AboveZero:
      return "above 0";
    case RangeKind::Divisor:
      return "1 or more";
    case RangeKind::EffectCode: {
      std::string text = "-100 (cross-fade), 1000 (plain) or a paint-effect code (";
      for (std::size_t i = 0; i < std::size(kEffectGroups); ++i) {
        const EffectGroup g = kEffectGroups[i];
        if (i > 0) text += ", ";
        text += std::to_string(g.base) + "-" + std::to_string(g.base + g.span);
      }
      return text + ")";
    }
  }
  return "";
}

std::vector<RangeFinding> CheckFieldRanges(const Package& package) {
  std::vector<RangeFinding> findings;
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    const ScreenSettings& screen = package.Screens[i];
    for (const FieldRange& range : kRanges) {
      if (!range.applies(screen, package.Global)) continue;
      const FieldValue value = ValueOf(screen, range.field);
      const Verdict verdict = Judge(range, value.number);
      if (verdict == Verdict::Valid) continue;
      findings.push_back(
          {i, range.field, range.kind, value.text, DescribeValidValues(range),
           std::string(verdict == Verdict::Below || range.aboveMeans.empty() ? range.belowMeans
                                                                             : range.aboveMeans)});
    }
  }
  return findings;
}

std::string DescribeRangeValue(const RangeFinding& finding) {
  std::string judged;
  switch (finding.kind) {
    case RangeKind::Between:
      judged = " is outside the range ";
      break;
    case RangeKind::EffectCode:
      judged = " is not one of ";
      break;
    case RangeKind::AboveZero:
      judged = " is not ";
      break;
    case RangeKind::Divisor:
      if (finding.value == "0") return finding.value + " divides by zero; " + finding.consequence;
      judged = " is not ";
      break;
  }
  return finding.value + judged + finding.valid + "; " + finding.consequence;
}

std::string DescribeRangeFinding(const RangeFinding& finding) {
  return std::string(finding.field) + " " + DescribeRangeValue(finding);
}

std::vector<std::string> IgnoredSettingWarnings(const Package& package) {
  std::vector<std::string> warnings;
  if (!package.Global.RandomEffects) return warnings;
  std::string screens;
  std::size_t count = 0;
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    if (package.Screens[i].EffectCode == kPlainRepaint) continue;
    if (count++ < 10) screens += (screens.empty() ? "" : ", ") + std::to_string(i);
  }
  if (count == 0) return warnings;
  if (count > 10) screens += " and " + std::to_string(count - 10) + " more";
  warnings.push_back(
      "RandomEffects is on, so the player ignores every screen's own EffectCode and "
      "CrossFadeParam and picks a random paint effect instead (never a cross-fade); " +
      std::string(count == 1 ? "screen " : "screens ") + screens +
      " set one. Turn RandomEffects off to keep them");
  return warnings;
}

}  // namespace vistel
