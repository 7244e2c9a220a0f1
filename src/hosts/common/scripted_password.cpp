#include "hosts/common/scripted_password.hpp"

#include <cstdint>

namespace vistel {

bool ScriptedPassword::VerifyScreenSavePwd(WindowHandle parent) {
  verifyParents_.push_back(parent);
  const bool given = nextReply_ < replies_.size() ? replies_[nextReply_++] : true;
  if (trace_.Enabled()) {
    trace_.Write("password", {{"op", std::string("verify")},
                              {"parent", static_cast<std::int64_t>(parent)},
                              {"given", given}});
  }
  return given;
}

void ScriptedPassword::PwdChangePassword(WindowHandle parent) {
  changeParents_.push_back(parent);
  if (trace_.Enabled()) {
    trace_.Write("password",
                 {{"op", std::string("change")}, {"parent", static_cast<std::int64_t>(parent)}});
  }
}

void ScriptedPassword::SetScreenSaverRunning(bool running) {
  running_ = running;
  runningHistory_.push_back(running);
  if (trace_.Enabled()) {
    trace_.Write("password", {{"op", std::string("running")}, {"running", running}});
  }
}

}  // namespace vistel
