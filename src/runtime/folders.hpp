// The two system folders the player asks for. Each returns the folder as the
// system call would (GetTempPathA: with a trailing separator; GetSystemDirectoryA:
// without one) or "" when the call fails, so the core's folder routines can
// apply their own slash rules on every host alike.
#pragma once

#include <string>

namespace vistel {

class SystemFolders {
 public:
  virtual ~SystemFolders() = default;
  virtual std::string TempPath() = 0;         // with trailing separator, or ""
  virtual std::string SystemDirectory() = 0;  // without trailing separator, or ""
};

}  // namespace vistel
