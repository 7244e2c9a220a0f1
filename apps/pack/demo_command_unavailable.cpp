// demo, where the tool has no media encoders (the Windows build: they come
// from FFmpeg on Linux). The Linux tool makes the same package for this
// player with --player.
#include "commands.hpp"

namespace vistel::pack {

int RunDemo(const std::vector<std::string>& /*args*/, std::string_view /*selfPath*/) {
  Report(
      "demo: this build has no media encoders; make the demo with the Linux vistel-pack, "
      "giving it this player: vistel-pack demo -o demo.scr --player vistel-player.exe");
  return kExitProblem;
}

}  // namespace vistel::pack
