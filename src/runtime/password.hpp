// The Windows 9x screen-saver password services and the running-state flag.
#pragma once

#include <cstdint>

namespace vistel {

using WindowHandle = std::uint64_t;  // HWND on Windows, an X window id on Linux

class PasswordServices {
 public:
  virtual ~PasswordServices() = default;
  // VerifyScreenSavePwd of password.cpl: shows the system's dialog; true when
  // the right password was given.
  virtual bool VerifyScreenSavePwd(WindowHandle parent) = 0;
  // PwdChangePasswordA of mpr.dll with "SCRSAVE", parent, 0, 0.
  virtual void PwdChangePassword(WindowHandle parent) = 0;
  // SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running, 0, 3).
  virtual void SetScreenSaverRunning(bool running) = 0;
};

}  // namespace vistel
