// The player: the process's module state wired over a host, and the start-up
// routine Main that reads the screen-saver switch and starts the chosen mode.
//
// After Main returns, the show (or the about window) lives in the host's
// event loop; it ends through the host's ProcessControl (EndProcess), which a
// headless host turns into a ProcessEnded exception for its main to catch.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/host.hpp"

namespace vistel {

struct PlayerSettings {
  // Read this package instead of looking for the player's own file.
  std::optional<std::string> packagePath;
  // The seed of the random generator when the show asks for one (random
  // screen order); the host's clock when absent.
  std::optional<std::uint64_t> seed;
  // Given one line of detail that a message words only generally, such as the
  // path and the reason of a refused package; the program writes it where
  // whoever runs it reads errors. Nothing when absent.
  std::function<void(std::string_view)> explain;
  // A line of the host's own for the about window, below the show's
  // details (where the host keeps its settings); nothing when empty.
  std::string aboutNote;
};

class Player {
 public:
  // The host must outlive the player.
  Player(Host& host, PlayerSettings settings);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Start-up with the screen-saver command line ("/s", "/p 1234", ...).
  // Writes the `mode` trace event. Returns when the show or the about window
  // runs; every other path ends the process.
  void Main(std::string_view commandLine);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// The preview handle of "/p 1234": the numeric value of the normalised
// command line from its third character on (blanks ignored, the number ends
// where it cannot continue; no number gives 0).
WindowHandle ParsePreviewHandle(std::string_view normalisedCommandLine);

}  // namespace vistel
