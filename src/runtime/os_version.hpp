// The operating system's version record (OSVERSIONINFO).
#pragma once

#include <cstdint>
#include <string>

namespace vistel {

constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWindows9x = 1;
constexpr std::uint32_t kPlatformWindowsNt = 2;

struct OsVersionInfo {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t platformId = 0;
  std::string csdVersion;
};

class OsVersionSource {
 public:
  virtual ~OsVersionSource() = default;
  // Asked afresh on every call, as GetVersionExA is.
  virtual OsVersionInfo GetVersionEx() = 0;
};

}  // namespace vistel
