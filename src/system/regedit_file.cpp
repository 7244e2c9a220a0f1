#include "system/regedit_file.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "base/input_limits.hpp"
#include "base/text.hpp"

namespace vistel {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kWrapColumn = 80;

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
  std::size_t number = 0;  // of the entry's first line
  std::string text;
};

// The entries of the text one by one: lines split at LF (or CR LF), blank
// and comment lines dropped, continuation lines joined. Only the line at hand
// is held, so reading costs the longest entry, not the whole file again.
class LogicalLines {
 public:
  explicit LogicalLines(std::string_view text) : rest_(text) {}

  bool Next(LogicalLine& out) {
    bool continuing = false;
    while (!rest_.empty()) {
      const std::size_t end = rest_.find('\n');
      std::string_view line = rest_.substr(0, end);
      rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
      ++number_;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      line = TrimRight(line);
      if (continuing) {
        out.text += TrimLeft(line);
      } else {
        const std::string_view content = TrimLeft(line);
        if (content.empty() || content.front() == ';') continue;
        out.number = number_;
        out.text.assign(content);
      }
      // Only value lines continue; a key line ends with "]".
      continuing = !out.text.empty() && out.text.back() == '\\' && out.text.front() != '[';
      if (!continuing) return true;
      out.text.pop_back();
    }
    return continuing;  // a continuation at the very end ends the entry
  }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
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
  // `base` entries are in the registry the file is read into already.
  explicit RegeditReader(std::size_t base) : base_(base) {}

  expected<void, RegeditParseError> Read(std::string_view text) {
    if (StartsWithNoCase(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
    LogicalLines lines(text);
    LogicalLine line;
    if (!lines.Next(line) || line.text != kHeader) {
      const std::size_t at = line.number == 0 ? 1 : line.number;
      if (StartsWithNoCase(line.text, "Windows Registry Editor")) {
        return Error(at,
                     "only REGEDIT4 files are supported, not \"" + InputExcerpt(line.text) + "\"");
      }
      return Error(at, "the file does not start with \"REGEDIT4\"");
    }
    while (lines.Next(line)) {
      line_ = line.number;
      // A lone "\" continues into nothing.
      if (line.text.empty()) return Error("a continuation line continues nothing");
      auto status = line.text.front() == '[' ? KeyLine(line.text) : ValueLine(line.text);
      if (!status) return status;
      if (base_ + staged_.EntryCount() > limits::kMaxRegistryEntries) {
        return Error("the registry would hold more than " +
                     std::to_string(limits::kMaxRegistryEntries) + " keys and values");
      }
    }
    return {};
  }

  // What was read, to be merged into the registry once all of it is sound.
  MemoryRegistry& Staged() { return staged_; }

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
    if (!hive) return Error("unknown root key \"" + InputExcerpt(rootName) + "\"");
    const std::string quoted = "\"" + InputExcerpt(full) + "\"";
    switch (slash == std::string_view::npos ? RegPathProblem::None
            : path.empty()                  ? RegPathProblem::EmptyName
                                            : CheckRegPath(path)) {
      case RegPathProblem::None:
        break;
      case RegPathProblem::EmptyName:
        return Error("the key path " + quoted + " has an empty part");
      case RegPathProblem::NameTooLong:
        return Error("the key path " + quoted + " has a name longer than " +
                     std::to_string(limits::kMaxRegistryNameChars) + " characters");
      case RegPathProblem::TooDeep:
        return Error("the key path " + quoted + " is more than " +
                     std::to_string(limits::kMaxRegistryKeyDepth) + " keys deep");
    }
    if (haveKey_) staged_.CloseKey(key_);
    staged_.PutKey(*hive, path);
    haveKey_ = staged_.CreateKey(*hive, path, kKeyAllAccess, key_) == kErrorSuccess;
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
    staged_.SetValue(key_, value.name, value.type, value.data);
    return {};
  }

  std::size_t base_ = 0;
  MemoryRegistry staged_;
  std::size_t line_ = 0;
  bool haveKey_ = false;
  RegKeyHandle key_ = 0;
};

Result<std::string> ReadWholeFile(FileSystem& files, std::string_view path) {
  auto file = files.OpenRead(path);
  if (!file) return Fail(file.error());
  const std::uint64_t size = (*file)->Size();
  if (size > limits::kMaxRegistryFileBytes) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "registry file " + std::string(path) + " has " + std::to_string(size) +
                    " bytes, more than the " + std::to_string(limits::kMaxRegistryFileBytes) +
                    " a registry file may have");
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
  RegeditReader reader(registry.EntryCount());
  auto status = reader.Read(text);
  if (!status) return status;
  registry.MergeFrom(std::move(reader.Staged()));
  return {};
}

Result<std::string> FormatRegedit(const MemoryRegistry& registry) {
  // What the next start would refuse is not written: the old file stays.
  if (registry.EntryCount() > limits::kMaxRegistryEntries) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "the registry holds " + std::to_string(registry.EntryCount()) +
                    " keys and values, more than the " +
                    std::to_string(limits::kMaxRegistryEntries) + " a registry file may hold");
  }
  std::string out(kHeader);
  out += kCrLf;
  std::optional<Error> error;
  registry.ForEachKey([&](const RegKeyView& key) {
    if (error) return;
    // A key without values that has sub-keys is implied by their lines (the
    // reader creates every parent), so a deep key is written once, not once
    // per level. A hive's own key is not implied by its sub-keys: it is kept
    // when it was there.
    if (key.values.empty() && key.hasSubKeys && !key.path.empty()) return;
    if (HasLineBreak(key.path)) {
      error = Error(ErrorCode::InvalidProcedureCall,
                    "a registry key name holds a line break, which a REGEDIT4 file cannot carry");
      return;
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
        error = Error(ErrorCode::InvalidProcedureCall,
                      "a registry value name holds a line break, which a REGEDIT4 file cannot "
                      "carry");
        return;
      }
      AppendValue(out, value);
    }
    if (out.size() > limits::kMaxRegistryFileBytes) {
      error =
          Error(ErrorCode::InvalidProcedureCall, "the registry would make a file of more than " +
                                                     std::to_string(limits::kMaxRegistryFileBytes) +
                                                     " bytes, more than a registry file may have");
    }
  });
  if (error) return Fail(*error);
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
  return WriteWholeFile(files, path, [&](OutputFile& file) {
    return file.Write(std::as_bytes(std::span<const char>(*text)));
  });
}

}  // namespace vistel
