#include "system/win_os.hpp"

#include <array>

namespace vistel {
namespace {

struct OsOption {
  std::string_view name;
  OsVersionInfo version;
};

OsVersionInfo Version(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                      std::uint32_t platform) {
  OsVersionInfo v;
  v.majorVersion = major;
  v.minorVersion = minor;
  v.buildNumber = build;
  v.platformId = platform;
  return v;
}

const std::array<OsOption, 6>& OsOptions() {
  static const std::array<OsOption, 6> options = {{
      {"95", Version(4, 0, 950, kPlatformWindows9x)},
      {"98", Version(4, 10, 1998, kPlatformWindows9x)},
      {"me", Version(4, 90, 3000, kPlatformWindows9x)},
      {"nt4", Version(4, 0, 1381, kPlatformWindowsNt)},
      {"2k", Version(5, 0, 2195, kPlatformWindowsNt)},
      {"xp", Version(5, 1, 2600, kPlatformWindowsNt)},
  }};
  return options;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string WinOSNameOf(const OsVersionInfo& version) {
  switch (version.platformId) {
    case kPlatformWindows9x:
      if (version.minorVersion < 10) return "95";
      if (version.minorVersion < 90) return "98";
      return "ME";
    case kPlatformWindowsNt:
      if (version.majorVersion > 5) return "XP";
      if (version.majorVersion == 5) return "2K";
      if (version.majorVersion == 4) return "NT4";
      return "NT";
    default:
      return "";
  }
}

std::string WinOS::GetWinOSName() {
  return WinOSNameOf(source_.GetVersionEx());
}

bool WinOS::IsWin9x() {
  const std::string name = GetWinOSName();
  return name == "ME" || name == "98" || name == "95";
}

Result<OsVersionInfo> OsVersionForOption(std::string_view option) {
  for (const OsOption& candidate : OsOptions()) {
    if (SameIgnoringCase(option, candidate.name)) return candidate.version;
  }
  return Fail(ErrorCode::InvalidProcedureCall, "unknown --os value \"" + std::string(option) +
                                                   "\": expected 95, 98, me, nt4, 2k or xp");
}

OsVersionInfo DefaultOsVersion() {
  return OsOptions().back().version;
}

}  // namespace vistel
