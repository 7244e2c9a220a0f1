// Uninstall registration ("/i"): the saver adds its name to the list file that
// all savers of this kind share in the system folder, and writes its entry
// under the system's uninstall key so that the add/remove programs list shows
// it and can run the separate uninstaller for it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "base/error.hpp"
#include "runtime/files.hpp"
#include "runtime/process.hpp"
#include "system/settings_reg.hpp"

namespace vistel {

// The key every entry goes under, in HKEY_LOCAL_MACHINE; the saver's name
// follows the prefix.
inline constexpr std::string_view kUninstallKeyPrefix =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VISTEL-";
inline constexpr std::string_view kListFileName = "vistelss.lst";

class UninstallRegistration {
 public:
  // The system folder with its trailing separator, asked on each use (start-up
  // wires it to the folder lookup of the package layer).
  using SystemFolderSource = std::function<std::string()>;

  // All borrowed; they must outlive this object.
  UninstallRegistration(FileSystem& files, SettingsReg& settings, const ProcessInfo& process,
                        SystemFolderSource systemFolder)
      : files_(files),
        settings_(settings),
        process_(process),
        systemFolder_(std::move(systemFolder)) {}

  // The list file's full path: the system folder + "vistelss.lst".
  std::string ListFilePath() const;

  // Appends the saver's name to the list file (creating it when missing),
  // then writes the four values of the uninstall entry, quietly: a value that
  // cannot be written is skipped without a message. A list-file failure ends
  // the registration before any value is written and goes to the caller.
  Status RegisterUninstall();

 private:
  FileSystem& files_;
  SettingsReg& settings_;
  const ProcessInfo& process_;
  SystemFolderSource systemFolder_;
};

}  // namespace vistel
