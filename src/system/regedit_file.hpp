// The in-memory registry as a REGEDIT4 text file, the form in which the
// Linux and headless hosts keep it between runs (--registry PATH).
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Control Panel\Desktop]
//   "ScreenSaveUsePassword"=dword:00000001
//   "Wallpaper"="C:\\WINDOWS\\clouds.bmp"
//   @="the key's default value"
//   "Blob"=hex:01,02,03
//   "Path"=hex(2):25,00
//
// Written with CR LF line ends. Strings are ANSI bytes written as they are,
// with "\" and the double quote escaped; a REG_SZ that is not exactly one
// NUL-terminated line (no NUL at its end, a NUL, CR or LF inside) and a
// REG_DWORD that is not four bytes are written as hex(1): / hex(4): so that
// nothing is lost. Long hex lists wrap at 80 columns with "\" continuations.
//
// A key that holds no value but has sub-keys is not written: their lines imply
// it. So the file of a deep key is as long as its path, not its depth times.
//
// The reader also takes LF-only files, a UTF-8 byte-order mark, blank lines,
// comment lines starting with ";" and continuation lines ending in "\". It
// loads all or nothing: a malformed file names its first bad line and leaves
// the registry as it was. Deleting entries ("[-KEY]", "=-") is not supported
// and reads as an error. The file is untrusted: it may have at most
// limits::kMaxRegistryFileBytes bytes and limits::kMaxRegistryEntries keys and
// values, and key paths are bounded as MemoryRegistry says; the writer refuses
// to write what the reader would refuse.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "runtime/files.hpp"
#include "system/memory_registry.hpp"

namespace vistel {

struct RegeditParseError {
  std::size_t line = 0;  // 1-based line where the bad entry starts
  std::string message;
  std::string ToText() const;  // "line 3: ..."
};

// Adds the file's keys and values to registry (values of the same name are
// replaced); on error nothing is added.
expected<void, RegeditParseError> ParseRegedit(std::string_view text, MemoryRegistry& registry);

// The whole registry as REGEDIT4 text. Fails for a key path or value name
// holding a line break, which the format cannot carry, and for a registry
// that the reader would refuse (too many entries, too many bytes).
Result<std::string> FormatRegedit(const MemoryRegistry& registry);

// Reads the file into registry. A missing file loads nothing and succeeds
// (the host creates it at exit). A malformed file fails with an error whose
// description names the file and the line (code InvalidProcedureCall: there is
// no closer error number for a bad argument file).
Status LoadRegeditFile(FileSystem& files, std::string_view path, MemoryRegistry& registry);

// Writes the registry to path atomically: the text goes to a fresh file of an
// unpredictable name beside it (created exclusively, never through a link),
// which then replaces path by rename. A failed write never leaves a truncated
// file, and a link at path is replaced by the file, not written through. A
// registry that FormatRegedit refuses leaves the file as it was.
Status SaveRegeditFile(FileSystem& files, std::string_view path, const MemoryRegistry& registry);

}  // namespace vistel
