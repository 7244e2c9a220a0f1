// The temporary and system folders of a Linux (or any POSIX-like) host, from
// the environment alone. The player has no Windows system folder there, so
// the "system folder" is a folder of its own under the user's data directory,
// which keeps what the uninstall registration writes out of shared places.
#pragma once

#include <optional>
#include <string>

#include "runtime/folders.hpp"

namespace vistel {

struct LinuxFolderOverrides {
  std::optional<std::string> temp;    // --temp
  std::optional<std::string> system;  // --system
};

class LinuxSystemFolders final : public SystemFolders {
 public:
  explicit LinuxSystemFolders(LinuxFolderOverrides overrides = {});

  // The override, else $TMPDIR, else "/tmp/"; always with a trailing "/".
  std::string TempPath() override;
  // The override, else $XDG_DATA_HOME/vistel/system, else
  // $HOME/.local/share/vistel/system; created on demand; no trailing "/".
  // "" when no folder can be named (no override, no usable environment).
  std::string SystemDirectory() override;

 private:
  LinuxFolderOverrides overrides_;
};

}  // namespace vistel
