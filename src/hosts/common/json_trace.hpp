// The trace as JSON lines: {"t":MS,"ev":"NAME",...fields in the order given}.
//
// Every line is complete and flushed before Write returns, so a crash keeps
// everything traced up to it. The writer never produces invalid JSON: string
// bytes that are not valid UTF-8 become U+FFFD, control characters are
// escaped, and numbers that JSON cannot express (NaN, infinities) become null.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "runtime/events.hpp"
#include "runtime/trace.hpp"

namespace vistel {

// Receives each finished line, newline included.
using TraceLineSink = std::function<void(std::string_view line)>;

class JsonTrace final : public Trace {
 public:
  // `clock` gives each line's "t" and must outlive the trace.
  JsonTrace(const Clock& clock, TraceLineSink sink);

  // A trace into a file, created or truncated now; never through a link at
  // its name (refused, with the reason).
  static Result<std::unique_ptr<JsonTrace>> OpenFile(const Clock& clock, const std::string& path);

  bool Enabled() const override { return true; }
  void Write(std::string_view ev, std::initializer_list<TraceField> fields) override;

 private:
  const Clock& clock_;
  TraceLineSink sink_;
  std::mutex mutex_;  // a host may trace from an audio or decoder thread
  std::string line_;  // reused buffer
};

// The pieces, for other writers of JSON and for tests.
void AppendJsonString(std::string& out, std::string_view text);
void AppendJsonNumber(std::string& out, std::int64_t value);
void AppendJsonNumber(std::string& out, double value);
void AppendJsonValue(std::string& out, const TraceValue& value);
// One trace line without its newline.
std::string FormatTraceLine(Milliseconds t, std::string_view ev,
                            std::initializer_list<TraceField> fields);

}  // namespace vistel
