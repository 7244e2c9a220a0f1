// The show's module-level state: what the package reader produced and what
// start-up set, living as long as the process. One instance, owned by the
// player and lent to the window and the show engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "package/records.hpp"

namespace vistel {

struct ShowState {
  Package package;  // Screens, AudioTracks, the [GLOBAL] settings, PackageFileName

  // 1 in preview, 0 once full-screen placement ran, Empty (nullopt) otherwise.
  std::optional<std::int16_t> PreviewMode;
  std::string TempFolder;      // ends in the path separator
  bool UserInputSeen = false;  // the pending quit
  std::int32_t MouseTravel = 0;

  // PreviewMode = 1.
  bool InPreview() const { return PreviewMode == std::int16_t{1}; }
  // PreviewMode = 0, where Empty compares equal to 0.
  bool FullScreen() const { return PreviewMode.value_or(0) == 0; }
};

}  // namespace vistel
