// The temporary and system folders of Windows, as the system reports them
// (each user has a temporary folder of their own there), or the folders given
// on the command line.
#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/system_folders.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

bool EndsWithSeparator(const std::string& folder) {
  return !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
}

void CreateQuietly(const std::string& folder) {
  const auto wide = win32::WideFromUtf8(folder);
  if (!wide) return;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(*wide), ignored);
}

// A system call that fills a wide buffer and returns the length it needs.
template <class Call>
std::string AskSystem(Call call) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  DWORD length = call(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length >= buffer.size()) {
    buffer.assign(length + 1, L'\0');
    length = call(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (length == 0 || length >= buffer.size()) return "";
  buffer.resize(length);
  return win32::Utf8FromWide(buffer);
}

class WindowsSystemFolders final : public SystemFolders {
 public:
  explicit WindowsSystemFolders(FolderOverrides overrides) : overrides_(std::move(overrides)) {}

  // With a trailing separator, as GetTempPath gives it.
  std::string TempPath() override {
    if (overrides_.temp && !overrides_.temp->empty()) {
      CreateQuietly(*overrides_.temp);
      return EndsWithSeparator(*overrides_.temp) ? *overrides_.temp : *overrides_.temp + "\\";
    }
    return AskSystem([](DWORD size, wchar_t* buffer) { return ::GetTempPathW(size, buffer); });
  }

  // Without a trailing separator, as GetSystemDirectory gives it.
  std::string SystemDirectory() override {
    if (overrides_.system && !overrides_.system->empty()) {
      std::string folder = *overrides_.system;
      while (folder.size() > 1 && EndsWithSeparator(folder)) folder.pop_back();
      CreateQuietly(folder);
      return folder;
    }
    return AskSystem(
        [](DWORD size, wchar_t* buffer) { return ::GetSystemDirectoryW(buffer, size); });
  }

 private:
  FolderOverrides overrides_;
};

}  // namespace

std::unique_ptr<SystemFolders> MakeSystemFolders(FolderOverrides overrides) {
  return std::make_unique<WindowsSystemFolders>(std::move(overrides));
}

}  // namespace vistel
