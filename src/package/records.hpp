// The show as a package describes it: the [GLOBAL] settings, the audio
// tracks and the screens. Field names and types are those of the stored
// format; ANSI texts are kept as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistel {

struct AudioTrack {
  std::string TrackFileName;   // [AUDIO-FILE] field 3
  std::int32_t TrackExtra = 0;     // field 4; stored, never read
  std::int32_t TrackPosition = 0;  // field 2; 1-based position in the package
  std::int32_t TrackLength = 0;    // field 1
};

struct ScreenSettings {
  std::int32_t BackgroundColor = 0;
  std::int16_t BackgroundKind = 0;
  std::int32_t BackgroundPosition = 0;
  std::int32_t BackgroundLength = 0;
  std::string CaptionText;
  std::int32_t CaptionBold = 0;
  std::int32_t CaptionItalic = 0;
  std::int32_t CaptionForeColor = 0;
  std::string CaptionFontName;
  std::int16_t CaptionFontSize = 0;
  std::int32_t CaptionAppearance = 0;
  std::int32_t CaptionBackColor = 0;
  std::int32_t CaptionPlacement = 0;
  float CaptionXDivisor = 0;
  float CaptionYDivisor = 0;
  std::int32_t ImageBackColor = 0;
  std::int32_t ImagePlacement = 0;
  bool ImageOptionFlag = false;
  std::int32_t ImageOptionColor = 0;
  std::int16_t EffectCode = 0;
  std::int16_t EffectParam1 = 0;
  std::int16_t ImageSizing = 0;
  float ImageScale = 0;
  std::int16_t EffectParam2 = 0;
  std::int16_t EffectParam3 = 0;
  std::int32_t EffectParam4 = 0;
  std::int16_t EffectParam5 = 0;
  float ImageXDivisor = 0;
  float ImageYDivisor = 0;
  std::int32_t ImagePosition = 0;
  std::int32_t ImageLength = 0;
  std::int32_t EffectParam6 = 0;
  std::int32_t EffectParam7 = 0;
  std::int32_t EffectParam8 = 0;
  std::int32_t EffectParam9 = 0;
  std::int16_t EffectParam10 = 0;
  std::int16_t EffectParam11 = 0;
  std::int16_t EffectParam12 = 0;
  std::int16_t EffectParam13 = 0;
  std::int16_t EffectParam14 = 0;
  float DisplaySeconds = 0;
  std::int16_t CrossFadeParam = 0;
  std::int32_t VideoPlacement = 0;
  std::int32_t VideoSize = 0;
  float VideoXDivisor = 0;
  float VideoYDivisor = 0;
  std::int32_t VideoPosition = 0;
  std::int32_t VideoLength = 0;
  std::int32_t ScreenKind = 0;
};

// The [GLOBAL] line.
struct GlobalSettings {
  std::string PublisherName;
  std::string SaverTitle;
  std::string WebsiteText;
  bool RandomScreenOrder = false;
  bool RandomEffects = false;
  bool RepeatAudio = false;
};

// Everything the package reader produces.
struct Package {
  std::string PackageFileName;
  std::int32_t ConfigOffset = 0;
  GlobalSettings Global;
  std::vector<AudioTrack> AudioTracks;  // empty: the package has no music
  std::vector<ScreenSettings> Screens;
};

}  // namespace vistel
