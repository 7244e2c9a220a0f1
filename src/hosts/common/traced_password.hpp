// PasswordServices that pass every call to others and write the "password"
// trace event for it (an event of the hosts, not of the core):
//   {"ev":"password","op":"verify","parent":77,"given":false}
//   {"ev":"password","op":"change","parent":4660}
//   {"ev":"password","op":"running","running":true}
// The same events whether the answers are scripted or the system's.
#pragma once

#include "runtime/password.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class TracedPassword final : public PasswordServices {
 public:
  // Both are borrowed and must outlive this object.
  TracedPassword(PasswordServices& inner, Trace& trace) : inner_(inner), trace_(trace) {}

  bool VerifyScreenSavePwd(WindowHandle parent) override;
  void PwdChangePassword(WindowHandle parent) override;
  void SetScreenSaverRunning(bool running) override;

 private:
  PasswordServices& inner_;
  Trace& trace_;
};

}  // namespace vistel
