// Input scripts for headless runs (--input): JSON lines, one event each,
//   {"t":MS,"ev":"mousemove","x":PX,"y":PX}
//   {"t":MS,"ev":"key","code":CHAR}
//   {"t":MS,"ev":"click","button":B,"x":PX,"y":PX}   (mouse button up on the surface)
// Times are virtual milliseconds since start (fractions round to the nearest
// ms); positions are pixels of the screen. Blank lines are skipped; fields
// other than these are ignored. Errors name the line and quote at most an
// excerpt of it. A script is untrusted: it may have at most
// limits::kMaxInputScriptBytes bytes, limits::kMaxInputEvents events and
// JSON nested limits::kMaxJsonNesting deep.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/error.hpp"
#include "hosts/headless/event_loop.hpp"

namespace vistel {

struct MouseMoveInput {
  double xPx = 0;
  double yPx = 0;
  friend bool operator==(const MouseMoveInput&, const MouseMoveInput&) = default;
};

struct KeyPressInput {
  int code = 0;  // the character code of the key press
  friend bool operator==(const KeyPressInput&, const KeyPressInput&) = default;
};

// Mouse buttons as the window runtime numbers them.
enum class MouseButton { Left = 1, Right = 2, Middle = 4 };

struct ClickInput {
  MouseButton button = MouseButton::Left;
  double xPx = 0;
  double yPx = 0;
  friend bool operator==(const ClickInput&, const ClickInput&) = default;
};

using InputAction = std::variant<MouseMoveInput, KeyPressInput, ClickInput>;

struct InputEvent {
  Milliseconds atMs = 0;
  InputAction action;
  friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

// The events of a script, ordered by time (events of equal time keep the
// order of the file).
Result<std::vector<InputEvent>> ParseInputScript(std::string_view text);
Result<std::vector<InputEvent>> ReadInputScript(const std::string& path);

// Schedules every event on the loop; `deliver` runs for each at its time.
void ScheduleInput(HeadlessEventLoop& loop, const std::vector<InputEvent>& events,
                   std::function<void(const InputEvent&)> deliver);

}  // namespace vistel
