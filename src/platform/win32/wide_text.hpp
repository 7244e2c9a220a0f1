// UTF-8 <-> UTF-16 for the wide ("W") Windows calls. Every path and text in
// the program is UTF-8; only these calls see UTF-16, so a name in any script
// reaches the system whole (the ANSI calls would map it to "?").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vistel::win32 {

// nullopt for bytes that are not UTF-8: a path is refused rather than turned
// into another name.
std::optional<std::wstring> WideFromUtf8(std::string_view text);

// Unpaired surrogates (possible in NTFS names) become U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

}  // namespace vistel::win32
