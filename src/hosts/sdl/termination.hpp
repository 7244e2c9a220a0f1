// Ending the desktop player from outside: SIGTERM and SIGINT (the daemon
// stops its hack with SIGTERM), and the loss of the window the player draws
// in (the daemon destroys it under a running hack).
//
// The signal handler only sets a flag (async-signal-safe); the event loop
// reads it between waits and unwinds with Terminated. SDL's own handlers are
// kept off (SDL_HINT_NO_SIGNAL_HANDLERS), since they push events from the
// handler and can deadlock there.
#pragma once

#include "hosts/common/desktop_run.hpp"

namespace vistel {

// Installs the SIGTERM / SIGINT handlers (without SA_RESTART, so a wait in
// select or poll returns at once). Safe to call more than once.
void InstallTerminationHandlers();

// Whether a termination signal has arrived.
bool TerminationRequested();

// For tests and the X error handler: marks a request as if a signal came.
void RequestTermination();
void ClearTerminationRequest();

}  // namespace vistel
