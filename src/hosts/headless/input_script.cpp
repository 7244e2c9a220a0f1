#include "hosts/headless/input_script.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/input_limits.hpp"
#include "base/text.hpp"

namespace vistel {
namespace {

using nlohmann::json;

// Far beyond any run, small enough that ms and pixel arithmetic stay exact.
constexpr double kMaxTimeMs = 1e15;
constexpr double kMaxCoordinatePx = 1e6;

unexpected<Error> LineError(std::size_t line, const std::string& message) {
  return Fail(ErrorCode::InvalidProcedureCall,
              "input line " + std::to_string(line) + ": " + message);
}

// A field's value as a message shows it: a number or a text as written (an
// excerpt of a long one), a list or an object by its kind only.
std::string Shown(const json& value) {
  if (value.is_structured()) return std::string(value.is_array() ? "an array" : "an object");
  return InputExcerpt(value.dump());
}

// The parse of one line keeps only the top-level fields (the event reads
// nothing deeper, so what lies deeper is dropped as it is read) and stops at
// a nesting no event needs: a line of "[[[[" costs its bytes, not a document.
struct NestedTooDeep {};
bool KeepTopLevel(int depth, json::parse_event_t event, json& /*parsed*/) {
  const bool opens =
      event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
  if (opens && static_cast<std::size_t>(depth) >= limits::kMaxJsonNesting) throw NestedTooDeep{};
  return depth <= 1 || event == json::parse_event_t::object_end ||
         event == json::parse_event_t::array_end;
}

unexpected<Error> TooLarge(std::uint64_t bytes) {
  return Fail(ErrorCode::InvalidProcedureCall,
              "the input script has " + std::to_string(bytes) + " bytes, more than the " +
                  std::to_string(limits::kMaxInputScriptBytes) + " a script may have");
}

// A required number field within [low, high].
Result<double> NumberField(const json& object, const char* name, double low, double high,
                           std::size_t line) {
  const auto it = object.find(name);
  if (it == object.end()) {
    return LineError(line, std::string("missing \"") + name + "\"");
  }
  if (!it->is_number()) {
    return LineError(line, std::string("\"") + name + "\" must be a number, got " + Shown(*it));
  }
  const double value = it->get<double>();
  if (!std::isfinite(value) || value < low || value > high) {
    return LineError(line, std::string("\"") + name + "\" out of range: " + Shown(*it));
  }
  return value;
}

Result<int> IntegerField(const json& object, const char* name, int low, int high,
                         std::size_t line) {
  auto value = NumberField(object, name, low, high, line);
  if (!value) return Fail(value.error());
  if (*value != std::floor(*value)) {
    return LineError(line, std::string("\"") + name + "\" must be a whole number");
  }
  return static_cast<int>(*value);
}

Result<InputEvent> ParseEvent(const json& object, std::size_t line) {
  if (!object.is_object()) return LineError(line, "expected a JSON object");
  auto t = NumberField(object, "t", 0, kMaxTimeMs, line);
  if (!t) return Fail(t.error());
  const auto ev = object.find("ev");
  if (ev == object.end() || !ev->is_string()) {
    return LineError(line, "missing \"ev\" (mousemove, key or click)");
  }
  InputEvent event;
  event.atMs = static_cast<Milliseconds>(std::llround(*t));
  const auto& kind = ev->get_ref<const std::string&>();
  if (kind == "mousemove" || kind == "click") {
    auto x = NumberField(object, "x", -kMaxCoordinatePx, kMaxCoordinatePx, line);
    if (!x) return Fail(x.error());
    auto y = NumberField(object, "y", -kMaxCoordinatePx, kMaxCoordinatePx, line);
    if (!y) return Fail(y.error());
    if (kind == "mousemove") {
      event.action = MouseMoveInput{*x, *y};
    } else {
      auto button = IntegerField(object, "button", 1, 4, line);
      if (!button) return Fail(button.error());
      if (*button == 3)
        return LineError(line, "\"button\" must be 1 (left), 2 (right) or 4 (middle)");
      event.action = ClickInput{static_cast<MouseButton>(*button), *x, *y};
    }
  } else if (kind == "key") {
    auto code = IntegerField(object, "code", 0, 65535, line);
    if (!code) return Fail(code.error());
    event.action = KeyPressInput{*code};
  } else {
    return LineError(
        line, "unknown \"ev\" \"" + InputExcerpt(kind) + "\" (expected mousemove, key or click)");
  }
  return event;
}

}  // namespace

Result<std::vector<InputEvent>> ParseInputScript(std::string_view text) {
  if (text.size() > limits::kMaxInputScriptBytes) return TooLarge(text.size());
  std::vector<InputEvent> events;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    std::string_view line =
        text.substr(start, end == std::string_view::npos ? text.npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNumber;
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    json object;
    try {
      object = json::parse(line.begin(), line.end(), KeepTopLevel, /*allow_exceptions=*/false);
    } catch (const NestedTooDeep&) {
      return LineError(lineNumber, "nested more than " + std::to_string(limits::kMaxJsonNesting) +
                                       " levels deep");
    }
    if (object.is_discarded()) return LineError(lineNumber, "not valid JSON");
    auto event = ParseEvent(object, lineNumber);
    if (!event) return Fail(event.error());
    if (events.size() == limits::kMaxInputEvents) {
      return LineError(lineNumber, "more than " + std::to_string(limits::kMaxInputEvents) +
                                       " events in one script");
    }
    events.push_back(std::move(*event));
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const InputEvent& a, const InputEvent& b) { return a.atMs < b.atMs; });
  return events;
}

Result<std::vector<InputEvent>> ReadInputScript(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return Fail(ErrorCode::FileNotFound, "cannot open the input file " + path);
  // Sized once, before anything is read; a file that grows meanwhile is read
  // only as far as that size.
  const std::streamoff size = file.tellg();
  if (size < 0) return Fail(ErrorCode::DeviceIoError, "cannot read the input file " + path);
  if (static_cast<std::uint64_t>(size) > limits::kMaxInputScriptBytes) {
    return Fail(ErrorCode::InvalidProcedureCall,
                path + ": " + TooLarge(static_cast<std::uint64_t>(size)).error().description);
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  file.seekg(0);
  file.read(text.data(), size);
  if (file.bad()) return Fail(ErrorCode::DeviceIoError, "cannot read the input file " + path);
  text.resize(static_cast<std::size_t>(file.gcount()));
  auto events = ParseInputScript(text);
  if (!events)
    return Fail(ErrorCode::InvalidProcedureCall, path + ": " + events.error().description);
  return events;
}

void ScheduleInput(HeadlessEventLoop& loop, const std::vector<InputEvent>& events,
                   std::function<void(const InputEvent&)> deliver) {
  auto shared = std::make_shared<std::function<void(const InputEvent&)>>(std::move(deliver));
  for (const auto& event : events) {
    loop.ScheduleAt(event.atMs, [shared, event] { (*shared)(event); });
  }
}

}  // namespace vistel
