// vistel-player: the screen-saver player. Its own "--" options are taken out
// first; what remains is the screen-saver command line ("/s", "/p 1234", ...).
#include <cerrno>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "hosts/common/player_options.hpp"
#include "player_program.hpp"

namespace {

// The player's own file, where the package is looked for: the executable
// the system started, whatever name or link it was started by.
std::string OwnPath(const char* argv0) {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) return self.string();
  const auto absolute = std::filesystem::absolute(argv0 == nullptr ? "" : argv0, error);
  return error ? std::string(argv0 == nullptr ? "" : argv0) : absolute.string();
}

}  // namespace

int main(int argc, char** argv) {
  // Only as the first argument: later, "--help" would be screen-saver text.
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::cout << vistel::PlayerOptionsUsage();
    return 0;
  }
  auto options = vistel::ParsePlayerOptions(argc, argv);
  if (!options) {
    std::cerr << "vistel-player: " << options.error().description << "\n\n"
              << vistel::PlayerOptionsUsage();
    return vistel::kExitUsage;
  }
  const auto run = options->headless ? vistel::RunHeadlessPlayer : vistel::RunDesktopPlayer;
  try {
    return run(*options, OwnPath(argc > 0 ? argv[0] : nullptr));
  } catch (const std::exception& failure) {
    std::cerr << "vistel-player: unexpected failure: " << failure.what() << '\n';
    return vistel::kExitInternal;
  }
}
