// The host system's own files, behind the core's FileSystem. One
// implementation per OS (platform/posix, platform/win32), chosen by the build;
// this header names no OS.
#pragma once

#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "runtime/files.hpp"

namespace vistel {

// The native file system: paths in the host's native form, writes never
// through a link at the name written (see FileSystem).
std::unique_ptr<FileSystem> MakeNativeFileSystem();

// A file written line by line while the program runs (the trace): created or
// truncated now, refused when a link is at its name, and every Write reaches
// the system before it returns (nothing is held in the process), so what was
// written survives a crash. The error says why the file could not be opened.
Result<std::unique_ptr<OutputFile>> OpenStreamingFile(std::string_view path);

}  // namespace vistel
