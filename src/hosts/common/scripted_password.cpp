#include "hosts/common/scripted_password.hpp"

namespace vistel {

bool ScriptedPassword::VerifyScreenSavePwd(WindowHandle parent) {
  verifyParents_.push_back(parent);
  return nextReply_ < replies_.size() ? replies_[nextReply_++] : true;
}

void ScriptedPassword::PwdChangePassword(WindowHandle parent) {
  changeParents_.push_back(parent);
}

void ScriptedPassword::SetScreenSaverRunning(bool running) {
  running_ = running;
  runningHistory_.push_back(running);
}

}  // namespace vistel
