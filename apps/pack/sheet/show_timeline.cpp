#include "sheet/show_timeline.hpp"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace vistel::pack {
namespace {

using Json = nlohmann::json;

// Times beyond a century of show are no time a run can reach.
constexpr double kMaxTraceMs = 1e13;

std::optional<Milliseconds> TimeOf(const Json& value) {
  if (!value.is_number()) return std::nullopt;
  const double ms = value.get<double>();
  if (!std::isfinite(ms) || ms < 0 || ms > kMaxTraceMs) return std::nullopt;
  return static_cast<Milliseconds>(std::llround(ms));
}

std::optional<int> IntOf(const Json& event, const char* name) {
  const auto found = event.find(name);
  if (found == event.end() || !found->is_number_integer()) return std::nullopt;
  const auto value = found->get<std::int64_t>();
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::string TextOf(const Json& event, const char* name) {
  const auto found = event.find(name);
  return found != event.end() && found->is_string() ? found->get<std::string>() : std::string();
}

class TimelineBuilder {
 public:
  void Add(const Json& event, Milliseconds traced) {
    // The player writes its events in time order; a time that went back
    // counts as the latest, so steps stay ordered and never end before
    // they start.
    const Milliseconds t = std::max(traced, timeline_.endMs);
    timeline_.endMs = t;
    const std::string ev = TextOf(event, "ev");
    if (ev == "screen") {
      const auto index = IntOf(event, "index");
      if (!index || timeline_.steps.size() >= kMaxTimelineSteps) return;
      if (ScreenStep* last = Current()) last->endMs = t;
      timeline_.steps.push_back({});
      timeline_.steps.back().index = *index;
      timeline_.steps.back().startMs = t;
      return;
    }
    ScreenStep* step = Current();
    if (ev == "exit") {
      timeline_.exitCode = IntOf(event, "code");
      timeline_.exitReason = TextOf(event, "reason");
    } else if (ev == "msgbox") {
      if (timeline_.messages.size() < 16) timeline_.messages.push_back(TextOf(event, "text"));
    } else if (!step) {
      return;
    } else if (ev == "effect") {
      const auto code = IntOf(event, "code");
      if (!code) return;
      step->effectMs = t;
      step->effectCode = *code;
      step->effectSettings = {};
      if (const auto s = event.find("settings"); s != event.end() && s->is_array()) {
        for (std::size_t i = 0; i < std::min<std::size_t>(s->size(), 14); ++i) {
          const Json& v = (*s)[i];
          if (v.is_number_integer()) {
            step->effectSettings[i] = static_cast<std::int32_t>(
                std::clamp<std::int64_t>(v.get<std::int64_t>(), INT32_MIN, INT32_MAX));
          }
        }
      }
    } else if (ev == "crossfade") {
      step->crossfadeEndMs = t;
      step->crossfadeSteps = IntOf(event, "steps").value_or(0);
      step->crossfadeFrames = std::max(IntOf(event, "frames").value_or(0), 0);
    } else if (ev == "reveal") {
      if (IntOf(event, "index") == step->index && !step->revealMs) step->revealMs = t;
    } else if (ev == "video") {
      const std::string state = TextOf(event, "state");
      if (state == "playing" && !step->clipStartMs) step->clipStartMs = t;
      if (state == "ended" && !step->clipEndMs) step->clipEndMs = t;
    }
  }

  ShowTimeline Finish() {
    if (ScreenStep* last = Current()) {
      last->endMs = timeline_.endMs;
      last->lastOfRun = true;
    }
    return std::move(timeline_);
  }

 private:
  ScreenStep* Current() { return timeline_.steps.empty() ? nullptr : &timeline_.steps.back(); }

  ShowTimeline timeline_;
};

}  // namespace

Result<ShowTimeline> ReadShowTimeline(std::string_view trace) {
  TimelineBuilder builder;
  bool anyEvent = false;
  while (!trace.empty()) {
    const std::size_t end = std::min(trace.find('\n'), trace.size());
    const std::string_view line = trace.substr(0, end);
    trace.remove_prefix(std::min(end + 1, trace.size()));
    if (line.empty() || line.size() > kMaxTraceLineBytes) continue;
    const Json event = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (!event.is_object()) continue;
    const auto t = event.find("t");
    const auto ev = event.find("ev");
    if (t == event.end() || ev == event.end() || !ev->is_string()) continue;
    const auto ms = TimeOf(*t);
    if (!ms) continue;
    anyEvent = true;
    builder.Add(event, *ms);
  }
  if (!anyEvent) return Fail(ErrorCode::InvalidPackage, "the trace holds no event");
  return builder.Finish();
}

std::optional<Milliseconds> RestMoment(const ScreenStep& step) {
  if (!step.revealMs || step.endMs - *step.revealMs < 2) return std::nullopt;
  const Milliseconds rest = step.endMs - *step.revealMs;
  return *step.revealMs + std::min<Milliseconds>(rest / 2, 1000);
}

std::optional<Milliseconds> TransitionMoment(const ScreenStep& step, Milliseconds frameMs) {
  Milliseconds from = 0, to = 0;
  if (step.crossfadeEndMs && step.crossfadeFrames > 0) {
    to = *step.crossfadeEndMs;
    from = std::max(step.startMs, to - step.crossfadeFrames * frameMs);
  } else if (step.effectMs && step.revealMs) {
    from = *step.effectMs;
    to = *step.revealMs;
  } else {
    return std::nullopt;
  }
  if (to - from < 2) return std::nullopt;
  return from + (to - from) / 2;
}

std::vector<std::optional<std::size_t>> StepOfEachScreen(const ShowTimeline& timeline,
                                                         std::size_t screenCount) {
  std::vector<std::optional<std::size_t>> chosen(screenCount);
  std::vector<bool> rested(screenCount, false);
  for (std::size_t i = 0; i < timeline.steps.size(); ++i) {
    const ScreenStep& step = timeline.steps[i];
    if (step.index < 0 || static_cast<std::size_t>(step.index) >= screenCount) continue;
    const auto index = static_cast<std::size_t>(step.index);
    if (rested[index]) continue;
    const bool rests = RestMoment(step).has_value();
    if (!chosen[index] || rests) chosen[index] = i;
    rested[index] = rests;
  }
  return chosen;
}

}  // namespace vistel::pack
