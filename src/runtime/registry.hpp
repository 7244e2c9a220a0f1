// The registry API the core uses, shaped like advapi32's: Win32 error codes
// as results, values as typed byte strings. On Windows the system answers; on
// Linux and headless a registry kept in memory, optionally backed by a
// REGEDIT4 text file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vistel {

using RegHive = std::int32_t;  // the root handle as a signed 32-bit value
constexpr RegHive kHkeyClassesRoot = static_cast<RegHive>(0x80000000U);
constexpr RegHive kHkeyCurrentUser = static_cast<RegHive>(0x80000001U);
constexpr RegHive kHkeyLocalMachine = static_cast<RegHive>(0x80000002U);
constexpr RegHive kHkeyUsers = static_cast<RegHive>(0x80000003U);

// Win32 error codes the registry returns.
constexpr std::int32_t kErrorSuccess = 0;
constexpr std::int32_t kErrorFileNotFound = 2;
constexpr std::int32_t kErrorAccessDenied = 5;
constexpr std::int32_t kErrorInvalidHandle = 6;
constexpr std::int32_t kErrorInvalidParameter = 87;
constexpr std::int32_t kErrorMoreData = 234;

// Value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// The name of a root key as REGEDIT4 and the trace write it.
std::string_view HiveName(RegHive hive);

using RegKeyHandle = std::uint32_t;

struct RegQueryResult {
  std::int32_t rc = kErrorSuccess;
  std::uint32_t type = kRegNone;
  std::uint32_t size = 0;         // bytes the value holds (also when rc is kErrorMoreData)
  std::vector<std::uint8_t> data;  // the first min(size, bufferSize) bytes when rc is 0
};

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  virtual std::int32_t OpenKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                               RegKeyHandle& key) = 0;
  // Creates the key (and its parents) when missing.
  virtual std::int32_t CreateKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                                 RegKeyHandle& key) = 0;
  // A value that does not fit bufferSize gives kErrorMoreData and no data.
  virtual RegQueryResult QueryValue(RegKeyHandle key, std::string_view valueName,
                                    std::uint32_t bufferSize) = 0;
  virtual std::int32_t SetValue(RegKeyHandle key, std::string_view valueName, std::uint32_t type,
                                std::span<const std::uint8_t> data) = 0;
  virtual std::int32_t CloseKey(RegKeyHandle key) = 0;
};

}  // namespace vistel
