#include "hosts/sdl/sdl_run.hpp"

#include <optional>
#include <string>

#include "hosts/sdl/termination.hpp"

namespace vistel {

int RunDesktop(SdlHost& host, const std::function<void()>& start, std::ostream& errors) {
  int code = 0;
  std::optional<std::string> reason;
  try {
    start();
    host.Loop().Run();
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
