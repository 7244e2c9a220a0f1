#include "hosts/common/traced_password.hpp"

#include <cstdint>
#include <string>

namespace vistel {

bool TracedPassword::VerifyScreenSavePwd(WindowHandle parent) {
  const bool given = inner_.VerifyScreenSavePwd(parent);
  if (trace_.Enabled()) {
    trace_.Write("password", {{"op", std::string("verify")},
                              {"parent", static_cast<std::int64_t>(parent)},
                              {"given", given}});
  }
  return given;
}

void TracedPassword::PwdChangePassword(WindowHandle parent) {
  inner_.PwdChangePassword(parent);
  if (trace_.Enabled()) {
    trace_.Write("password",
                 {{"op", std::string("change")}, {"parent", static_cast<std::int64_t>(parent)}});
  }
}

void TracedPassword::SetScreenSaverRunning(bool running) {
  inner_.SetScreenSaverRunning(running);
  if (trace_.Enabled()) {
    trace_.Write("password", {{"op", std::string("running")}, {"running", running}});
  }
}

}  // namespace vistel
