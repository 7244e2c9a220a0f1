#include "package/folders.hpp"

namespace vistel {
namespace {

bool EndsWith(const std::string& text, char c) {
  return !text.empty() && text.back() == c;
}

}  // namespace

std::string GetTempFolder(SystemFolders& folders, const ProcessInfo& process, AddSlash addSlash) {
  std::string folder = folders.TempPath();
  if (folder.empty()) return "";
  const char separator = process.PathSeparator();
  // The system hands the temporary path over with its separator; only that is
  // dropped, so a path that somehow comes without one keeps its last letter.
  if (EndsWith(folder, separator)) folder.pop_back();
  if (addSlash == AddSlash::Yes) folder += separator;
  return folder;
}

std::string GetSystemFolder(SystemFolders& folders, const ProcessInfo& process, AddSlash addSlash) {
  std::string folder = folders.SystemDirectory();
  if (folder.empty()) return "";
  const char separator = process.PathSeparator();
  if (addSlash == AddSlash::Yes && !EndsWith(folder, separator)) folder += separator;
  return folder;
}

}  // namespace vistel
