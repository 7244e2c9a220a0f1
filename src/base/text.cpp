#include "base/text.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

// Code points of the bytes 0x80 to 0x9F. The five bytes the code page leaves
// undefined keep their own value (C1 controls).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t CodePointOf(unsigned byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char32_t{byte};
}

// The UTF-8 form of every byte from 0x80 on, built once at compile time.
struct Utf8Form {
  std::array<char, 3> bytes{};
  std::uint8_t size = 0;
};

constexpr std::array<Utf8Form, 128> MakeHighTable() {
  std::array<Utf8Form, 128> table{};
  for (unsigned byte = 0x80; byte < 0x100; ++byte) {
    const char32_t cp = CodePointOf(byte);
    Utf8Form& form = table[byte - 0x80];
    if (cp < 0x800) {
      form.bytes = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0};
      form.size = 2;
    } else {
      form.bytes = {static_cast<char>(0xE0 | (cp >> 12)),
                    static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (cp & 0x3F))};
      form.size = 3;
    }
  }
  return table;
}

constexpr std::array<Utf8Form, 128> kHighTable = MakeHighTable();

// The byte that stands for code point cp, or -1 when the code page has none.
int ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

unexpected<Error> InvalidUtf8(std::size_t offset) {
  return Fail(ErrorCode::InvalidProcedureCall,
              "Invalid UTF-8 at byte offset " + std::to_string(offset));
}

unexpected<Error> NotInCodePage(char32_t cp, std::size_t offset) {
  char name[16];
  std::snprintf(name, sizeof(name), "U+%04lX", static_cast<unsigned long>(cp));
  return Fail(ErrorCode::InvalidProcedureCall, "Character " + std::string(name) +
                                                   " at byte offset " + std::to_string(offset) +
                                                   " has no Windows-1252 form");
}

unsigned ByteAt(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

bool IsContinuation(unsigned byte) {
  return (byte & 0xC0U) == 0x80U;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::size_t highBytes = 0;
  for (const char c : bytes) highBytes += static_cast<unsigned char>(c) >> 7;
  if (highBytes == 0) return std::string(bytes);
  // Each high byte takes at most three bytes of UTF-8.
  std::string utf8(bytes.size() + 2 * highBytes, '\0');
  char* out = utf8.data();
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      *out++ = c;
    } else {
      const Utf8Form& form = kHighTable[byte - 0x80U];
      for (std::size_t k = 0; k < form.size; ++k) *out++ = form.bytes[k];
    }
  }
  utf8.resize(static_cast<std::size_t>(out - utf8.data()));
  return utf8;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at, char32_t& cp) {
  const unsigned lead = ByteAt(text, at);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1FU;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0FU;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07U;
    least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned next = ByteAt(text, at + k);
    if (!IsContinuation(next)) return 0;
    cp = (cp << 6) | (next & 0x3FU);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

Result<std::string> Utf8ToWindows1252(std::string_view utf8) {
  // Never longer than its UTF-8 form.
  std::string bytes(utf8.size(), '\0');
  char* out = bytes.data();
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned lead = ByteAt(utf8, i);
    if (lead < 0x80) {
      *out++ = static_cast<char>(lead);
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = Utf8SequenceLength(utf8, i, cp);
    if (length == 0) return InvalidUtf8(i);
    const int byte = ByteOf(cp);
    if (byte < 0) return NotInCodePage(cp, i);
    *out++ = static_cast<char>(byte);
    i += length;
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return bytes;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t length = maxBytes;
  // A continuation byte right after the cut means the cut splits a sequence
  // (at most three continuation bytes follow its lead).
  for (std::size_t back = 0; back < 3 && length > 0; ++back) {
    if ((static_cast<unsigned char>(text[length]) & 0xC0U) != 0x80U) break;
    --length;
  }
  return length;
}

std::string InputExcerpt(std::string_view text) {
  // The limit counts what the message shows: an escaped byte takes four.
  std::string excerpt;
  std::size_t shown = 0;
  for (; shown < text.size(); ++shown) {
    const auto byte = static_cast<unsigned char>(text[shown]);
    const bool escaped = byte < 0x20 || byte == 0x7F;
    if (excerpt.size() + (escaped ? 4 : 1) > limits::kMaxQuotedInputChars) break;
    if (escaped) {
      constexpr std::string_view kDigits = "0123456789ABCDEF";
      excerpt += "\\x";
      excerpt += kDigits[byte >> 4U];
      excerpt += kDigits[byte & 0xFU];
    } else {
      excerpt += text[shown];
    }
  }
  if (shown == text.size()) return excerpt;
  // Back to the start of a UTF-8 sequence that the cut would split (its
  // bytes are all shown as they are, one for one).
  excerpt.resize(excerpt.size() - (shown - Utf8PrefixLength(text, shown)));
  return excerpt + "...";
}

}  // namespace vistel
