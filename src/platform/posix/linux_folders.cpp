#include "platform/posix/linux_folders.hpp"

#include <stdlib.h>  // mkdtemp
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
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

// A real folder (lstat: not a link to one) of this user that nobody else may
// enter. Anything else at a name we expect to be ours may have been planted.
bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

// The folder at path, made with mode 0700 when missing; "" when what is there
// is not private.
std::string PrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return "";
  return IsPrivateFolder(path) ? path : "";
}

std::string RuntimeFolder() {
  const std::string runtime = Environment("XDG_RUNTIME_DIR");
  // The folder itself must be private: XDG asks so, and it is checked rather
  // than trusted.
  if (runtime.empty() || runtime.front() != '/' ||
      !IsPrivateFolder(WithoutTrailingSlash(runtime))) {
    return "";
  }
  return PrivateFolder(WithTrailingSlash(runtime) + "vistel");
}

std::string FolderUnderTmp() {
  const std::string tmpdir = Environment("TMPDIR");
  const std::string base =
      WithTrailingSlash(!tmpdir.empty() && tmpdir.front() == '/' ? tmpdir : std::string("/tmp"));
  const std::string perUser = base + "vistel-" + std::to_string(::geteuid());
  if (std::string folder = PrivateFolder(perUser); !folder.empty()) return folder;
  std::string fresh = perUser + "-XXXXXX";
  if (::mkdtemp(fresh.data()) == nullptr) return "";
  std::cerr << "vistel: " << perUser
            << " is not a private folder of this user (a link, another user's, or open to "
               "others); using "
            << fresh << " instead\n";
  return fresh;
}

}  // namespace

LinuxSystemFolders::LinuxSystemFolders(FolderOverrides overrides)
    : overrides_(std::move(overrides)) {}

std::string LinuxSystemFolders::TempPath() {
  if (overrides_.temp && !overrides_.temp->empty()) {
    CreateQuietly(*overrides_.temp);
    return WithTrailingSlash(*overrides_.temp);
  }
  if (!temp_) {
    std::string folder = RuntimeFolder();
    if (folder.empty()) folder = FolderUnderTmp();
    temp_ = folder.empty() ? folder : WithTrailingSlash(folder);
  }
  return *temp_;
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

std::unique_ptr<SystemFolders> MakeSystemFolders(FolderOverrides overrides) {
  return std::make_unique<LinuxSystemFolders>(std::move(overrides));
}

}  // namespace vistel
