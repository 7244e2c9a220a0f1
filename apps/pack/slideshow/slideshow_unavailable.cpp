// slideshow, where the tool has no picture decoders and encoders (the Windows
// build: they come from FFmpeg on Linux). The Linux tool makes the same
// package for this player with --player.
#include "commands.hpp"

namespace vistel::pack {

int RunSlideshow(const std::vector<std::string>& /*args*/, std::string_view /*selfPath*/) {
  Report(
      "slideshow: not available in this build, which has no picture decoders; make the show "
      "with the Linux vistel-pack, giving it this player: vistel-pack slideshow PHOTOS -o "
      "show.scr --player vistel-player.exe");
  return kExitProblem;
}

}  // namespace vistel::pack
