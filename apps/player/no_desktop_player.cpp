// Built without SDL2 and X11: there is no desktop host; say so instead of running.
#include <iostream>

#include "player_program.hpp"

namespace vistel {

int RunDesktopPlayer(const PlayerOptions& /*options*/, std::string /*playerPath*/) {
  std::cerr << "vistel-player: this build has no desktop host (SDL2 and X11 were not found); "
               "run with --headless\n";
  return kExitUsage;
}

}  // namespace vistel
