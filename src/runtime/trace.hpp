// The trace: one JSON object per observable action, as JSON lines, each with
// "t" (ms since start, virtual or real) and "ev". Field values are numbers,
// Booleans, UTF-8 strings (callers convert ANSI texts first) or number lists.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vistel {

using TraceValue = std::variant<std::int64_t, double, bool, std::string, std::vector<double>>;
using TraceField = std::pair<std::string_view, TraceValue>;

class Trace {
 public:
  virtual ~Trace() = default;
  virtual bool Enabled() const = 0;
  virtual void Write(std::string_view ev, std::initializer_list<TraceField> fields) = 0;
};

// A trace that records nothing.
class NullTrace final : public Trace {
 public:
  bool Enabled() const override { return false; }
  void Write(std::string_view, std::initializer_list<TraceField>) override {}
};

}  // namespace vistel
