// One run of the player on a desktop host, from start to exit code, as the
// headless run does it: `run` (the player's Main, then the host's loop),
// until
//   - the process ends (ProcessEnded from EndProcess, nested pumps
//     included): `exit` {code};
//   - the host ends the run from outside (a signal, the loss of the window
//     drawn in, WM_QUIT, the end of --run-for): `exit` {code 0, reason}.
// Either way the registry is written back first; a registry that cannot be
// written turns a 0 into 1, as headless.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "hosts/common/shared_host.hpp"

namespace vistel {

// Thrown by a desktop host's loop when the run is ended from outside;
// unwinds everything it runs, however deeply pumps are nested.
struct Terminated {
  std::string reason;  // "signal", "window-lost", "quit", "run-for"
};

int RunDesktop(SharedHost& host, const std::function<void()>& run, std::ostream& errors);

}  // namespace vistel
