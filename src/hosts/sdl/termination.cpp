#include "hosts/sdl/termination.hpp"

#include <csignal>

namespace vistel {
namespace {

volatile std::sig_atomic_t gTerminationRequested = 0;

extern "C" void OnTerminationSignal(int) {
  gTerminationRequested = 1;
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking wait wakes up with EINTR
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TerminationRequested() {
  return gTerminationRequested != 0;
}

void RequestTermination() {
  gTerminationRequested = 1;
}

void ClearTerminationRequest() {
  gTerminationRequested = 0;
}

}  // namespace vistel
