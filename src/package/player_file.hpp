// Whether a file can be the player a package starts with: an executable of a
// kind the player is built as, an ELF file (Linux) or a PE file (Windows).
// Only the headers are read, a few bytes at fixed places, so any file can be
// asked about, however large or hostile.
#pragma once

#include <string_view>

#include "base/error.hpp"
#include "runtime/files.hpp"

namespace vistel {

enum class PlayerFileKind { Elf, Pe };

// Fails (InvalidPackage) with what the file is not: "is a folder, not a
// player program", "is empty", "starts with MZ but has no PE header", ...;
// the message does not repeat the path.
Result<PlayerFileKind> ClassifyPlayerFile(InputFile& file);

// ClassifyPlayerFile for the file at path; a missing path or a folder fails
// with that said.
Result<PlayerFileKind> CheckPlayerFile(FileSystem& files, std::string_view path);

// "ELF executable", "PE executable".
std::string_view PlayerFileKindName(PlayerFileKind kind);

}  // namespace vistel
