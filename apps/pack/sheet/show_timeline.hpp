// What a show did, read back from the player's trace: one record per screen
// step (`screen` to the next `screen`), with its transition and the moment its
// revealing repaint returned. The contact sheet picks its snapshot times from
// it: a screen at rest is one whose reveal has returned and whose next step
// has not begun.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "runtime/events.hpp"

namespace vistel::pack {

struct ScreenStep {
  int index = 0;
  Milliseconds startMs = 0;  // `screen`
  // The revealing repaint: `effect` (its code and settings as the surface
  // then had them) and `reveal`, when the trace has them.
  std::optional<Milliseconds> effectMs;
  int effectCode = 0;
  std::array<std::int32_t, 14> effectSettings{};
  // A cross-fade that ran in this step: `crossfade` comes at its end.
  std::optional<Milliseconds> crossfadeEndMs;
  int crossfadeSteps = 0;
  int crossfadeFrames = 0;
  std::optional<Milliseconds> revealMs;
  // A clip that played in this step (`video` playing and ended).
  std::optional<Milliseconds> clipStartMs;
  std::optional<Milliseconds> clipEndMs;
  // The start of the next step, or the end of the run.
  Milliseconds endMs = 0;
  bool lastOfRun = false;
};

struct ShowTimeline {
  std::vector<ScreenStep> steps;
  Milliseconds endMs = 0;  // `exit`, or the last event's time
  std::optional<int> exitCode;
  std::string exitReason;             // "run-for", "idle", ... ("" when `exit` had none)
  std::vector<std::string> messages;  // `msgbox` texts, in order
};

// Bounds on what a trace may make the tool keep: a run long enough to reach
// every screen of a package has far fewer steps.
inline constexpr std::size_t kMaxTimelineSteps = 100000;
inline constexpr std::size_t kMaxTraceLineBytes = 1 << 20;

// Reads a trace (JSON lines). Lines that are no JSON object, events it does
// not know, and fields of the wrong type are passed over, as the trace's
// readers do; a `reveal` that does not name its step's screen is ignored,
// and a time earlier than one before it counts as that one.
// Fails when no line at all is a trace event.
Result<ShowTimeline> ReadShowTimeline(std::string_view trace);

// The moment to picture a step at rest: reveal + half the rest, at most one
// second after the reveal, so strictly between the reveal and the next step.
// None when the step was never revealed or rested less than 2 ms (no
// millisecond lies strictly inside).
std::optional<Milliseconds> RestMoment(const ScreenStep& step);

// The middle of the step's transition: of its cross-fade (which ends at
// `crossfade` after `frames` frames of frameMs each), or else of its paint
// effect (from `effect` to `reveal`). None for a transition of under 2 ms,
// such as the plain repaint.
std::optional<Milliseconds> TransitionMoment(const ScreenStep& step, Milliseconds frameMs);

// For each screen index below `screenCount`, the step that shows it on the
// sheet: the first step of that index that has a rest moment, or else the
// first step of that index; none when the run never reached it.
std::vector<std::optional<std::size_t>> StepOfEachScreen(const ShowTimeline& timeline,
                                                         std::size_t screenCount);

}  // namespace vistel::pack
