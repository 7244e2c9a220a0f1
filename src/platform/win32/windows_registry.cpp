// The Windows registry through advapi32. Key and value names and string data
// are Windows-1252 bytes in the core, as the original's ANSI calls passed
// them; the wide calls take them converted, so the result does not depend on
// the system's ANSI code page. The core's key handles are small numbers
// standing for the system's HKEYs, closed with the registry at the latest.
#include <windows.h>

#include <map>
#include <string>

#include "base/text.hpp"
#include "platform/system_registry.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

std::optional<std::wstring> WideName(std::string_view windows1252) {
  return win32::WideFromUtf8(Windows1252ToUtf8(windows1252));
}

HKEY RootOf(RegHive hive) {
  switch (hive) {
    case kHkeyClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kHkeyCurrentUser:
      return HKEY_CURRENT_USER;
    case kHkeyLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case kHkeyUsers:
      return HKEY_USERS;
    default:
      return nullptr;
  }
}

bool IsText(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

class WindowsRegistry final : public RegistryApi {
 public:
  ~WindowsRegistry() override {
    for (const auto& [handle, key] : keys_) ::RegCloseKey(key);
  }

  std::int32_t OpenKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                       RegKeyHandle& key) override {
    return Open(hive, subKey, access, false, key);
  }

  std::int32_t CreateKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                         RegKeyHandle& key) override {
    return Open(hive, subKey, access, true, key);
  }

  RegQueryResult QueryValue(RegKeyHandle handle, std::string_view valueName,
                            std::uint32_t bufferSize) override {
    RegQueryResult result;
    const auto key = keys_.find(handle);
    const auto name = WideName(valueName);
    if (key == keys_.end()) return {kErrorInvalidHandle, kRegNone, 0, {}};
    if (!name) return {kErrorInvalidParameter, kRegNone, 0, {}};
    DWORD type = 0;
    DWORD bytes = 0;
    LONG rc = ::RegQueryValueExW(key->second, name->c_str(), nullptr, &type, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) return {static_cast<std::int32_t>(rc), kRegNone, 0, {}};
    std::vector<std::uint8_t> data(bytes);
    rc = ::RegQueryValueExW(key->second, name->c_str(), nullptr, &type, data.data(), &bytes);
    if (rc != ERROR_SUCCESS) return {static_cast<std::int32_t>(rc), kRegNone, 0, {}};
    data.resize(bytes);
    if (IsText(type)) {
      // Back to the core's bytes: UTF-16 to Windows-1252, as the ANSI call answers.
      const std::wstring_view wide(reinterpret_cast<const wchar_t*>(data.data()),
                                   data.size() / sizeof(wchar_t));
      const auto ansi = Utf8ToWindows1252(win32::Utf8FromWide(wide));
      const std::string text = ansi ? *ansi : std::string();
      data.assign(text.begin(), text.end());
    }
    result.type = type;
    result.size = static_cast<std::uint32_t>(data.size());
    if (data.size() > bufferSize) {
      result.rc = kErrorMoreData;
      return result;
    }
    result.data = std::move(data);
    return result;
  }

  std::int32_t SetValue(RegKeyHandle handle, std::string_view valueName, std::uint32_t type,
                        std::span<const std::uint8_t> data) override {
    const auto key = keys_.find(handle);
    const auto name = WideName(valueName);
    if (key == keys_.end()) return kErrorInvalidHandle;
    if (!name) return kErrorInvalidParameter;
    if (!IsText(type)) {
      return static_cast<std::int32_t>(::RegSetValueExW(
          key->second, name->c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())));
    }
    const auto wide =
        WideName(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    if (!wide) return kErrorInvalidParameter;
    return static_cast<std::int32_t>(::RegSetValueExW(
        key->second, name->c_str(), 0, type, reinterpret_cast<const BYTE*>(wide->data()),
        static_cast<DWORD>(wide->size() * sizeof(wchar_t))));
  }

  std::int32_t CloseKey(RegKeyHandle handle) override {
    const auto key = keys_.find(handle);
    if (key == keys_.end()) return kErrorInvalidHandle;
    const LONG rc = ::RegCloseKey(key->second);
    keys_.erase(key);
    return static_cast<std::int32_t>(rc);
  }

 private:
  std::int32_t Open(RegHive hive, std::string_view subKey, std::uint32_t access, bool create,
                    RegKeyHandle& handle) {
    const HKEY root = RootOf(hive);
    const auto name = WideName(subKey);
    if (root == nullptr) return kErrorInvalidHandle;
    if (!name) return kErrorInvalidParameter;
    HKEY key = nullptr;
    const LONG rc = create ? ::RegCreateKeyExW(root, name->c_str(), 0, nullptr, 0, access, nullptr,
                                               &key, nullptr)
                           : ::RegOpenKeyExW(root, name->c_str(), 0, access, &key);
    if (rc != ERROR_SUCCESS) return static_cast<std::int32_t>(rc);
    handle = next_++;
    keys_[handle] = key;
    return kErrorSuccess;
  }

  std::map<RegKeyHandle, HKEY> keys_;
  RegKeyHandle next_ = 1;
};

}  // namespace

std::unique_ptr<RegistryApi> MakeSystemRegistry() {
  return std::make_unique<WindowsRegistry>();
}

}  // namespace vistel
