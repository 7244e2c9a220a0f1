// The hosts the player program can run on, one entry point each; main picks
// one by the options.
#pragma once

#include <string>

#include "hosts/common/player_options.hpp"

namespace vistel {

// Exit codes of the program itself, beside the player's own 0 and 1.
inline constexpr int kExitUsage = 2;     // bad options, or an option's file unusable
inline constexpr int kExitInternal = 3;  // an unexpected failure of the program

// --headless: the simulation on a virtual clock.
int RunHeadlessPlayer(const PlayerOptions& options, std::string playerPath);
// The real player on the desktop.
int RunDesktopPlayer(const PlayerOptions& options, std::string playerPath);

}  // namespace vistel
