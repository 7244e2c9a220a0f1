// The hosts the player program can run on, one entry point each; main picks
// one by the options.
#pragma once

#include <cstdint>
#include <string>

#include "hosts/common/player_options.hpp"
#include "startup/player.hpp"

namespace vistel {

// Exit codes of the program itself, beside the player's own 0 and 1.
inline constexpr int kExitUsage = 2;     // bad options, or an option's file unusable
inline constexpr int kExitInternal = 3;  // an unexpected failure of the program

// What the player takes from the options, on every host.
inline PlayerSettings SettingsOf(const PlayerOptions& options) {
  PlayerSettings settings;
  settings.packagePath = options.packagePath;
  // A negative seed is as good a seed as any: its bits are kept.
  if (options.seed) settings.seed = static_cast<std::uint64_t>(*options.seed);
  return settings;
}

// --headless: the simulation on a virtual clock.
int RunHeadlessPlayer(const PlayerOptions& options, std::string playerPath);
// The real player on the desktop.
int RunDesktopPlayer(const PlayerOptions& options, std::string playerPath);

}  // namespace vistel
