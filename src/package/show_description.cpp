#include "package/show_description.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/input_limits.hpp"
#include "base/text.hpp"
#include "package/fields.hpp"

namespace vistel {
namespace {

using Json = nlohmann::json;

unexpected<Error> Invalid(const std::string& where, const std::string& what) {
  return Fail(ErrorCode::InvalidPackage, where.empty() ? what : where + ": " + what);
}

std::string Child(const std::string& where, std::string_view key) {
  return where.empty() ? std::string(key) : where + "." + std::string(key);
}

std::string Element(std::string_view list, std::size_t index) {
  return std::string(list) + "[" + std::to_string(index) + "]";
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = AsciiLower(a.substr(i - 1, 1)) == AsciiLower(b.substr(j - 1, 1));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

unexpected<Error> UnknownKey(const std::string& where, std::string_view key,
                             const std::vector<std::string_view>& known) {
  constexpr std::size_t kMaxTypoEdits = 3;  // more is no longer a typo
  std::string message = "unknown key \"" + InputExcerpt(key) + "\"";
  std::string_view best;
  std::size_t bestDistance = kMaxTypoEdits + 1;
  for (std::string_view name : known) {
    // A key that much longer than a name is no typo of it, and comparing it
    // letter by letter would cost its length times the name's.
    if (key.size() > name.size() + kMaxTypoEdits) continue;
    const std::size_t d = EditDistance(key, name);
    if (d < bestDistance) {
      bestDistance = d;
      best = name;
    }
  }
  if (!best.empty()) message += " (did you mean \"" + std::string(best) + "\"?)";
  return Invalid(where, message);
}

std::string TypeName(const Json& value) {
  return value.type_name();
}

Result<std::int64_t> WholeNumber(const Json& value, const std::string& where) {
  if (value.is_number_unsigned()) {
    const auto n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return Invalid(where, "the number is too large");
    }
    return static_cast<std::int64_t>(n);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_number_float()) return Invalid(where, "expected a whole number, got a fraction");
  return Invalid(where, "expected a whole number, got " + TypeName(value));
}

// "#RRGGBB" as a COLORREF (0x00BBGGRR).
std::optional<std::int64_t> ColourFromHex(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  std::int64_t rgb = 0;
  for (char c : text.substr(1)) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    rgb = rgb * 16 + digit;
  }
  const std::int64_t red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
  return red | (green << 8) | (blue << 16);
}

bool IsColourField(std::string_view name) {
  return name.size() > 5 && name.substr(name.size() - 5) == "Color";
}

template <class Integer>
Result<Integer> IntegerField(const Json& value, std::string_view name, const std::string& where) {
  std::int64_t n = 0;
  if (value.is_string() && IsColourField(name)) {
    const auto colour = ColourFromHex(value.get<std::string>());
    if (!colour) return Invalid(where, "expected a colour number or \"#RRGGBB\"");
    n = *colour;
  } else {
    auto whole = WholeNumber(value, where);
    if (!whole) return Fail(whole.error());
    n = *whole;
  }
  constexpr auto lo = std::numeric_limits<Integer>::min();
  constexpr auto hi = std::numeric_limits<Integer>::max();
  if (n < lo || n > hi) {
    return Invalid(where, std::to_string(n) + " is outside " + std::to_string(lo) + " to " +
                              std::to_string(hi));
  }
  return static_cast<Integer>(n);
}

Result<float> SingleField(const Json& value, const std::string& where) {
  if (!value.is_number()) return Invalid(where, "expected a number, got " + TypeName(value));
  const double d = value.get<double>();
  const auto f = static_cast<float>(d);
  if (!std::isfinite(d) || !std::isfinite(f)) {
    return Invalid(where, "the number is beyond single precision");
  }
  return f;
}

Result<std::string> AnsiText(const Json& value, const std::string& where) {
  if (!value.is_string()) return Invalid(where, "expected a text, got " + TypeName(value));
  auto ansi = Utf8ToWindows1252(value.get<std::string>());
  if (!ansi) return Invalid(where, ansi.error().description);
  return *ansi;
}

// Line breaks in JSON are naturally "\n"; the caption's stored form is CR LF.
std::string CaptionLineBreaks(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Sets one record field from its JSON value, converted to the field's type.
template <class Record>
Status SetField(Record& record, const FieldMember<Record>& member, std::string_view name,
                const Json& value, const std::string& where) {
  return std::visit(
      [&](auto pointer) -> Status {
        auto& target = record.*pointer;
        using T = std::remove_cvref_t<decltype(target)>;
        if constexpr (std::is_same_v<T, std::string>) {
          auto text = AnsiText(value, where);
          if (!text) return Fail(text.error());
          target = name == "CaptionText" ? CaptionLineBreaks(*text) : std::move(*text);
        } else if constexpr (std::is_same_v<T, bool>) {
          if (!value.is_boolean()) {
            return Invalid(where, "expected true or false, got " + TypeName(value));
          }
          target = value.get<bool>();
        } else if constexpr (std::is_same_v<T, float>) {
          auto f = SingleField(value, where);
          if (!f) return Fail(f.error());
          target = *f;
        } else {
          auto n = IntegerField<T>(value, name, where);
          if (!n) return Fail(n.error());
          target = *n;
        }
        return {};
      },
      member);
}

template <class Table>
const auto* FindField(const Table& table, std::string_view name) {
  const auto it = std::find_if(table.begin(), table.end(),
                               [&](const auto& field) { return field.name == name; });
  return it == table.end() ? nullptr : &*it;
}

template <class Table>
std::vector<std::string_view> NamesOf(const Table& table, std::vector<std::string_view> extra) {
  for (const auto& field : table) extra.push_back(field.name);
  return extra;
}

Result<std::string> MediumPath(const Json& value, const std::string& where,
                               const std::filesystem::path& base) {
  if (!value.is_string() || value.get<std::string>().empty()) {
    return Invalid(where, "expected the path of a file");
  }
  // Paths stay in UTF-8: the native form on Linux.
  std::filesystem::path path(value.get<std::string>());
  if (path.is_relative()) path = base / path;
  return path.lexically_normal().string();
}

struct ScreenMedia {
  std::optional<std::string> background, image, video;
};

// The media of a screen decide the kind fields; explicit ones must agree.
Status ApplyScreenMedia(ScreenSettings& screen, const ScreenMedia& media,
                        const std::set<std::string, std::less<>>& given, const std::string& where) {
  auto explicitRange = [&](std::string_view medium, std::string_view position,
                           std::string_view length) -> Status {
    for (std::string_view field : {position, length}) {
      if (given.contains(field)) {
        return Invalid(where, std::string(field) + " is computed from \"" + std::string(medium) +
                                  "\"; give one or the other");
      }
    }
    return {};
  };
  if (media.background) {
    if (auto s = explicitRange("background", "BackgroundPosition", "BackgroundLength"); !s)
      return s;
    if (given.contains("BackgroundKind") && screen.BackgroundKind != 1) {
      return Invalid(where, "BackgroundKind " + std::to_string(screen.BackgroundKind) +
                                " would not show the \"background\" picture (it needs 1)");
    }
    screen.BackgroundKind = 1;
  }
  if (media.image && media.video) {
    return Invalid(where, "a screen shows either an \"image\" or a \"video\", not both");
  }
  if (media.image) {
    if (auto s = explicitRange("image", "ImagePosition", "ImageLength"); !s) return s;
    if (screen.ScreenKind != 0) {
      return Invalid(where, "ScreenKind " + std::to_string(screen.ScreenKind) +
                                " makes a video screen, which would not show the \"image\"");
    }
  }
  if (media.video) {
    if (auto s = explicitRange("video", "VideoPosition", "VideoLength"); !s) return s;
    if (given.contains("ScreenKind") && screen.ScreenKind == 0) {
      return Invalid(where,
                     "ScreenKind 0 makes an image screen, which would not play the \"video\"");
    }
    if (!given.contains("ScreenKind")) screen.ScreenKind = 1;
  }
  // Without its medium such a screen would show nothing, or stop the show.
  if (screen.BackgroundKind == 1 && !media.background && screen.BackgroundLength == 0) {
    return Invalid(where, "BackgroundKind 1 shows a background picture; give \"background\"");
  }
  if (screen.ScreenKind != 0 && !media.video && screen.VideoLength == 0) {
    return Invalid(where, "ScreenKind " + std::to_string(screen.ScreenKind) +
                              " makes a video screen; give \"video\"");
  }
  return {};
}

Status ParseScreen(const Json& object, std::size_t index, const std::filesystem::path& base,
                   PackagePlan& plan) {
  const std::string where = Element("screens", index);
  if (!object.is_object()) return Invalid(where, "expected an object, got " + TypeName(object));
  static const std::vector<std::string_view> known =
      NamesOf(kScreenFields, {"background", "image", "video"});
  ScreenSettings screen = DefaultScreenSettings();
  ScreenMedia media;
  std::set<std::string, std::less<>> given;
  for (const auto& [key, value] : object.items()) {
    const std::string place = Child(where, key);
    if (key == "background" || key == "image" || key == "video") {
      auto path = MediumPath(value, place, base);
      if (!path) return Fail(path.error());
      (key == "background" ? media.background : key == "image" ? media.image : media.video) = *path;
    } else if (const ScreenField* field = FindField(kScreenFields, key)) {
      if (auto s = SetField(screen, field->member, field->name, value, place); !s) return s;
      given.insert(key);
    } else {
      return UnknownKey(where, key, known);
    }
  }
  if (auto s = ApplyScreenMedia(screen, media, given, where); !s) return s;
  plan.package.Screens.push_back(std::move(screen));
  const std::pair<const std::optional<std::string>*, MediumSlot> slots[] = {
      {&media.background, MediumSlot::Background},
      {&media.image, MediumSlot::Image},
      {&media.video, MediumSlot::Video}};
  static constexpr std::string_view kKeys[] = {"background", "image", "video"};
  for (std::size_t i = 0; i < std::size(slots); ++i) {
    if (*slots[i].first) {
      plan.media.push_back({slots[i].second, index, **slots[i].first, Child(where, kKeys[i])});
    }
  }
  return {};
}

Status ParseTrack(const Json& object, std::size_t index, const std::filesystem::path& base,
                  PackagePlan& plan) {
  const std::string where = Element("tracks", index);
  if (!object.is_object()) return Invalid(where, "expected an object, got " + TypeName(object));
  static const std::vector<std::string_view> known = NamesOf(kAudioFields, {"file"});
  AudioTrack track;
  std::optional<std::string> file;
  std::set<std::string, std::less<>> given;
  for (const auto& [key, value] : object.items()) {
    const std::string place = Child(where, key);
    if (key == "file") {
      auto path = MediumPath(value, place, base);
      if (!path) return Fail(path.error());
      file = *path;
    } else if (const AudioField* field = FindField(kAudioFields, key)) {
      if (auto s = SetField(track, field->member, field->name, value, place); !s) return s;
      given.insert(key);
    } else {
      return UnknownKey(where, key, known);
    }
  }
  if (file) {
    for (std::string_view field : {"TrackPosition", "TrackLength"}) {
      if (given.contains(field)) {
        return Invalid(where,
                       std::string(field) + " is computed from \"file\"; give one or the other");
      }
    }
    if (!given.contains("TrackFileName")) {
      // The player names its temporary copy by this name's extension.
      const std::string name = std::filesystem::path(*file).filename().string();
      auto ansi = Utf8ToWindows1252(name);
      if (!ansi) {
        return Invalid(Child(where, "file"), "the file name cannot be written in Windows-1252 (" +
                                                 ansi.error().description +
                                                 "); give TrackFileName");
      }
      track.TrackFileName = *ansi;
    }
    plan.media.push_back({MediumSlot::Track, index, *file, Child(where, "file")});
  } else if (track.TrackLength == 0 && !(index == 0 && track.TrackFileName.empty())) {
    // Only a first track without a name has a meaning without bytes: no music.
    return Invalid(where, "give the track's \"file\"");
  }
  plan.package.AudioTracks.push_back(std::move(track));
  return {};
}

// JSON itself lets a key repeat (the last one wins); here that would hide a
// mistake, so the parse records every object's keys and flags a repeat.
//
// It also keeps the parse within what a show can need: the JSON nests only
// limits::kMaxJsonNesting deep, and holds no more values than one per field
// of the largest show a package holds, so that a few megabytes of "[" or
// "{}," cannot make a document of gigabytes. Past either, the parse stops.
class RepeatedKeyWatch {
 public:
  // How the parse was stopped.
  struct Stopped {
    std::string message;
  };

  bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
    if (++values_ > kMaxValues) {
      throw Stopped{"more than " + std::to_string(kMaxValues) +
                    " values; the largest show a package holds has fewer"};
    }
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (static_cast<std::size_t>(depth) >= limits::kMaxJsonNesting) {
          throw Stopped{"nested more than " + std::to_string(limits::kMaxJsonNesting) +
                        " levels deep"};
        }
        if (event == Json::parse_event_t::object_start) keys_.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        if (!keys_.empty()) keys_.pop_back();
        break;
      case Json::parse_event_t::key:
        if (!keys_.empty() && parsed.is_string() &&
            !keys_.back().insert(parsed.get<std::string>()).second && !repeated_) {
          repeated_ = parsed.get<std::string>();
        }
        break;
      default:
        break;
    }
    return true;
  }
  const std::optional<std::string>& Repeated() const { return repeated_; }

