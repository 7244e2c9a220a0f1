// The host system's own registry behind the core's RegistryApi, where the
// system has one (Windows: advapi32); nothing elsewhere, where the hosts keep
// the registry in a file of their own. One implementation per OS.
#pragma once

#include <memory>

#include "runtime/registry.hpp"

namespace vistel {

// nullptr where the system has no registry.
std::unique_ptr<RegistryApi> MakeSystemRegistry();

}  // namespace vistel
