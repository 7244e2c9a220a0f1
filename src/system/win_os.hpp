// Which Windows the player runs on, by the short codes the rest of the player
// tests: "95", "98", "ME" (the Windows 9x family, where the player handles the
// screen-saver password itself), "NT", "NT4", "2K", "XP", or "" for a platform
// it does not know. Major version 5 always reads "2K", also 5.1: the codes
// only ever decide 9x against NT, and that is kept as it always was.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/error.hpp"
#include "runtime/os_version.hpp"

namespace vistel {

class WinOS {
 public:
  // The source is borrowed and asked again on every call: nothing is cached.
  explicit WinOS(OsVersionSource& source) : source_(source) {}

  std::string GetWinOSName();
  bool IsWin9x();

 private:
  OsVersionSource& source_;
};

// The code for one version record (the table behind GetWinOSName).
std::string WinOSNameOf(const OsVersionInfo& version);

// The version record for the player's "--os" option: 95, 98, me, nt4, 2k or
// xp, in any letter case; anything else is an error naming the accepted
// values.
Result<OsVersionInfo> OsVersionForOption(std::string_view option);

// The record the player sees when no "--os" is given: Windows XP (NT family).
OsVersionInfo DefaultOsVersion();

// A source that always answers the same record (headless host, tests).
class FixedOsVersion final : public OsVersionSource {
 public:
  explicit FixedOsVersion(OsVersionInfo version) : version_(std::move(version)) {}
  OsVersionInfo GetVersionEx() override { return version_; }
  void Set(OsVersionInfo version) { version_ = std::move(version); }

 private:
  OsVersionInfo version_;
};

}  // namespace vistel
