#include "hosts/common/json_trace.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>
#include <utility>

#include "platform/native_files.hpp"

namespace vistel {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

// Length of the well-formed UTF-8 sequence at the start of `rest`, or 0 when
// it is not one; `invalidLength` is then the number of bytes to replace by one
// U+FFFD (the maximal ill-formed prefix, at least 1), as Unicode recommends.
std::size_t Utf8SequenceLength(std::string_view rest, std::size_t& invalidLength) {
  const auto lead = static_cast<unsigned char>(rest[0]);
  std::size_t length = 0;
  unsigned char secondLow = 0x80;
  unsigned char secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;   // no overlong forms
    if (lead == 0xED) secondHigh = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;   // no overlong forms
    if (lead == 0xF4) secondHigh = 0x8F;  // nothing beyond U+10FFFF
  } else {
    invalidLength = 1;
    return 0;
  }
  std::size_t valid = 1;
  while (valid < length && valid < rest.size()) {
    const auto byte = static_cast<unsigned char>(rest[valid]);
    const bool fits = valid == 1 ? (byte >= secondLow && byte <= secondHigh) : IsContinuation(byte);
    if (!fits) break;
    ++valid;
  }
  if (valid == length) return length;
  invalidLength = valid;
  return 0;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      switch (byte) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (byte < 0x20) {
            out += "\\u00";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xFU];
          } else {
            out += static_cast<char>(byte);
          }
      }
      ++i;
      continue;
    }
    std::size_t invalidLength = 0;
    const std::size_t length = Utf8SequenceLength(text.substr(i), invalidLength);
    if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += kReplacementCharacter;
      i += invalidLength;
    }
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  // Shortest text that reads back as the same double; "1e+21" is valid JSON.
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendJsonValue(std::string& out, const TraceValue& value) {
  struct Visitor {
    std::string& out;
    void operator()(std::int64_t v) const { AppendJsonNumber(out, v); }
    void operator()(double v) const { AppendJsonNumber(out, v); }
    void operator()(bool v) const { out += v ? "true" : "false"; }
    void operator()(const std::string& v) const { AppendJsonString(out, v); }
    void operator()(const std::vector<double>& v) const {
      out += '[';
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (i > 0) out += ',';
        AppendJsonNumber(out, v[i]);
      }
      out += ']';
    }
  };
  std::visit(Visitor{out}, value);
}

namespace {

void AppendTraceLine(std::string& out, Milliseconds t, std::string_view ev,
                     std::initializer_list<TraceField> fields) {
  out += "{\"t\":";
  AppendJsonNumber(out, static_cast<std::int64_t>(t));
  out += ",\"ev\":";
  AppendJsonString(out, ev);
  for (const auto& [name, value] : fields) {
    out += ',';
    AppendJsonString(out, name);
    out += ':';
    AppendJsonValue(out, value);
  }
  out += '}';
}

}  // namespace

std::string FormatTraceLine(Milliseconds t, std::string_view ev,
                            std::initializer_list<TraceField> fields) {
  std::string line;
  AppendTraceLine(line, t, ev, fields);
  return line;
}

JsonTrace::JsonTrace(const Clock& clock, TraceLineSink sink)
    : clock_(clock), sink_(std::move(sink)) {}

void JsonTrace::Write(std::string_view ev, std::initializer_list<TraceField> fields) {
  std::lock_guard lock(mutex_);
  line_.clear();
  AppendTraceLine(line_, clock_.NowMs(), ev, fields);
  line_ += '\n';
  sink_(line_);
}

Result<std::unique_ptr<JsonTrace>> JsonTrace::OpenFile(const Clock& clock,
                                                       const std::string& path) {
  // Streamed while the player runs, so written in place: a link at the name
  // is refused rather than replaced.
  auto opened = OpenStreamingFile(path);
  if (!opened) {
    return Fail(ErrorCode::PathFileAccessError,
                "cannot create the trace file " + path + ": " + opened.error().description);
  }
  std::shared_ptr<OutputFile> file = std::move(*opened);
  auto sink = [file](std::string_view line) {
    // Each line reaches the file at once: what was traced survives a crash. A
    // failing write (disk full) is not the show's concern; the trace just
    // ends there.
    (void)file->Write(std::as_bytes(std::span(line.data(), line.size())));
  };
  return std::make_unique<JsonTrace>(clock, std::move(sink));
}

}  // namespace vistel
