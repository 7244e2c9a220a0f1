#include "system/win_os.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistel {
namespace {

OsVersionInfo Version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor) {
  OsVersionInfo v;
  v.platformId = platform;
  v.majorVersion = major;
  v.minorVersion = minor;
  return v;
}

struct OsCase {
  OsVersionInfo version;
  std::string code;
  bool win9x;
};

TEST(WinOS, CodesFollowPlatformThenVersion) {
  const std::vector<OsCase> cases = {
      {Version(kPlatformWindows9x, 4, 0), "95", true},
      {Version(kPlatformWindows9x, 4, 9), "95", true},
      {Version(kPlatformWindows9x, 4, 10), "98", true},
      {Version(kPlatformWindows9x, 4, 89), "98", true},
      {Version(kPlatformWindows9x, 4, 90), "ME", true},
      {Version(kPlatformWindowsNt, 3, 51), "NT", false},
      {Version(kPlatformWindowsNt, 4, 0), "NT4", false},
      {Version(kPlatformWindowsNt, 5, 0), "2K", false},
      {Version(kPlatformWindowsNt, 5, 1), "2K", false},  // XP reads as 2K: major 5 decides
      {Version(kPlatformWindowsNt, 5, 2), "2K", false},
      {Version(kPlatformWindowsNt, 6, 0), "XP", false},
      {Version(kPlatformWindowsNt, 10, 0), "XP", false},
      {Version(kPlatformWin32s, 3, 10), "", false},
      {Version(7, 5, 1), "", false},
  };
  FixedOsVersion source(OsVersionInfo{});
  WinOS os(source);
  for (const OsCase& c : cases) {
    SCOPED_TRACE("platform " + std::to_string(c.version.platformId) + " version " +
                 std::to_string(c.version.majorVersion) + "." +
                 std::to_string(c.version.minorVersion));
    // The same object answers each time: nothing is cached between calls.
    source.Set(c.version);
    EXPECT_EQ(os.GetWinOSName(), c.code);
    EXPECT_EQ(os.IsWin9x(), c.win9x);
  }
}

TEST(WinOS, OsOptionGivesTheMatchingRecord) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"95", "95"},   {"98", "98"}, {"me", "ME"}, {"ME", "ME"},
      {"nt4", "NT4"}, {"2k", "2K"}, {"2K", "2K"}, {"xp", "2K"},
  };
  for (const auto& [option, code] : cases) {
    auto version = OsVersionForOption(option);
    ASSERT_TRUE(version.has_value()) << option;
    EXPECT_EQ(WinOSNameOf(*version), code) << "--os " << option;
  }
  auto xp = OsVersionForOption("xp");
  EXPECT_EQ(xp->platformId, kPlatformWindowsNt);
  EXPECT_EQ(xp->majorVersion, 5U);
  EXPECT_EQ(xp->minorVersion, 1U);
  EXPECT_EQ(OsVersionForOption("98")->minorVersion, 10U);
  EXPECT_EQ(OsVersionForOption("nt4")->platformId, kPlatformWindowsNt);
}

TEST(WinOS, UnknownOsOptionIsAnErrorAndTheDefaultIsNt) {
  for (const std::string bad : {"", "vista", "9", "95 ", "xpp"}) {
    auto version = OsVersionForOption(bad);
    ASSERT_FALSE(version.has_value()) << "\"" << bad << "\" was accepted";
    EXPECT_NE(version.error().description.find("95, 98, me, nt4, 2k or xp"), std::string::npos);
  }
  FixedOsVersion source(DefaultOsVersion());
  WinOS os(source);
  EXPECT_FALSE(os.IsWin9x());
  EXPECT_EQ(source.GetVersionEx().platformId, kPlatformWindowsNt);
}

}  // namespace
}  // namespace vistel
