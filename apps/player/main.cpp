// vistel-player: the screen-saver player. Its own "--" options are taken out
// first; what remains is the screen-saver command line ("/s", "/p 1234", ...).
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "hosts/common/player_options.hpp"
#include "platform/program.hpp"
#include "player_program.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = vistel::ProgramArguments(argc, argv);
  // Only as the one argument: anywhere else, "--help" would be screen-saver text.
  if (arguments.size() == 2 && arguments[1] == "--help") {
    std::cout << vistel::PlayerOptionsUsage()
              << "\n'vistel-player --help' prints this text, 'vistel-player --version' the\n"
                 "version; each only as the one argument.\n";
    return 0;
  }
  if (arguments.size() == 2 && arguments[1] == "--version") {
    std::cout << "vistel-player " VISTEL_VERSION "\n";
    return 0;
  }
  // The program's own name is not an option.
  const std::vector<std::string_view> args(arguments.begin() + (arguments.empty() ? 0 : 1),
                                           arguments.end());
  auto options = vistel::ParsePlayerOptions(args);
  if (!options) {
    std::cerr << "vistel-player: " << options.error().description << "\n\n"
              << vistel::PlayerOptionsUsage();
    return vistel::kExitUsage;
  }
  const auto run = options->headless ? vistel::RunHeadlessPlayer : vistel::RunDesktopPlayer;
  try {
    return run(*options, vistel::OwnProgramPath(arguments.empty() ? "" : arguments.front()));
  } catch (const std::exception& failure) {
    std::cerr << "vistel-player: unexpected failure: " << failure.what() << '\n';
    return vistel::kExitInternal;
  }
}
