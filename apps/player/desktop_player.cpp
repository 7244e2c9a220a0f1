// The desktop host is not part of this build yet: say so instead of running.
#include <iostream>

#include "player_program.hpp"

namespace vistel {

int RunDesktopPlayer(const PlayerOptions& /*options*/, std::string /*playerPath*/) {
  std::cerr << "vistel-player: the desktop host is not built yet; run with --headless\n";
  return kExitUsage;
}

}  // namespace vistel
