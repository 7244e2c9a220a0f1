#include "hosts/headless/headless_host.hpp"

#include <type_traits>
#include <utility>
#include <variant>

#include "media/ffmpeg/encoders.hpp"
#include "runtime/json_trace.hpp"
#include "system/regedit_file.hpp"

namespace vistel {
namespace {

template <class>
inline constexpr bool kAlwaysFalse = false;

// The trace file when one is asked for; a failure to create it is kept in
// `error` for Create to report (the host is built either way, so that its
// members can take the trace by reference).
std::unique_ptr<Trace> OpenTrace(const Clock& clock, const std::optional<std::string>& path,
                                 std::optional<Error>& error) {
  if (!path) return std::make_unique<NullTrace>();
  auto trace = JsonTrace::OpenFile(clock, *path);
  if (!trace) {
    error = trace.error();
    return std::make_unique<NullTrace>();
  }
  return std::move(*trace);
}

std::string ParentFolder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "";
  return path.substr(0, slash);
}

}  // namespace

HeadlessHost::HeadlessHost(const PlayerOptions& options, std::string playerPath)
    : trace_(OpenTrace(clock_, options.tracePath, traceError_)),
      loop_(clock_, *trace_),
      display_(options.screenSizePx, options.windows),
      messages_(*trace_),
      password_(options.passwordReplies, *trace_),
      process_(std::move(playerPath)),
      os_(VersionRecordOf(options.os)),
      tracedRegistry_(registry_, *trace_),
      registryPath_(options.registryPath),
      folders_(LinuxFolderOverrides{options.tempDir, options.systemDir}),
      files_(MakeNativeFileSystem()),
      audio_(clock_),
      mci_(audio_),
      tracedMci_(mci_, *trace_),
      showWindow_(display_, loop_, *trace_, options.frameMs) {}

HeadlessHost::~HeadlessHost() = default;

Result<std::unique_ptr<HeadlessHost>> HeadlessHost::Create(const PlayerOptions& options,
                                                           std::string playerPath) {
  // Not make_unique: the constructor is private.
  std::unique_ptr<HeadlessHost> host(new HeadlessHost(options, std::move(playerPath)));
  if (host->traceError_) return Fail(*host->traceError_);
  if (host->registryPath_) {
    if (auto loaded = LoadRegeditFile(*host->files_, *host->registryPath_, host->registry_);
        !loaded) {
      return Fail(loaded.error());
    }
  }
  return host;
}

Status HeadlessHost::WriteBackRegistry() {
  if (!registryPath_) return {};
  return SaveRegeditFile(*files_, *registryPath_, registry_);
}

Status HeadlessHost::WriteSnapshot(const std::string& path) {
  if (const std::string folder = ParentFolder(path); !folder.empty()) {
    if (auto made = files_->CreateDirectories(folder); !made) return made;
  }
  return WritePng(showWindow_.Compose(), path);
}

bool HeadlessHost::DeliverInput(const InputEvent& event) {
  return std::visit(
      [this](const auto& action) -> bool {
        using Action = std::decay_t<decltype(action)>;
        if constexpr (std::is_same_v<Action, MouseMoveInput>) {
          return showWindow_.DeliverMouseMove(action.xPx, action.yPx);
        } else if constexpr (std::is_same_v<Action, KeyPressInput>) {
          return showWindow_.DeliverKeyPress(action.code);
        } else if constexpr (std::is_same_v<Action, ClickInput>) {
          if (showWindow_.DeliverMouseUp(static_cast<int>(action.button), action.xPx, action.yPx)) {
            return true;
          }
          return aboutWindow_.ClickAt(action.xPx, action.yPx);
        } else {
          static_assert(kAlwaysFalse<Action>, "every input action is delivered");
        }
      },
      event.action);
}

}  // namespace vistel
