#include "system/regedit_file.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace vistel {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kWrapColumn = 80;
// A registry file is small; refuse anything that could not be one rather than
// allocate whatever size a damaged file claims.
constexpr std::uint64_t kMaxFileBytes = 64U << 20U;

constexpr std::array<RegHive, 4> kHives = {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine,
                                           kHkeyUsers};

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1..maxDigits hex digits making up all of text.
std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

// ---------------------------------------------------------------- writing

void AppendHexByte(std::string& out, std::uint8_t byte) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  out.push_back(kDigits[byte >> 4U]);
  out.push_back(kDigits[byte & 0xFU]);
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// A REG_SZ fits the quoted form when it is one NUL-terminated line.
bool FitsQuoted(const std::vector<std::uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

void AppendValue(std::string& out, const RegValue& value) {
  const std::size_t lineStart = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    out += '"';
    AppendEscaped(out, value.name);
    out += '"';
  }
  out += '=';
  if (value.type == kRegSz && FitsQuoted(value.data)) {
    out += '"';
    AppendEscaped(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                        value.data.size() - 1));
    out += '"';
  } else if (value.type == kRegDword && value.data.size() == 4) {
    out += "dword:";
    for (std::size_t i = 4; i-- > 0;) AppendHexByte(out, value.data[i]);
  } else {
    if (value.type == kRegBinary) {
      out += "hex:";
    } else {
      out += "hex(";
      constexpr std::string_view kDigits = "0123456789abcdef";
      std::string type;
      std::uint32_t t = value.type;
      do {
        type.insert(type.begin(), kDigits[t & 0xFU]);
        t >>= 4U;
      } while (t != 0);
      out += type;
      out += "):";
    }
    std::size_t column = out.size() - lineStart;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
      // Room for "xx," and a possible trailing "\" within the wrap column.
      if (i > 0 && column + 4 > kWrapColumn) {
        out += '\\';
        out += kCrLf;
        out += "  ";
        column = 2;
      }
      AppendHexByte(out, value.data[i]);
      column += 2;
      if (i + 1 < value.data.size()) {
        out += ',';
        ++column;
      }
    }
  }
  out += kCrLf;
}

// ---------------------------------------------------------------- reading

struct LogicalLine {
  std::size_t number = 0;
  std::string text;
};

// Splits into lines (LF or CR LF), drops blank and comment lines and joins
// continuation lines, keeping the number of each entry's first line.
std::vector<LogicalLine> SplitLines(std::string_view text) {
  std::vector<LogicalLine> lines;
  bool continuing = false;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimRight(line);
    if (continuing) {
      lines.back().text += TrimLeft(line);
    } else {
      const std::string_view content = TrimLeft(line);
      if (content.empty() || content.front() == ';') continue;
      lines.push_back(LogicalLine{number, std::string(content)});
    }
    // Only value lines continue; a key line ends with "]".
    std::string& current = lines.back().text;
    continuing = !current.empty() && current.back() == '\\' && current.front() != '[';
    if (continuing) current.pop_back();
  }
  return lines;
}

struct PendingEntry {
  RegHive hive = 0;
  std::string path;
  std::optional<RegValue> value;  // none: the key line itself
};

class LineParser {
 public:
  explicit LineParser(std::string_view text) : rest_(text) {}

  // A quoted string starting at the current position, escapes resolved.
  std::optional<std::string> QuotedString() {
    if (rest_.empty() || rest_.front() != '"') return std::nullopt;
    rest_.remove_prefix(1);
    std::string text;
    while (!rest_.empty()) {
      const char c = rest_.front();
      rest_.remove_prefix(1);
      if (c == '"') return text;
      if (c == '\\' && !rest_.empty() && (rest_.front() == '\\' || rest_.front() == '"')) {
        text.push_back(rest_.front());
        rest_.remove_prefix(1);
      } else {
        text.push_back(c);
      }
    }
    return std::nullopt;
  }

  bool Consume(char c) {
    rest_ = TrimLeft(rest_);
    if (rest_.empty() || rest_.front() != c) return false;
    rest_.remove_prefix(1);
    rest_ = TrimLeft(rest_);
    return true;
  }

  bool ConsumeNoCase(std::string_view word) {
    if (!StartsWithNoCase(rest_, word)) return false;
    rest_.remove_prefix(word.size());
    return true;
  }

