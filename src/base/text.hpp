// Text encodings. Package texts, registry texts and command lines are bytes in
// the ANSI code page (Windows-1252); they are kept as bytes everywhere and only
// converted for display (UTF-8) or when a UTF-8 source is written back.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"

namespace vistel {

// Every byte maps to a character; the five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same
// value, as Windows' own conversion does.
std::string Windows1252ToUtf8(std::string_view bytes);

// The reverse; a character outside Windows-1252, or invalid UTF-8, is an
// error that names the first offending byte offset.
Result<std::string> Utf8ToWindows1252(std::string_view utf8);

// The length of the UTF-8 sequence at `at` with its code point in `cp`, or 0
// when it is not a valid one: strictly, no overlong forms, no surrogates,
// nothing above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at, char32_t& cp);

// ASCII-only case folding, as the original's LCase/UCase on ANSI text within
// the characters that matter here (switches, extensions, section names).
std::string AsciiLower(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// What an error message may quote of bad input: the text itself when it shows
// in at most limits::kMaxQuotedInputChars bytes, else its start (not cutting
// a UTF-8 sequence) followed by "...". Bytes below 0x20 and 0x7F show as \xNN
// so that a quoted line cannot break or steer the message.
std::string InputExcerpt(std::string_view text);

// The length of the longest start of `text` of at most `maxBytes` bytes that
// does not end inside a UTF-8 sequence (for cutting names and quotes).
std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes);

// Trim blanks (spaces only, as the original's Trim).
std::string_view TrimBlanks(std::string_view text);

}  // namespace vistel
