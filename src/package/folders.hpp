// The two folder lookups of the player: the temporary folder (where media are
// extracted) and the system folder (where the uninstall registration keeps
// its list). Both apply one slash rule on every host, with the host's own
// separator.
#pragma once

#include <string>

#include "runtime/folders.hpp"
#include "runtime/process.hpp"

namespace vistel {

enum class AddSlash { No, Yes };

// The temporary folder without its trailing separator, or with exactly one
// when addSlash is Yes; "" when the host cannot name one.
std::string GetTempFolder(SystemFolders& folders, const ProcessInfo& process, AddSlash addSlash);

// The system folder, with one trailing separator appended when addSlash is
// Yes; "" when the host cannot name one.
std::string GetSystemFolder(SystemFolders& folders, const ProcessInfo& process, AddSlash addSlash);

}  // namespace vistel
