#include "hosts/common/shared_services.hpp"

#include <utility>
#include <vector>

#include "hosts/common/json_trace.hpp"
#include "platform/native_files.hpp"
#include "platform/paths.hpp"
#include "platform/system_folders.hpp"
#include "platform/system_os_version.hpp"
#include "platform/system_password.hpp"
#include "platform/system_registry.hpp"
#include "system/regedit_file.hpp"

namespace vistel {

Result<std::unique_ptr<Trace>> OpenTrace(const Clock& clock,
                                         const std::optional<std::string>& path) {
  if (!path) return std::unique_ptr<Trace>(std::make_unique<NullTrace>());
  auto trace = JsonTrace::OpenFile(clock, *path);
  if (!trace) return Fail(trace.error());
  return std::unique_ptr<Trace>(std::move(*trace));
}

std::string ParentFolder(const std::string& path) {
  const auto slash = path.find_last_of(kPathSeparators);
  if (slash == std::string::npos || slash == 0) return "";
  return path.substr(0, slash);
}

namespace {

// The services take the trace by reference, so there is always one: a
// failure to open the file is kept in `error` for Start to report.
std::unique_ptr<Trace> TraceOrNull(const Clock& clock, const std::optional<std::string>& path,
                                   std::optional<Error>& error) {
  auto trace = OpenTrace(clock, path);
  if (trace) return std::move(*trace);
  error = trace.error();
  return std::make_unique<NullTrace>();
}

}  // namespace

SharedServices::SharedServices(const PlayerOptions& options, const Clock& clock, AudioOutput& audio,
                               std::string playerPath, Defaults defaults)
    : trace_(TraceOrNull(clock, options.tracePath, traceError_)),
      files_(MakeNativeFileSystem()),
      process_(std::move(playerPath)),
      scriptedPassword_(options.passwordReplies.value_or(std::vector<bool>{})),
      systemPassword_(defaults.system == SystemServices::System && !options.passwordReplies
                          ? MakeSystemPasswordServices()
                          : nullptr),
      tracedPassword_(
          systemPassword_ ? *systemPassword_ : static_cast<PasswordServices&>(scriptedPassword_),
          *trace_),
      fixedOs_(VersionRecordOf(options.os.value_or(kDefaultOs))),
      systemOs_(defaults.system == SystemServices::System && !options.os ? MakeSystemOsVersion()
                                                                      : nullptr),
      systemRegistry_(defaults.system == SystemServices::System && !defaults.registryFile
                          ? MakeSystemRegistry()
                          : nullptr),
      tracedRegistry_(systemRegistry_ ? *systemRegistry_ : static_cast<RegistryApi&>(registry_),
                      *trace_),
      registryPath_(std::move(defaults.registryFile)),
      folders_(MakeSystemFolders(FolderOverrides{options.tempDir, options.systemDir})),
      media_(MakeMediaServices(
          audio, *files_,
          defaults.system == SystemServices::System ? MediaChoice::System : MediaChoice::Own)),
      tracedMci_(media_->Mci(), *trace_) {}

Status SharedServices::Start() {
  if (traceError_) return Fail(*traceError_);
  if (registryPath_) {
    if (auto loaded = LoadRegeditFile(*files_, *registryPath_, registry_); !loaded) return loaded;
  }
  return {};
}

Status SharedServices::WriteBackRegistry() {
  if (!registryPath_) return {};
  // The registry file is created at exit when missing, and so is its folder:
  // a --registry path in a folder not yet made is as good as any.
  if (const std::string folder = ParentFolder(*registryPath_); !folder.empty()) {
    if (auto made = files_->CreateDirectories(folder); !made) {
      return Fail(ErrorCode::PathFileAccessError,
                  "cannot create the folder of the registry file " + *registryPath_);
    }
  }
  return SaveRegeditFile(*files_, *registryPath_, registry_);
}

}  // namespace vistel