  void Skip(std::size_t count) { rest_.remove_prefix(std::min(count, rest_.size())); }
  std::string_view Rest() const { return rest_; }
  bool AtEnd() const { return TrimLeft(rest_).empty(); }

 private:
  std::string_view rest_;
};

// "01,02, ff" (blanks allowed, a trailing comma tolerated) as bytes.
std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  text = TrimLeft(TrimRight(text));
  if (!text.empty() && text.back() == ',') text = TrimRight(text.substr(0, text.size() - 1));
  if (text.empty()) return bytes;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = TrimLeft(TrimRight(text.substr(0, comma)));
    const auto byte = ParseHex(item, 2);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*byte));
    if (comma == std::string_view::npos) return bytes;
    text.remove_prefix(comma + 1);
  }
}

class RegeditReader {
 public:
  expected<void, RegeditParseError> Read(std::string_view text) {
    if (StartsWithNoCase(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::vector<LogicalLine> lines = SplitLines(text);
    if (lines.empty() || lines.front().text != kHeader) {
      const std::size_t at = lines.empty() ? 1 : lines.front().number;
      if (!lines.empty() && StartsWithNoCase(lines.front().text, "Windows Registry Editor")) {
        return Error(at, "only REGEDIT4 files are supported, not \"" + lines.front().text + "\"");
      }
      return Error(at, "the file does not start with \"REGEDIT4\"");
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
      line_ = lines[i].number;
      // A lone "\" continues into nothing.
      if (lines[i].text.empty()) return Error("a continuation line continues nothing");
      auto status =
          lines[i].text.front() == '[' ? KeyLine(lines[i].text) : ValueLine(lines[i].text);
      if (!status) return status;
    }
    return {};
  }

  void Apply(MemoryRegistry& registry) {
    for (PendingEntry& entry : entries_) {
      if (entry.value) {
        registry.PutValue(entry.hive, entry.path, std::move(*entry.value));
      } else {
        registry.PutKey(entry.hive, entry.path);
      }
    }
  }

 private:
  unexpected<RegeditParseError> Error(std::size_t line, std::string message) const {
    return unexpected<RegeditParseError>(RegeditParseError{line, std::move(message)});
  }
  unexpected<RegeditParseError> Error(std::string message) const {
    return Error(line_, std::move(message));
  }

  expected<void, RegeditParseError> KeyLine(std::string_view text) {
    const std::size_t close = text.rfind(']');
    if (close == std::string_view::npos) return Error("a key line lacks its closing \"]\"");
    if (!TrimLeft(text.substr(close + 1)).empty()) {
      return Error("unexpected text after the key's closing \"]\"");
    }
    const std::string_view full = text.substr(1, close - 1);
    if (!full.empty() && full.front() == '-') return Error("deleting keys is not supported");
    const std::size_t slash = full.find('\\');
    const std::string_view rootName = full.substr(0, slash);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view() : full.substr(slash + 1);
    std::optional<RegHive> hive;
    for (RegHive h : kHives) {
      if (rootName.size() == HiveName(h).size() && StartsWithNoCase(rootName, HiveName(h)))
        hive = h;
    }
    if (!hive) return Error("unknown root key \"" + std::string(rootName) + "\"");
    if (slash != std::string_view::npos &&
        (path.empty() || path.back() == '\\' || path.find("\\\\") != std::string_view::npos)) {
      return Error("the key path \"" + std::string(full) + "\" has an empty part");
    }
    hive_ = *hive;
    path_ = std::string(path);
    haveKey_ = true;
    entries_.push_back(PendingEntry{hive_, path_, std::nullopt});
    return {};
  }

  expected<void, RegeditParseError> ValueLine(std::string_view text) {
    if (!haveKey_) return Error("a value comes before any [key] line");
    LineParser parser(text);
    RegValue value;
    if (text.front() == '@') {
      parser.Consume('@');
    } else {
      auto name = parser.QuotedString();
      if (!name) return Error("expected a quoted value name or @ (unterminated or missing quote)");
      value.name = std::move(*name);
    }
    if (!parser.Consume('=')) return Error("expected \"=\" after the value name");
    if (parser.Rest().starts_with('"')) {
      auto data = parser.QuotedString();
      if (!data) return Error("the string value has no closing quote");
      if (!parser.AtEnd()) return Error("unexpected text after the string value");
      value.type = kRegSz;
      value.data.assign(data->begin(), data->end());
      value.data.push_back(0);
    } else if (parser.ConsumeNoCase("dword:")) {
      const auto number = ParseHex(TrimRight(parser.Rest()), 8);
      if (!number) return Error("a dword needs 1 to 8 hex digits");
      value.type = kRegDword;
      for (unsigned shift = 0; shift < 32; shift += 8) {
        value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
      }
    } else if (parser.ConsumeNoCase("hex")) {
      value.type = kRegBinary;
      if (parser.Rest().starts_with('(')) {
        const std::size_t close = parser.Rest().find(')');
        const auto type = close == std::string_view::npos
                              ? std::nullopt
                              : ParseHex(parser.Rest().substr(1, close - 1), 8);
        if (!type) return Error("hex(N) needs a type of 1 to 8 hex digits");
        value.type = *type;
        parser.Skip(close + 1);
      }
      if (!parser.ConsumeNoCase(":")) return Error("expected \":\" after hex");
      auto bytes = ParseHexList(parser.Rest());
      if (!bytes) return Error("hex data must be two-digit hex bytes separated by commas");
      value.data = std::move(*bytes);
    } else if (parser.Rest().starts_with('-')) {
      return Error("deleting values is not supported");
    } else {
      return Error("expected a quoted string, dword: or hex: after \"=\"");
    }
    entries_.push_back(PendingEntry{hive_, path_, std::move(value)});
    return {};
  }

  std::vector<PendingEntry> entries_;
  std::size_t line_ = 0;
  bool haveKey_ = false;
  RegHive hive_ = 0;
  std::string path_;
};

Result<std::string> ReadWholeFile(FileSystem& files, std::string_view path) {
  auto file = files.OpenRead(path);
  if (!file) return Fail(file.error());
  const std::uint64_t size = (*file)->Size();
  if (size > kMaxFileBytes) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "registry file " + std::string(path) + " is too large to be a registry file");
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    auto read = (*file)->ReadAt(
        done, std::as_writable_bytes(std::span<char>(text.data() + done, text.size() - done)));
    if (!read) return Fail(read.error());
    if (*read == 0) break;
    done += *read;
  }
  text.resize(done);
  return text;
}

}  // namespace

