// One run of the player on the desktop host, from start to exit code, as the
// headless run does it: `start` (the player's Main), then the loop, until
//   - the process ends (ProcessEnded from EndProcess, nested pumps
//     included): `exit` {code};
//   - a signal, the loss of the window drawn in, or the end of --run-for:
//     `exit` {code 0, reason "signal" / "window-lost" / "run-for"}.
// Either way the registry is written back first; a registry that cannot be
// written turns a 0 into 1, as headless.
#pragma once

#include <functional>
#include <ostream>

#include "hosts/sdl/sdl_host.hpp"

namespace vistel {

int RunDesktop(SdlHost& host, const std::function<void()>& start, std::ostream& errors);

}  // namespace vistel
