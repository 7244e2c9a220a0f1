#include "hosts/common/desktop_run.hpp"

#include <optional>

#include "hosts/common/player_process.hpp"

namespace vistel {

int RunDesktop(SharedHost& host, const std::function<void()>& run, std::ostream& errors) {
  int code = 0;
  std::optional<std::string> reason;
  try {
    run();
  } catch (const ProcessEnded& ended) {
    code = ended.exitCode;
  } catch (const Terminated& terminated) {
    reason = terminated.reason;
  }
  if (auto saved = host.WriteBackRegistry(); !saved) {
    errors << "vistel-player: the registry was not written back: " << saved.error().description
           << '\n';
    if (code == 0) code = 1;
  }
  Trace& trace = host.Tracer();
  if (trace.Enabled()) {
    if (reason) {
      trace.Write("exit", {{"code", std::int64_t{code}}, {"reason", *reason}});
    } else {
      trace.Write("exit", {{"code", std::int64_t{code}}});
    }
  }
  return code;
}

}  // namespace vistel
