// Fuzzes the reading of the player's trace by vistel-pack sheet: the trace
// carries texts and numbers from the package (message boxes, effect settings)
// and the times of a run. A timeline that reads keeps its steps in time
// order, within their bounds, and every moment it picks lies inside the
// step's rest or transition.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scratch_file.hpp"
#include "sheet/show_timeline.hpp"

using namespace vistel;
using namespace vistel::pack;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto timeline = ReadShowTimeline(text);
  if (!timeline) return 0;
  fuzz::Require(timeline->steps.size() <= kMaxTimelineSteps);
  Milliseconds previous = 0;
  for (const ScreenStep& step : timeline->steps) {
    fuzz::Require(step.startMs >= previous && step.endMs >= step.startMs);
    fuzz::Require(step.endMs <= timeline->endMs);
    previous = step.startMs;
    if (const auto rest = RestMoment(step)) {
      fuzz::Require(step.revealMs && *rest > *step.revealMs && *rest < step.endMs);
    }
    if (const auto middle = TransitionMoment(step, 16)) {
      fuzz::Require(*middle >= step.startMs && *middle <= timeline->endMs);
    }
  }
  const auto chosen = StepOfEachScreen(*timeline, 64);
  for (const auto& index : chosen) {
    fuzz::Require(!index || *index < timeline->steps.size());
  }
  return 0;
}
