// The registry settings store: single named values read and written as text.
//
// Both operations open the key with full access (also for reading, so a key
// that is readable but not writable counts as unreadable) and report a failure
// in a message box unless the caller asks for quiet operation. All texts are
// ANSI bytes, as they cross the advapi32 "A" interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/message_box.hpp"
#include "runtime/registry.hpp"

namespace vistel {

// Whether a failure is shown in a message box or only visible in the result.
enum class Quiet { No, Yes };

// The size of the buffer a value is read into; a larger value is a failure.
constexpr std::uint32_t kRegSettingBufferSize = 512;

class SettingsReg {
 public:
  // Both services are borrowed and must outlive this object.
  SettingsReg(RegistryApi& registry, MessageBoxes& messageBoxes)
      : registry_(registry), messageBoxes_(messageBoxes) {}

  // The value as text (string, binary and DWORD values are converted), or
  // defaultValue when it cannot be read or converts to the empty text.
  std::string ReadRegSetting(RegHive hive, std::string_view key, std::string_view valueName,
                             std::string_view defaultValue, Quiet quiet);

  // Writes value as a REG_SZ, creating the key when missing; True on success.
  bool SaveRegSetting(RegHive hive, std::string_view key, std::string_view valueName,
                      std::string_view value, Quiet quiet);

 private:
  RegistryApi& registry_;
  MessageBoxes& messageBoxes_;
};

}  // namespace vistel