 private:
  // Every field of every screen and track, their media and their braces.
  static constexpr std::size_t kMaxValues =
      2 * (limits::kMaxScreens * (kScreenFields.size() + 4) +
           limits::kMaxTracks * (kAudioFields.size() + 2) + kGlobalFields.size() + 8);

  std::size_t values_ = 0;
  std::vector<std::set<std::string>> keys_;
  std::optional<std::string> repeated_;
};

}  // namespace

ScreenSettings DefaultScreenSettings() {
  ScreenSettings s;
  s.BackgroundColor = 0;          // black
  s.CaptionBackColor = 16777215;  // white box
  s.CaptionForeColor = 0;         // black text
  s.CaptionFontName = "Arial";
  s.CaptionFontSize = 12;
  s.CaptionPlacement = 4;  // bottom centre
  s.CaptionXDivisor = 2;
  s.CaptionYDivisor = 2;
  s.ImagePlacement = 0;  // centre
  s.ImageOptionColor = 16777215;
  s.EffectCode = 1000;  // plain repaint
  s.EffectParam1 = 1;
  s.EffectParam2 = 1000;
  s.EffectParam3 = 0;
  s.ImageSizing = 0;  // the picture's own size
  s.ImageScale = 100;
  s.ImageXDivisor = 2;
  s.ImageYDivisor = 2;
  s.EffectParam6 = 255;
  s.EffectParam7 = 16711680;
  s.EffectParam8 = 255;
  s.EffectParam9 = 16711680;
  s.EffectParam10 = 20;
  s.EffectParam11 = 10;
  s.EffectParam12 = 255;
  s.EffectParam13 = 1000;
  s.EffectParam14 = 0;
  s.DisplaySeconds = 5;
  s.CrossFadeParam = 16;
  s.VideoPlacement = 0;  // centre
  s.VideoSize = 3;       // the clip's own size
  s.VideoXDivisor = 2;
  s.VideoYDivisor = 2;
  return s;
}

