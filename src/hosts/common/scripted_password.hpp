// The Windows 9x password services where the system's are not asked
// (headless, the Linux desktop, or --password-replies given): the password
// check answers from a list given up front, in order; once the list runs
// out the password counts as given, so a run always ends. Every call is
// recorded. TracedPassword in front of it writes the trace.
#pragma once

#include <cstddef>
#include <vector>

#include "runtime/password.hpp"

namespace vistel {

class ScriptedPassword final : public PasswordServices {
 public:
  explicit ScriptedPassword(std::vector<bool> replies) : replies_(std::move(replies)) {}

  bool VerifyScreenSavePwd(WindowHandle parent) override;
  void PwdChangePassword(WindowHandle parent) override;
  void SetScreenSaverRunning(bool running) override;

  // The parent handles of the checks and change dialogs asked so far.
  const std::vector<WindowHandle>& VerifyCalls() const { return verifyParents_; }
  const std::vector<WindowHandle>& ChangeCalls() const { return changeParents_; }
  // The running-state flag as last set, and every value it was set to.
  bool ScreenSaverRunning() const { return running_; }
  const std::vector<bool>& RunningHistory() const { return runningHistory_; }

 private:
  std::vector<bool> replies_;
  std::size_t nextReply_ = 0;
  std::vector<WindowHandle> verifyParents_;
  std::vector<WindowHandle> changeParents_;
  bool running_ = false;
  std::vector<bool> runningHistory_;
};

}  // namespace vistel
