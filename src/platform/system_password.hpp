// The system's own Windows 9x screen-saver password services, where the
// system can have them (Windows); nothing elsewhere. One implementation per
// OS.
//
// The check and the change dialog live in libraries that only Windows 95, 98
// and ME have: each is looked up by name at its first call (and kept until
// the services end), so the player starts on the NT family too, where the
// player never calls them. Should a library or its function be missing all
// the same, the check counts the password as given (nobody could ever leave
// a show that asks a check that cannot be made) and the change dialog does
// nothing. The running flag goes to SystemParametersInfoA, which every
// Windows has.
#pragma once

#include <memory>
#include <string>

#include "runtime/password.hpp"

namespace vistel {

// The libraries asked for the check (VerifyScreenSavePwd) and the change
// dialog (PwdChangePasswordA), by the names or paths LoadLibrary takes.
struct PasswordLibraries {
  std::string verifyLibrary = "password.cpl";
  std::string changeLibrary = "mpr.dll";
};

// nullptr where the system has no such services.
std::unique_ptr<PasswordServices> MakeSystemPasswordServices(
    const PasswordLibraries& libraries = {});

}  // namespace vistel