Result<PackagePlan> ParseShowDescription(std::string_view json, std::string_view baseFolder) {
  RepeatedKeyWatch watch;
  Json root;
  try {
    root = Json::parse(json.begin(), json.end(), std::ref(watch), /*allow_exceptions=*/true,
                       /*ignore_comments=*/true);
  } catch (const Json::exception& e) {
    // A syntax error, or a number beyond double precision ("1e400": the
    // library throws another kind of error for it, which once ended
    // vistel-pack). what() starts with the library's own tag in brackets,
    // and may end with the whole bad token.
    std::string message = e.what();
    if (const auto close = message.find("] "); close != std::string::npos) {
      message.erase(0, close + 2);
    }
    for (std::string_view quoting : {"; last read: '", "number overflow parsing '"}) {
      const auto token = message.find(quoting);
      if (token == std::string::npos) continue;
      const std::size_t start = token + quoting.size();
      const std::size_t end = message.back() == '\'' ? message.size() - 1 : message.size();
      message = message.substr(0, start) +
                InputExcerpt(std::string_view(message).substr(start, end - start)) + "'";
    }
    return Invalid("", "not valid JSON: " + message);
  } catch (const RepeatedKeyWatch::Stopped& stopped) {
    return Invalid("", "not a show description: " + stopped.message);
  }
  if (watch.Repeated()) {
    return Invalid(
        "", "the key \"" + InputExcerpt(*watch.Repeated()) + "\" appears twice in one object");
  }
  if (!root.is_object()) return Invalid("", "expected an object at the top, got " + TypeName(root));

  const std::filesystem::path base(std::string{baseFolder});
  static const std::vector<std::string_view> known = NamesOf(kGlobalFields, {"tracks", "screens"});
  PackagePlan plan;
  for (const auto& [key, value] : root.items()) {
    if (key == "tracks" || key == "screens") continue;
    const GlobalField* field = FindField(kGlobalFields, key);
    if (!field) return UnknownKey("", key, known);
    if (auto s = SetField(plan.package.Global, field->member, field->name, value, key); !s) {
      return Fail(s.error());
    }
  }
  if (root.contains("tracks")) {
    const Json& tracks = root["tracks"];
    if (!tracks.is_array()) return Invalid("tracks", "expected an array, got " + TypeName(tracks));
    if (tracks.size() > limits::kMaxTracks) {
      return Invalid("tracks", std::to_string(tracks.size()) + " tracks; a package holds at most " +
                                   std::to_string(limits::kMaxTracks));
    }
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      if (auto s = ParseTrack(tracks[i], i, base, plan); !s) return Fail(s.error());
    }
  }
  if (!root.contains("screens"))
    return Invalid("", "\"screens\" is missing; a show needs at least one screen");
  const Json& screens = root["screens"];
  if (!screens.is_array()) return Invalid("screens", "expected an array, got " + TypeName(screens));
  if (screens.empty()) return Invalid("screens", "a show needs at least one screen");
  if (screens.size() > limits::kMaxScreens) {
    return Invalid("screens", std::to_string(screens.size()) +
                                  " screens; a package holds at most " +
                                  std::to_string(limits::kMaxScreens));
  }
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (auto s = ParseScreen(screens[i], i, base, plan); !s) return Fail(s.error());
  }
  // Screens' media first, then the music, whatever the order of the keys.
  std::stable_partition(plan.media.begin(), plan.media.end(),
                        [](const MediumSource& m) { return m.slot != MediumSlot::Track; });
  return plan;
}

}  // namespace vistel
