#include "package/show_description_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/text.hpp"
#include "package/fields.hpp"
#include "package/show_description.hpp"

namespace vistel {
namespace {

using Json = nlohmann::ordered_json;

unexpected<Error> Unwritable(const std::string& where, const std::string& what) {
  return Fail(ErrorCode::InvalidPackage, where + ": " + what);
}

// The shortest decimal that reads back as the same Single ("1.15", not
// "1.149999976158142"), as a JSON number; JSON has none for infinities.
Result<Json> SingleNumber(float value, const std::string& where) {
  if (!std::isfinite(value)) return Unwritable(where, "the number is not finite");
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return Json::parse(std::string(digits, end));
}

bool IsColourField(std::string_view name) {
  return name.size() > 5 && name.substr(name.size() - 5) == "Color";
}

// "#RRGGBB" from a COLORREF (0x00BBGGRR), when it holds nothing else.
std::optional<std::string> HexColour(std::int32_t value) {
  if (value < 0 || value > 0xFFFFFF) return std::nullopt;
  static constexpr char kHex[] = "0123456789ABCDEF";
  const int rgb[3] = {value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF};
  std::string text = "#";
  for (int channel : rgb) {
    text += kHex[channel >> 4];
    text += kHex[channel & 0xF];
  }
  return text;
}

// CR LF, the stored line break of a caption, is "\n" in a description; a CR
// alone has no way back in.
Result<std::string> CaptionForDescription(const std::string& stored, const std::string& where) {
  std::string text;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '\r') {
      if (i + 1 >= stored.size() || stored[i + 1] != '\n') {
        return Unwritable(where, "a CR without LF cannot be written");
      }
      continue;
    }
    text.push_back(stored[i]);
  }
  return text;
}

template <class Record>
Result<Json> FieldValue(const Record& record, const FieldMember<Record>& member,
                        std::string_view name, const std::string& where) {
  return std::visit(
      [&](auto pointer) -> Result<Json> {
        const auto& value = record.*pointer;
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::string>) {
          if (name != "CaptionText") return Json(Windows1252ToUtf8(value));
          auto text = CaptionForDescription(value, where);
          if (!text) return Fail(text.error());
          return Json(Windows1252ToUtf8(*text));
        } else if constexpr (std::is_same_v<T, float>) {
          return SingleNumber(value, where);
        } else if constexpr (std::is_same_v<T, bool>) {
          return Json(value);
        } else {
          if (IsColourField(name)) {
            if (auto hex = HexColour(value)) return Json(*hex);
          }
          return Json(value);
        }
      },
      member);
}

template <class Record>
bool SameField(const Record& a, const Record& b, const FieldMember<Record>& member) {
  return std::visit([&](auto pointer) { return a.*pointer == b.*pointer; }, member);
}

// Media paths as the description names them: relative to its folder when
// they lie under it.
std::string DescriptionPath(const std::string& path, const std::filesystem::path& base) {
  const std::filesystem::path file(path);
  const std::filesystem::path relative = file.lexically_relative(base);
  if (!relative.empty() && *relative.begin() != "..") return relative.generic_string();
  return file.generic_string();
}

const MediumSource* MediumOf(const PackagePlan& plan, MediumSlot slot, std::size_t index) {
  for (const MediumSource& medium : plan.media) {
    if (medium.slot == slot && medium.index == index) return &medium;
  }
  return nullptr;
}

}  // namespace

Result<std::string> WriteShowDescription(const PackagePlan& plan, std::string_view baseFolder) {
  const std::filesystem::path base =
      std::filesystem::path(std::string(baseFolder)).lexically_normal();
  const Package& package = plan.package;
  Json root = Json::object();
  for (const GlobalField& field : kGlobalFields) {
    auto value = FieldValue(package.Global, field.member, field.name, std::string(field.name));
    if (!value) return Fail(value.error());
    root[std::string(field.name)] = *value;
  }

  Json tracks = Json::array();
  for (std::size_t i = 0; i < package.AudioTracks.size(); ++i) {
    const AudioTrack& track = package.AudioTracks[i];
    const std::string where = "tracks[" + std::to_string(i) + "]";
    const MediumSource* medium = MediumOf(plan, MediumSlot::Track, i);
    Json object = Json::object();
    if (medium != nullptr) {
      object["file"] = DescriptionPath(medium->path, base);
    } else if (track.TrackLength != 0) {
      return Unwritable(where, "a track is written with its file");
    }
    const AudioTrack none;
    for (const AudioField& field : kAudioFields) {
      const bool ranged = field.name == "TrackPosition" || field.name == "TrackLength";
      if (ranged || SameField(track, none, field.member)) continue;
      // The file's own name is what the reader takes by default.
      if (field.name == "TrackFileName" && medium != nullptr &&
          track.TrackFileName == std::filesystem::path(medium->path).filename().string()) {
        continue;
      }
      auto value =
          FieldValue(track, field.member, field.name, where + "." + std::string(field.name));
      if (!value) return Fail(value.error());
      object[std::string(field.name)] = *value;
    }
    tracks.push_back(std::move(object));
  }
  if (!tracks.empty()) root["tracks"] = std::move(tracks);

  Json screens = Json::array();
  const ScreenSettings defaults = DefaultScreenSettings();
  for (std::size_t i = 0; i < package.Screens.size(); ++i) {
    const ScreenSettings& screen = package.Screens[i];
    const std::string where = "screens[" + std::to_string(i) + "]";
    Json object = Json::object();
    // The fields each medium decides, which the description leaves out.
    struct Slot {
      MediumSlot slot;
      const char* key;
      std::string_view position, length;
    };
    static constexpr Slot kSlots[] = {
        {MediumSlot::Background, "background", "BackgroundPosition", "BackgroundLength"},
        {MediumSlot::Image, "image", "ImagePosition", "ImageLength"},
        {MediumSlot::Video, "video", "VideoPosition", "VideoLength"}};
    std::vector<std::string_view> decided;
    for (const Slot& slot : kSlots) {
      const MediumSource* medium = MediumOf(plan, slot.slot, i);
      if (medium == nullptr) continue;
      object[slot.key] = DescriptionPath(medium->path, base);
      decided.insert(decided.end(), {slot.position, slot.length});
      if (slot.slot == MediumSlot::Background && screen.BackgroundKind == 1) {
        decided.push_back("BackgroundKind");
      }
      if (slot.slot == MediumSlot::Video && screen.ScreenKind == 1) decided.push_back("ScreenKind");
    }
    for (const ScreenField& field : kScreenFields) {
      if (std::find(decided.begin(), decided.end(), field.name) != decided.end()) continue;
      if (SameField(screen, defaults, field.member)) continue;
      const bool ranged = field.name.ends_with("Position") || field.name.ends_with("Length");
      if (ranged) return Unwritable(where, "media ranges are written with their files");
      auto value =
          FieldValue(screen, field.member, field.name, where + "." + std::string(field.name));
      if (!value) return Fail(value.error());
      object[std::string(field.name)] = *value;
    }
    screens.push_back(std::move(object));
  }
  root["screens"] = std::move(screens);
  return root.dump(2) + "\n";
}

}  // namespace vistel
