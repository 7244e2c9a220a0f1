// --headless: the player on the headless host, as one simulated run.
#include <cstdint>
#include <iostream>

#include "hosts/headless/headless_host.hpp"
#include "hosts/headless/headless_run.hpp"
#include "player_program.hpp"
#include "startup/player.hpp"

namespace vistel {

int RunHeadlessPlayer(const PlayerOptions& options, std::string playerPath) {
  // The input script first: a bad script must not leave a fresh, empty trace.
  auto plan = PlanOf(options);
  if (!plan) {
    std::cerr << "vistel-player: " << plan.error().description << '\n';
    return kExitUsage;
  }
  auto host = HeadlessHost::Create(options, std::move(playerPath));
  if (!host) {
    std::cerr << "vistel-player: " << host.error().description << '\n';
    return kExitUsage;
  }
  (*host)->HeadlessMessages().EchoTo(std::cerr);
  // Declared after the host, so destroyed before it.
  Player player(**host, SettingsOf(options));
  return RunHeadless(
      **host, *plan, [&player, &options] { player.Main(options.commandLine); }, std::cerr);
}

}  // namespace vistel
