// One simulated run of the player on the headless host, from start to exit
// code: what the program's main does with --headless, kept apart from the
// player itself so that it can be tested with any start routine.
//
//   1. schedules the scripted input, the snapshots and the end of --run-for
//      on the loop (in that order, so at equal times input comes first and
//      a snapshot at the end time is still written);
//   2. calls `start` (the player's Main), then runs the loop;
//   3. ends in one of three ways, each writing the registry back and the
//      `exit` trace event:
//        - the process ends (ProcessEnded, thrown by EndProcess anywhere,
//          nested pumps included): `exit` {code};
//        - --run-for's time comes: the run ends at once and at exactly that
//          time, also in the middle of a nested pump or a transition's frame,
//          and without the unload step: `exit` {code 0, reason "run-for"};
//        - nothing can ever happen again (no timer, nothing scheduled):
//          `exit` {code 0, reason "idle"}.
//
// Snapshots are traced as `snapshot` {path, width, height}, or {path, error}
// when the file cannot be written (an event of this host); failures are also
// reported on `errors` and do not end the run. A snapshot whose time the run
// never reached is named on `errors` at the end. A registry that cannot be
// written back is reported on `errors`, and a run that would have ended with
// 0 then ends with 1: the run did not keep what the show wrote.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "hosts/common/player_options.hpp"
#include "hosts/headless/headless_host.hpp"
#include "hosts/headless/input_script.hpp"

namespace vistel {

struct HeadlessRunPlan {
  std::optional<Milliseconds> runForMs;
  std::vector<SnapshotOption> snapshots;
  std::vector<InputEvent> input;
};

// The plan of the player's options, with the input script read from
// --input; fails when that file cannot be read or is malformed.
Result<HeadlessRunPlan> PlanOf(const PlayerOptions& options);

// Runs and returns the process's exit code.
int RunHeadless(HeadlessHost& host, const HeadlessRunPlan& plan, const std::function<void()>& start,
                std::ostream& errors);

}  // namespace vistel
