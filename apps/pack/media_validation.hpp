// The checks build and check share beyond the layout: the fields' ranges and
// whether each medium plays as its screen or track uses it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "media/check/medium_check.hpp"
#include "package/records.hpp"
#include "runtime/files.hpp"

namespace vistel::pack {

// A picture shown at its own size (ImageSizing 0) is cut off on a screen
// smaller than it: warned about for the smallest screen a show is likely to
// meet, which is also the player's simulated screen by default.
inline constexpr int kSmallScreenWidth = 800;
inline constexpr int kSmallScreenHeight = 600;

// The decoders of this build: FFmpeg on Linux, none in the Windows build.
MediumDecoders PackDecoders();
// How deep media are checked, for the summary line.
std::string_view MediaCheckDepth();

// CheckMediumFile with this build's decoders, once per medium: shows use one
// background on many screens, and a decode of a large photo takes a while.
class MediumValidator {
 public:
  // `bytes` names the medium's bytes (its file, or its range in a package).
  static std::string Key(std::string_view bytes, MediumUse use, std::string_view trackFileName);
  // The verdict on the medium of `key`, if it has been checked.
  const MediumVerdict* Known(const std::string& key) const;
  // `pathInMessages` replaces the path in what the decoders say, for a
  // temporary copy of the medium; "" keeps it.
  const MediumVerdict& Check(const std::string& key, FileSystem& files, std::string_view path,
                             MediumUse use, std::string_view trackFileName,
                             std::string_view pathInMessages = {});

 private:
  std::map<std::string, MediumVerdict> verdicts_;
};

// What depends on the screen that shows the medium: a picture larger than
// the screen at ImageSizing 0.
std::vector<std::string> ScreenWarnings(const MediumVerdict& verdict, MediumUse use,
                                        const ScreenSettings& screen);

}  // namespace vistel::pack
