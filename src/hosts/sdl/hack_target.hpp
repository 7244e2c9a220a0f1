// Where the player draws as an XScreenSaver hack. The daemon names its
// window in $XSCREENSAVER_WINDOW and may also pass "-root" or
// "-window-id ID" (taken out of the command line into the options).
//
// Precedence: an explicit window id, then the daemon's variable, then the
// root window (the virtual root, which is the daemon's window when it runs
// one). A malformed variable is ignored, as if it were not set.
#pragma once

#include <optional>
#include <string_view>

#include "hosts/common/player_options.hpp"

namespace vistel {

struct HackTarget {
  enum class Kind { None, Window, Root };
  Kind kind = Kind::None;
  WindowHandle window = 0;  // for Kind::Window
  friend bool operator==(const HackTarget&, const HackTarget&) = default;
};

// `environmentWindow`: the value of $XSCREENSAVER_WINDOW, if set.
HackTarget ChooseHackTarget(const PlayerOptions& options,
                            std::optional<std::string_view> environmentWindow);

}  // namespace vistel
