#include "hosts/headless/headless_run.hpp"

#include <string>

namespace vistel {
namespace {

// Thrown by the --run-for event: unwinds everything the loop is running,
// however deeply pumps are nested, past the player's own handlers.
struct RunTimeUp {};

void TraceExit(Trace& trace, int code, std::optional<std::string_view> reason) {
  if (!trace.Enabled()) return;
  if (reason) {
    trace.Write("exit", {{"code", std::int64_t{code}}, {"reason", std::string(*reason)}});
  } else {
    trace.Write("exit", {{"code", std::int64_t{code}}});
  }
}

struct PendingSnapshot {
  HeadlessEventLoop::EventId id = 0;
  const SnapshotOption* option = nullptr;
};

std::vector<PendingSnapshot> ScheduleSnapshots(HeadlessHost& host,
                                               const std::vector<SnapshotOption>& snapshots,
                                               std::ostream& errors) {
  std::vector<PendingSnapshot> pending;
  for (const auto& snapshot : snapshots) {
    const auto id = host.Loop().ScheduleAt(snapshot.atMs, [&host, &errors, path = snapshot.path] {
      Trace& trace = host.Tracer();
      if (auto written = host.WriteSnapshot(path); !written) {
        errors << "vistel-player: snapshot " << path << ": " << written.error().description << '\n';
        if (trace.Enabled()) {
          trace.Write("snapshot", {{"path", path}, {"error", written.error().description}});
        }
        return;
      }
      if (trace.Enabled()) {
        const IntSize size = host.HeadlessShow().Compose().Extent();
        trace.Write("snapshot", {{"path", path},
                                 {"width", std::int64_t{size.width}},
                                 {"height", std::int64_t{size.height}}});
      }
    });
    pending.push_back({id, &snapshot});
  }
  return pending;
}

// A snapshot asked for after the run's end is never written; saying so spares
// a search for a file that cannot exist.
void ReportSnapshotsNotTaken(HeadlessHost& host, const std::vector<PendingSnapshot>& pending,
                             std::ostream& errors) {
  for (const auto& snapshot : pending) {
    if (host.Loop().Cancel(snapshot.id)) {
      errors << "vistel-player: snapshot " << snapshot.option->path << " at "
             << static_cast<double>(snapshot.option->atMs) / 1000.0
             << " s not taken: the run ended at "
             << static_cast<double>(host.Loop().NowMs()) / 1000.0 << " s\n";
    }
  }
}

// The end of every run: the registry goes back to its file, then `exit`.
int Finish(HeadlessHost& host, int code, std::optional<std::string_view> reason,
           std::ostream& errors) {
  if (auto saved = host.WriteBackRegistry(); !saved) {
    errors << "vistel-player: the registry was not written back: " << saved.error().description
           << '\n';
    if (code == 0) code = 1;
  }
  TraceExit(host.Tracer(), code, reason);
  return code;
}

}  // namespace

Result<HeadlessRunPlan> PlanOf(const PlayerOptions& options) {
  HeadlessRunPlan plan{options.runForMs, options.snapshots, {}};
  if (options.inputPath) {
    auto input = ReadInputScript(*options.inputPath);
    if (!input) return Fail(input.error());
    plan.input = std::move(*input);
  }
  return plan;
}

int RunHeadless(HeadlessHost& host, const HeadlessRunPlan& plan, const std::function<void()>& start,
                std::ostream& errors) {
  HeadlessEventLoop& loop = host.Loop();
  ScheduleInput(loop, plan.input, [&host](const InputEvent& event) { host.DeliverInput(event); });
  const auto snapshots = ScheduleSnapshots(host, plan.snapshots, errors);
  if (plan.runForMs) {
    loop.ScheduleAt(*plan.runForMs, [] { throw RunTimeUp{}; });
    host.HeadlessShow().SetEndOfRun(plan.runForMs);
  }

  int code = 0;
  std::optional<std::string_view> reason;
  try {
    start();
    const auto end = loop.Run();
    reason = end == HeadlessEventLoop::RunEnd::Idle ? "idle" : "stopped";
  } catch (const RunTimeUp&) {
    reason = "run-for";
  } catch (const ProcessEnded& ended) {
    code = ended.exitCode;
  }
  ReportSnapshotsNotTaken(host, snapshots, errors);
  return Finish(host, code, reason, errors);
}

}  // namespace vistel
