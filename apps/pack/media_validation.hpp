// The checks build and check share beyond the layout: the fields' ranges and
// whether each medium plays as its screen or track uses it.
#pragma once

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

// CheckMediumFile, plus what depends on the screen that shows the medium:
// a picture larger than the screen at ImageSizing 0. `screen` is null for a
// track.
MediumVerdict ValidateMedium(FileSystem& files, std::string_view path, MediumUse use,
                             const ScreenSettings* screen, std::string_view trackFileName);

}  // namespace vistel::pack
