// A fresh private folder for one run of a command, removed with this object:
// the demo's media, the contact sheet's temporary package and snapshots.
// POSIX (mkdtemp): the commands that need it are those of the Linux tool.
#pragma once

#include <stdlib.h>  // mkdtemp

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace vistel::pack {

class ScratchFolder {
 public:
  ScratchFolder() = default;
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }

  // Creates the folder under the system's temporary folder with mkdtemp: a
  // fresh name, made exclusively and open to this user only, so two runs at
  // once keep apart and nobody else can plant files in it. `prefix` names the
  // command ("vistel-demo").
  bool Create(const std::string& prefix, std::string& error) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
      error = "no temporary folder: " + ec.message();
      return false;
    }
    std::string name = (base / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) {
      error = "cannot create a folder in the temporary folder " + base.string() + ": " +
              std::error_code(errno, std::generic_category()).message();
      return false;
    }
    path_ = name;
    return true;
  }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace vistel::pack
