// The player on the Windows desktop: full screen (/s), in the Screen Saver
// settings' preview area (/p), the about window (/c).
#include "hosts/win32/win32_host.hpp"
#include "player_program.hpp"

namespace vistel {

int RunDesktopPlayer(const PlayerOptions& options, std::string playerPath) {
  return PlayOnDesktop(Win32Host::Create(options, std::move(playerPath)), options);
}

}  // namespace vistel
