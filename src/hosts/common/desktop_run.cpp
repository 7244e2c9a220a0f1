#include "hosts/common/desktop_run.hpp"

#include <optional>

#include "base/text.hpp"
#include "hosts/common/player_process.hpp"
#include "runtime/message_box.hpp"

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

void ReportMessageBox(Trace& trace, std::ostream& errors, std::string_view text,
                      std::uint32_t style, std::string_view title) {
  const std::string textUtf8 = Windows1252ToUtf8(text);
  const std::string titleUtf8 = Windows1252ToUtf8(title.empty() ? kApplicationTitle : title);
  if (trace.Enabled()) {
    trace.Write(
        "msgbox",
        {{"text", textUtf8}, {"style", static_cast<std::int64_t>(style)}, {"title", titleUtf8}});
  }
  errors << titleUtf8 << ": " << textUtf8 << '\n';
  errors.flush();
}

}  // namespace vistel