std::string RegeditParseError::ToText() const {
  return "line " + std::to_string(line) + ": " + message;
}

expected<void, RegeditParseError> ParseRegedit(std::string_view text, MemoryRegistry& registry) {
  RegeditReader reader;
  auto status = reader.Read(text);
  if (!status) return status;
  reader.Apply(registry);
  return {};
}

Result<std::string> FormatRegedit(const MemoryRegistry& registry) {
  std::string out(kHeader);
  out += kCrLf;
  for (const RegKeyView& key : registry.Keys()) {
    if (HasLineBreak(key.path)) {
      return Fail(ErrorCode::InvalidProcedureCall,
                  "a registry key name holds a line break, which a REGEDIT4 file cannot carry");
    }
    out += kCrLf;
    out += '[';
    out += HiveName(key.hive);
    if (!key.path.empty()) {
      out += '\\';
      out += key.path;
    }
    out += ']';
    out += kCrLf;
    for (const RegValue& value : key.values) {
      if (HasLineBreak(value.name)) {
        return Fail(ErrorCode::InvalidProcedureCall,
                    "a registry value name holds a line break, which a REGEDIT4 file cannot "
                    "carry");
      }
      AppendValue(out, value);
    }
  }
  out += kCrLf;
  return out;
}

Status LoadRegeditFile(FileSystem& files, std::string_view path, MemoryRegistry& registry) {
  if (!files.Exists(path)) return {};
  auto text = ReadWholeFile(files, path);
  if (!text) return Fail(text.error());
  auto parsed = ParseRegedit(*text, registry);
  if (!parsed) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "registry file " + std::string(path) + ", " + parsed.error().ToText());
  }
  return {};
}

Status SaveRegeditFile(FileSystem& files, std::string_view path, const MemoryRegistry& registry) {
  auto text = FormatRegedit(registry);
  if (!text) return Fail(text.error());
  return ReplaceFile(files, path, [&](OutputFile& file) {
    return file.Write(std::as_bytes(std::span<const char>(*text)));
  });
}

}  // namespace vistel
