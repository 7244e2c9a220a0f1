// The system's version record, against the one ntdll keeps, which no
// compatibility shim touches.
// clang-format off
#include <windows.h>
// The interface's method, not windows.h's GetVersionExA/W.
#undef GetVersionEx
#include "platform/system_os_version.hpp"
// clang-format on

#include <gtest/gtest.h>

#include <string>

#include "system/win_os.hpp"

namespace vistel {
namespace {

struct NtVersion {
  ULONG major = 0;
  ULONG minor = 0;
  ULONG build = 0;
  ULONG platform = 0;
  std::string servicePack;
};

std::optional<NtVersion> RtlVersion() {
  using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto call = reinterpret_cast<RtlGetVersionCall>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (call == nullptr) return std::nullopt;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (call(&info) != 0) return std::nullopt;
  NtVersion version{
      info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId, {}};
  for (const wchar_t* c = info.szCSDVersion; *c != L'\0'; ++c) {
    version.servicePack += *c < 0x80 ? static_cast<char>(*c) : '?';
  }
  return version;
}

TEST(SystemOsVersion, IsTheNtRecordTheSystemKeeps) {
  const auto system = MakeSystemOsVersion();
  ASSERT_NE(system, nullptr);
  const auto nt = RtlVersion();
  if (!nt) GTEST_SKIP() << "no RtlGetVersion to compare with";
  const OsVersionInfo seen = system->GetVersionEx();
  EXPECT_EQ(seen.platformId, kPlatformWindowsNt);
  EXPECT_EQ(seen.platformId, nt->platform);
  if (nt->major < 6 || (nt->major == 6 && nt->minor <= 2)) {
    EXPECT_EQ(seen.majorVersion, nt->major);
    EXPECT_EQ(seen.minorVersion, nt->minor);
    EXPECT_EQ(seen.buildNumber, nt->build);
    EXPECT_EQ(seen.csdVersion, nt->servicePack);
  } else {
    // Windows 8.1 and later tell a program without a manifest 6.2.
    EXPECT_EQ(seen.majorVersion, 6U);
    EXPECT_EQ(seen.minorVersion, 2U);
  }
  // Asked afresh each time, and the same answer.
  EXPECT_EQ(system->GetVersionEx().buildNumber, seen.buildNumber);

  WinOS winOS(*system);
  EXPECT_FALSE(winOS.IsWin9x());
  EXPECT_NE(winOS.GetWinOSName(), "");
}

}  // namespace
}  // namespace vistel
