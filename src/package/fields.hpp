// Where each record field lives in the configuration text: its line within a
// screen group, its field number (the section name is field 0) and its type.
// The reader, the writer and the inspector all work from these tables, so the
// layout is written down exactly once.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "package/records.hpp"

namespace vistel {

// Lines of a screen group, in file order.
enum class GroupLine : int { Global = 0, Background = 1, Image = 2, Video = 3, Caption = 4 };
inline constexpr int kGroupLineCount = 5;
inline constexpr std::array<std::string_view, kGroupLineCount> kGroupSectionNames = {
    "[SCREEN-GLOBAL]", "[SCREEN-BACKGROUND]", "[SCREEN-IMAGE]", "[SCREEN-VIDEO]",
    "[SCREEN-CAPTION]"};
// How many fields (section name excluded) a writer emits per line, including
// those the reader skips, so that every field keeps its number.
inline constexpr std::array<int, kGroupLineCount> kGroupFieldCounts = {1, 5, 28, 7, 11};

inline constexpr std::string_view kGlobalSection = "[GLOBAL]";
inline constexpr std::string_view kAudioSection = "[AUDIO-FILE]";
inline constexpr int kAudioFieldCount = 4;

template <class Record>
using FieldMember = std::variant<std::int32_t Record::*, std::int16_t Record::*, float Record::*,
                                 bool Record::*, std::string Record::*>;

struct ScreenField {
  std::string_view name;
  GroupLine line;
  int field;
  FieldMember<ScreenSettings> member;
};

struct AudioField {
  std::string_view name;
  int field;
  FieldMember<AudioTrack> member;
};

struct GlobalField {
  std::string_view name;
  int field;
  FieldMember<GlobalSettings> member;
};

// In declared order of the records.
inline const std::array<GlobalField, 6> kGlobalFields = {{
    {"PublisherName", 1, &GlobalSettings::PublisherName},
    {"SaverTitle", 2, &GlobalSettings::SaverTitle},
    {"WebsiteText", 3, &GlobalSettings::WebsiteText},
    {"RandomScreenOrder", 4, &GlobalSettings::RandomScreenOrder},
    {"RandomEffects", 5, &GlobalSettings::RandomEffects},
    {"RepeatAudio", 6, &GlobalSettings::RepeatAudio},
}};

inline const std::array<AudioField, 4> kAudioFields = {{
    {"TrackFileName", 3, &AudioTrack::TrackFileName},
    {"TrackExtra", 4, &AudioTrack::TrackExtra},
    {"TrackPosition", 2, &AudioTrack::TrackPosition},
    {"TrackLength", 1, &AudioTrack::TrackLength},
}};

inline const std::array<ScreenField, 49> kScreenFields = {{
    {"BackgroundColor", GroupLine::Background, 1, &ScreenSettings::BackgroundColor},
    {"BackgroundKind", GroupLine::Background, 2, &ScreenSettings::BackgroundKind},
    {"BackgroundPosition", GroupLine::Background, 4, &ScreenSettings::BackgroundPosition},
    {"BackgroundLength", GroupLine::Background, 3, &ScreenSettings::BackgroundLength},
    {"CaptionText", GroupLine::Caption, 3, &ScreenSettings::CaptionText},
    {"CaptionBold", GroupLine::Caption, 4, &ScreenSettings::CaptionBold},
    {"CaptionItalic", GroupLine::Caption, 6, &ScreenSettings::CaptionItalic},
    {"CaptionForeColor", GroupLine::Caption, 5, &ScreenSettings::CaptionForeColor},
    {"CaptionFontName", GroupLine::Caption, 7, &ScreenSettings::CaptionFontName},
    {"CaptionFontSize", GroupLine::Caption, 8, &ScreenSettings::CaptionFontSize},
    {"CaptionAppearance", GroupLine::Caption, 2, &ScreenSettings::CaptionAppearance},
    {"CaptionBackColor", GroupLine::Caption, 1, &ScreenSettings::CaptionBackColor},
    {"CaptionPlacement", GroupLine::Caption, 11, &ScreenSettings::CaptionPlacement},
    {"CaptionXDivisor", GroupLine::Caption, 9, &ScreenSettings::CaptionXDivisor},
    {"CaptionYDivisor", GroupLine::Caption, 10, &ScreenSettings::CaptionYDivisor},
    {"ImageBackColor", GroupLine::Image, 1, &ScreenSettings::ImageBackColor},
    {"ImagePlacement", GroupLine::Image, 4, &ScreenSettings::ImagePlacement},
    {"ImageOptionFlag", GroupLine::Image, 12, &ScreenSettings::ImageOptionFlag},
    {"ImageOptionColor", GroupLine::Image, 13, &ScreenSettings::ImageOptionColor},
    {"EffectCode", GroupLine::Image, 5, &ScreenSettings::EffectCode},
    {"EffectParam1", GroupLine::Image, 6, &ScreenSettings::EffectParam1},
    {"ImageSizing", GroupLine::Image, 16, &ScreenSettings::ImageSizing},
    {"ImageScale", GroupLine::Image, 7, &ScreenSettings::ImageScale},
    {"EffectParam2", GroupLine::Image, 10, &ScreenSettings::EffectParam2},
    {"EffectParam3", GroupLine::Image, 11, &ScreenSettings::EffectParam3},
    {"EffectParam4", GroupLine::Image, 14, &ScreenSettings::EffectParam4},
    {"EffectParam5", GroupLine::Image, 15, &ScreenSettings::EffectParam5},
    {"ImageXDivisor", GroupLine::Image, 8, &ScreenSettings::ImageXDivisor},
    {"ImageYDivisor", GroupLine::Image, 9, &ScreenSettings::ImageYDivisor},
    {"ImagePosition", GroupLine::Image, 3, &ScreenSettings::ImagePosition},
    {"ImageLength", GroupLine::Image, 2, &ScreenSettings::ImageLength},
    {"EffectParam6", GroupLine::Image, 17, &ScreenSettings::EffectParam6},
    {"EffectParam7", GroupLine::Image, 18, &ScreenSettings::EffectParam7},
    {"EffectParam8", GroupLine::Image, 19, &ScreenSettings::EffectParam8},
    {"EffectParam9", GroupLine::Image, 20, &ScreenSettings::EffectParam9},
    {"EffectParam10", GroupLine::Image, 21, &ScreenSettings::EffectParam10},
    {"EffectParam11", GroupLine::Image, 22, &ScreenSettings::EffectParam11},
    {"EffectParam12", GroupLine::Image, 23, &ScreenSettings::EffectParam12},
    {"EffectParam13", GroupLine::Image, 24, &ScreenSettings::EffectParam13},
    {"EffectParam14", GroupLine::Image, 25, &ScreenSettings::EffectParam14},
    {"DisplaySeconds", GroupLine::Image, 26, &ScreenSettings::DisplaySeconds},
    {"CrossFadeParam", GroupLine::Image, 28, &ScreenSettings::CrossFadeParam},
    {"VideoPlacement", GroupLine::Video, 5, &ScreenSettings::VideoPlacement},
    {"VideoSize", GroupLine::Video, 6, &ScreenSettings::VideoSize},
    {"VideoXDivisor", GroupLine::Video, 1, &ScreenSettings::VideoXDivisor},
    {"VideoYDivisor", GroupLine::Video, 2, &ScreenSettings::VideoYDivisor},
    {"VideoPosition", GroupLine::Video, 4, &ScreenSettings::VideoPosition},
    {"VideoLength", GroupLine::Video, 3, &ScreenSettings::VideoLength},
    {"ScreenKind", GroupLine::Global, 1, &ScreenSettings::ScreenKind},
}};

}  // namespace vistel
