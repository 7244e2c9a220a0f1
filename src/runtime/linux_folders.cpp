#include "runtime/linux_folders.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace vistel {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Failures are left to whoever then writes into the folder: the folder
// functions only name it, as the system calls they stand in for do.
void CreateQuietly(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
}

}  // namespace

LinuxSystemFolders::LinuxSystemFolders(LinuxFolderOverrides overrides)
    : overrides_(std::move(overrides)) {}

std::string LinuxSystemFolders::TempPath() {
  if (overrides_.temp && !overrides_.temp->empty()) {
    CreateQuietly(*overrides_.temp);
    return WithTrailingSlash(*overrides_.temp);
  }
  const std::string tmpdir = Environment("TMPDIR");
  return WithTrailingSlash(tmpdir.empty() ? std::string("/tmp") : tmpdir);
}

std::string LinuxSystemFolders::SystemDirectory() {
  std::string folder;
  if (overrides_.system && !overrides_.system->empty()) {
    folder = WithoutTrailingSlash(*overrides_.system);
  } else {
    // XDG asks that a relative XDG_DATA_HOME be ignored.
    const std::string dataHome = Environment("XDG_DATA_HOME");
    const std::string home = Environment("HOME");
    if (!dataHome.empty() && dataHome.front() == '/') {
      folder = WithTrailingSlash(dataHome) + "vistel/system";
    } else if (!home.empty()) {
      folder = WithTrailingSlash(home) + ".local/share/vistel/system";
    } else {
      return "";
    }
  }
  CreateQuietly(folder);
  return folder;
}

}  // namespace vistel
