// The running program as the host system sees it: its arguments and its own
// file. One implementation per OS (platform/posix, platform/win32).
#pragma once

#include <string>
#include <vector>

namespace vistel {

// The command line as UTF-8 strings, argv[0] first. On POSIX that is argv
// itself; on Windows main's argv is in the ANSI code page, which cannot hold
// every file name, so the wide command line is converted instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The executable the system started (whatever name or link started it):
// where the player looks for its package. `argv0` is the fallback when the
// system cannot say.
std::string OwnProgramPath(const std::string& argv0);

}  // namespace vistel
