// The hosts the player program can run on, one entry point each; main picks
// one by the options.
#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "hosts/common/desktop_run.hpp"
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
  settings.explain = [](std::string_view detail) {
    std::cerr << "vistel-player: " << detail << '\n';
    std::cerr.flush();
  };
  return settings;
}

// Plays on a desktop host, once made: the player's Main, then the host's
// loop, until the run ends; the host is gone when this returns.
template <class DesktopHost>
int PlayOnDesktop(Result<std::unique_ptr<DesktopHost>> host, const PlayerOptions& options) {
  if (!host) {
    std::cerr << "vistel-player: " << host.error().description << '\n';
    return kExitUsage;
  }
  int code = 0;
  {
    // Declared after the host, so destroyed before it.
    PlayerSettings settings = SettingsOf(options);
    settings.aboutNote = (*host)->AboutNote();
    Player player(**host, std::move(settings));
    code = RunDesktop(
        **host,
        [&] {
          player.Main(options.commandLine);
          (*host)->Loop().Run();
        },
        std::cerr);
  }
  host->reset();
  return code;
}

// --headless: the simulation on a virtual clock.
int RunHeadlessPlayer(const PlayerOptions& options, std::string playerPath);
// The real player on the desktop.
int RunDesktopPlayer(const PlayerOptions& options, std::string playerPath);

}  // namespace vistel
