// The temporary and system folders of the host system, behind the core's
// SystemFolders. One implementation per OS (platform/posix, platform/win32),
// chosen by the build; this header names no OS.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "runtime/folders.hpp"

namespace vistel {

// Folders given on the player's command line, used instead of the system's.
struct FolderOverrides {
  std::optional<std::string> temp;    // --temp
  std::optional<std::string> system;  // --system
};

std::unique_ptr<SystemFolders> MakeSystemFolders(FolderOverrides overrides);

}  // namespace vistel
