// The version record from GetVersionExA, asked afresh on every call as the
// player's callers expect. Windows 8.1 and later answer 6.2 to a program
// without a compatibility manifest: that is fine here, the player only ever
// tells the Windows 9x family (platform 1) from the NT family (platform 2).
// clang-format off
#include <windows.h>
// windows.h names GetVersionExA or GetVersionExW by this macro; the
// interface's method of the same name is meant, before its header is read.
#undef GetVersionEx
#include "platform/system_os_version.hpp"
// clang-format on

#include <cstring>

namespace vistel {
namespace {

class WindowsOsVersion final : public OsVersionSource {
 public:
  OsVersionInfo GetVersionEx() override {
    OSVERSIONINFOA record{};
    record.dwOSVersionInfoSize = sizeof(record);  // 148: the record without the Ex fields
    OsVersionInfo version;
    // A failed call leaves the zeroed record: platform 0, which no caller
    // takes for Windows 9x.
    if (::GetVersionExA(&record) == 0) return version;
    version.majorVersion = record.dwMajorVersion;
    version.minorVersion = record.dwMinorVersion;
    version.buildNumber = record.dwBuildNumber;
    version.platformId = record.dwPlatformId;
    // ANSI text; bounded by its field even without a terminating zero.
    version.csdVersion.assign(record.szCSDVersion,
                              strnlen(record.szCSDVersion, sizeof(record.szCSDVersion)));
    return version;
  }
};

}  // namespace

std::unique_ptr<OsVersionSource> MakeSystemOsVersion() {
  return std::make_unique<WindowsOsVersion>();
}

}  // namespace vistel
