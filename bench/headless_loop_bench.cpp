// How fast the headless host simulates a show: a minute of virtual time with
// the show window's timers, a 60-frame transition per screen and a JSON trace
// of every timer change must take milliseconds, not a minute.
#include <benchmark/benchmark.h>

#include <string>

#include "hosts/common/json_trace.hpp"
#include "hosts/headless/event_loop.hpp"

namespace vistel {
namespace {

void BM_SixtySecondShow(benchmark::State& state) {
  std::size_t traceBytes = 0;
  for (auto _ : state) {
    VirtualClock clock;
    JsonTrace trace(clock, [&](std::string_view line) { traceBytes += line.size(); });
    HeadlessEventLoop loop(clock, trace);
    int screens = 0;
    std::unique_ptr<Timer> interval;
    interval = loop.CreateTimer("timInterval", [&] {
      // A screen step: disable, present a transition pumping after every
      // frame, then re-enable with the new screen's interval.
      interval->SetEnabled(false);
      for (int frame = 0; frame < 60; ++frame) loop.AdvanceBy(16);
      interval->SetInterval(screens++ % 2 == 0 ? 3000 : 5000);
      interval->SetEnabled(true);
    });
    std::unique_ptr<Timer> reset;
    reset = loop.CreateTimer("timReset", [&] { reset->SetEnabled(false); });
    auto audio = loop.CreateTimer("tmrAudio", [] {});
    auto video = loop.CreateTimer("tmrVideo", [] {});
    reset->SetInterval(800);
    reset->SetEnabled(true);
    audio->SetInterval(500);
    audio->SetEnabled(true);
    video->SetInterval(500);
    loop.Timers().TraceInitialState();
    interval->SetInterval(4000);
    interval->SetEnabled(true);
    // A mouse move every 300 ms restarts timReset, as the window does.
    for (Milliseconds t = 300; t < 60'000; t += 300) {
      loop.ScheduleAt(t, [&] {
        reset->SetEnabled(false);
        reset->SetEnabled(true);
      });
    }
    loop.RunUntil(60'000);
    benchmark::DoNotOptimize(screens);
  }
  state.counters["trace_bytes_per_run"] =
      benchmark::Counter(static_cast<double>(traceBytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SixtySecondShow)->Unit(benchmark::kMillisecond);

void BM_TraceLine(benchmark::State& state) {
  VirtualClock clock;
  std::size_t bytes = 0;
  JsonTrace trace(clock, [&](std::string_view line) { bytes += line.size(); });
  const std::string path = "/tmp/vistel/img";
  for (auto _ : state) {
    trace.Write("effect",
                {{"code", std::int64_t{12}},
                 {"settings", std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
                 {"file", path}});
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_TraceLine);

}  // namespace
}  // namespace vistel
