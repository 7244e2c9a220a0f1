// The player on the Windows desktop: full screen (/s), in the Screen Saver
// settings' preview area (/p), the about window (/c).
#include <cstdint>
#include <iostream>

#include "hosts/common/desktop_run.hpp"
#include "hosts/win32/win32_host.hpp"
#include "player_program.hpp"
#include "startup/player.hpp"

namespace vistel {

int RunDesktopPlayer(const PlayerOptions& options, std::string playerPath) {
  auto host = Win32Host::Create(options, std::move(playerPath));
  if (!host) {
    std::cerr << "vistel-player: " << host.error().description << '\n';
    return kExitUsage;
  }
  int code = 0;
  {
    // Declared after the host, so destroyed before it.
    Player player(**host, SettingsOf(options));
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

}  // namespace vistel
