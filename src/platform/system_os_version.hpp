// The version record of the system the player runs on, where the system has
// one (Windows: GetVersionExA); nothing elsewhere, where the hosts give the
// record of --os or the NT family's. One implementation per OS.
#pragma once

#include <memory>

#include "runtime/os_version.hpp"

namespace vistel {

// nullptr where the system has no Windows version record.
std::unique_ptr<OsVersionSource> MakeSystemOsVersion();

}  // namespace vistel
