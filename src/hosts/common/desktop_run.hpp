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

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "hosts/common/shared_host.hpp"

namespace vistel {

// Thrown by a desktop host's loop when the run is ended from outside;
// unwinds everything it runs, however deeply pumps are nested.
struct Terminated {
  std::string reason;  // "signal", "window-lost", "quit", "run-for"
};

int RunDesktop(SharedHost& host, const std::function<void()>& run, std::ostream& errors);

// What a desktop host does with a message box before it shows it (and the
// headless host, when asked to): the "msgbox" trace event and the message on
// `errors` (a dialog may be hidden behind the show, or not shown at all).
// Texts are Windows-1252, as the core gives them; an empty title is the
// application's.
void ReportMessageBox(Trace& trace, std::ostream& errors, std::string_view text,
                      std::uint32_t style, std::string_view title);

}  // namespace vistel
