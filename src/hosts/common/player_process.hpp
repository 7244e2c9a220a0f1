// The process on the headless host: where the player's file is, and an end
// that unwinds (ProcessEnded) instead of exiting, so the player's main can
// finish the trace and tests can go on.
#pragma once

#include <optional>
#include <string>

#include "platform/paths.hpp"
#include "runtime/process.hpp"

namespace vistel {

class PlayerProcess final : public ProcessInfo, public ProcessControl {
 public:
  // `exePath`: the player's own file ("/opt/savers/MySaver.scr").
  explicit PlayerProcess(std::string exePath) : exePath_(std::move(exePath)) {}

  // The folder without a trailing separator, except the root "/" itself.
  std::string AppFolder() const override;
  std::string ExeBaseName() const override;
  char PathSeparator() const override { return kPathSeparator; }

  // Throws ProcessEnded with the code; the caller's main writes `exit`.
  [[noreturn]] void EndProcess(int exitCode) override;
  std::optional<int> EndedWith() const { return endedWith_; }

 private:
  std::string exePath_;
  std::optional<int> endedWith_;
};

}  // namespace vistel
