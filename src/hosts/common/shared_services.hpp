// The services every host wires alike from the player's options, in one
// place, so that a host keeps only what differs (its clock and event loop,
// display, windows, message boxes and sound output):
//
//   trace            JSON lines to --trace, else nothing
//   files, folders   the native file system; --temp / --system, else the
//                    system's folders
//   process          the player's own path; ending unwinds (ProcessEnded)
//   password         answers from --password-replies, else the system's
//                    where the host asks for them, else "given"; traced
//   OS version       --os, else the system's where the host asks for it,
//                    else kDefaultOs
//   registry         the registry file when there is one (REGEDIT4; a
//                    missing file is an empty registry), loaded into memory
//                    and written back by WriteBackRegistry; else the
//                    system's where the host asks for it, else in memory for
//                    the run; traced
//   MCI, media       the platform's media services (MediaServices); MCI
//                    traced, its sound through the host's output
//
// Members are declared in dependency order, so each outlives its users. The
// clock and the sound output belong to the host and must outlive this.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/error.hpp"
#include "hosts/common/media_services.hpp"
#include "hosts/common/player_options.hpp"
#include "hosts/common/player_process.hpp"
#include "hosts/common/scripted_password.hpp"
#include "hosts/common/traced_mci.hpp"
#include "hosts/common/traced_password.hpp"
#include "runtime/events.hpp"
#include "runtime/files.hpp"
#include "runtime/folders.hpp"
#include "runtime/trace.hpp"
#include "system/memory_registry.hpp"
#include "system/traced_registry.hpp"
#include "system/win_os.hpp"

namespace vistel {

// The trace file when `path` names one, else a trace that writes nothing.
// Fails when the file cannot be created; the error names it.
Result<std::unique_ptr<Trace>> OpenTrace(const Clock& clock,
                                         const std::optional<std::string>& path);

// The folder part of a path ("/a/b/c.png" is "/a/b"); "" when there is none
// or it is the root.
std::string ParentFolder(const std::string& path);

class SharedServices {
 public:
  // What stands for the system's services that the options leave open.
  enum class SystemServices {
    Simulated,  // the same on every system: kDefaultOs, a password always
                // given, a registry in memory for the run, the player's own
                // media services
    System,     // the system's own where it has them (the Windows desktop)
  };
  // Where the services come from when the options do not say (the host
  // decides).
  struct Defaults {
    // The registry file to load now and write back at the end, if any.
    std::optional<std::string> registryFile;
    SystemServices system = SystemServices::Simulated;
  };
  SharedServices(const PlayerOptions& options, const Clock& clock, AudioOutput& audio,
                 std::string playerPath, Defaults defaults);
  SharedServices(const SharedServices&) = delete;
  SharedServices& operator=(const SharedServices&) = delete;

  // The failures of construction, reported once the host exists: the trace
  // file could not be created, or the registry file is unreadable or
  // malformed. The error names the file.
  Status Start();
  // Saves the registry to its file, creating the file's folder when missing;
  // nothing to do without a file.
  Status WriteBackRegistry();

  Trace& Tracer() { return *trace_; }
  FileSystem& Files() { return *files_; }
  PlayerProcess& Process() { return process_; }
  // The password services as the core sees them (traced), and the scripted
  // ones behind them unless the system's serve.
  PasswordServices& Password() { return tracedPassword_; }
  ScriptedPassword& ScriptedPasswords() { return scriptedPassword_; }
  OsVersionSource& OsVersion() {
    return systemOs_ ? *systemOs_ : static_cast<OsVersionSource&>(fixedOs_);
  }
  // The registry as the core sees it (traced), and the store behind it
  // unless the system's registry serves.
  RegistryApi& Registry() { return tracedRegistry_; }
  MemoryRegistry& RegistryStore() { return registry_; }
  // The registry behind the trace, for the host's own settings, which are
  // not the show's doing.
  RegistryApi& UntracedRegistry() {
    return systemRegistry_ ? *systemRegistry_ : static_cast<RegistryApi&>(registry_);
  }
  SystemFolders& Folders() { return *folders_; }
  MciService& Mci() { return tracedMci_; }
  PictureDecoder& Pictures() { return media_->Pictures(); }
  ClipDecoder& Clips() { return media_->Clips(); }
  FontService& Fonts() { return media_->Fonts(); }

 private:
  std::optional<Error> traceError_;  // set when the trace file could not be created
  std::unique_ptr<Trace> trace_;
  std::unique_ptr<FileSystem> files_;
  PlayerProcess process_;
  ScriptedPassword scriptedPassword_;
  std::unique_ptr<PasswordServices> systemPassword_;  // null unless it serves
  TracedPassword tracedPassword_;
  FixedOsVersion fixedOs_;
  std::unique_ptr<OsVersionSource> systemOs_;  // null unless it serves
  MemoryRegistry registry_;
  std::unique_ptr<RegistryApi> systemRegistry_;  // null unless it serves
  TracedRegistry tracedRegistry_;
  std::optional<std::string> registryPath_;
  std::unique_ptr<SystemFolders> folders_;
  std::unique_ptr<MediaServices> media_;
  TracedMciService tracedMci_;
};

}  // namespace vistel
