// Built without a desktop host (no SDL2 and X11 on Linux; the Windows host is
// not written yet): say so instead of running.
#include <iostream>

#include "player_program.hpp"

namespace vistel {

int RunDesktopPlayer(const PlayerOptions& /*options*/, std::string /*playerPath*/) {
  std::cerr << "vistel-player: this build has no desktop host; run with --headless\n";
  return kExitUsage;
}

}  // namespace vistel
