// The player on the desktop: an X display through SDL, in a window of its
// own (/s, /c), inside a foreign window (/p), or as an XScreenSaver hack.
#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string_view>

#include "hosts/sdl/hack_target.hpp"
#include "hosts/sdl/sdl_host.hpp"
#include "player_program.hpp"

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds: D-Bus, which SDL opens at start, keeps one-time
// allocations until exit.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
#endif

namespace vistel {

int RunDesktopPlayer(const PlayerOptions& givenOptions, std::string playerPath) {
  PlayerOptions options = givenOptions;
  // "-root" and "-window-id ID" are XScreenSaver's words, not the show's.
  if (auto taken = TakeHackArguments(options); !taken) {
    std::cerr << "vistel-player: " << taken.error().description << '\n';
    return kExitUsage;
  }
  const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
  const HackTarget hack = ChooseHackTarget(
      options, daemonWindow ? std::optional<std::string_view>(daemonWindow) : std::nullopt);

#if defined(__SANITIZE_ADDRESS__)
  // The OpenGL driver is unloaded before the leak check and leaves its
  // one-time allocations without a stack to suppress them by: sanitizer
  // builds draw with SDL's software renderer.
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
#endif
  auto session = SdlSession::Start();
  if (!session) {
    std::cerr << "vistel-player: " << session.error().description << '\n';
    return kExitUsage;
  }
  return PlayOnDesktop(SdlHost::Create(options, std::move(playerPath), hack), options);
}

}  // namespace vistel
