#include "hosts/sdl/hack_target.hpp"

namespace vistel {

HackTarget ChooseHackTarget(const PlayerOptions& options,
                            std::optional<std::string_view> environmentWindow) {
  if (options.hackWindow) return {HackTarget::Kind::Window, *options.hackWindow};
  if (environmentWindow) {
    if (const auto id = ParseWindowId(*environmentWindow)) return {HackTarget::Kind::Window, *id};
  }
  if (options.hackRoot) return {HackTarget::Kind::Root, 0};
  return {};
}

}  // namespace vistel
