// The temporary and system folders of a Linux (or any POSIX-like) host, from
// the environment alone. The player has no Windows system folder there, so
// the "system folder" is a folder of its own under the user's data directory,
// which keeps what the uninstall registration writes out of shared places.
//
// The temporary folder holds the media under fixed names ("bg", "img", "vid",
// "audio.*"), so it is never a shared one like /tmp itself: another user could
// plant links at those names there, and two users' shows would replace each
// other's files. Without --temp it is a folder only this user can enter.
#pragma once

#include <optional>
#include <string>

#include "platform/system_folders.hpp"

namespace vistel {

class LinuxSystemFolders final : public SystemFolders {
 public:
  explicit LinuxSystemFolders(FolderOverrides overrides = {});

  // Always with a trailing "/"; the same folder on every call. The override
  // when given (created when missing). Otherwise a private folder: one that
  // is a real folder (not a link), owned by this user and closed to everybody
  // else (mode 0700), created so when missing:
  //  1. $XDG_RUNTIME_DIR/vistel, when $XDG_RUNTIME_DIR is such a folder itself;
  //  2. else $TMPDIR/vistel-UID (or /tmp/vistel-UID), UID the user's number;
  //  3. else, when that name is taken by something that fails the checks
  //     (a link, another user's folder, one open to others), a fresh folder
  //     $TMPDIR/vistel-UID-XXXXXX made by mkdtemp, with a note on stderr.
  // "" when none of these can be made.
  std::string TempPath() override;
  // The override, else $XDG_DATA_HOME/vistel/system, else
  // $HOME/.local/share/vistel/system; created on demand; no trailing "/".
  // "" when no folder can be named (no override, no usable environment).
  std::string SystemDirectory() override;

 private:
  FolderOverrides overrides_;
  std::optional<std::string> temp_;  // chosen on first use
};

}  // namespace vistel
