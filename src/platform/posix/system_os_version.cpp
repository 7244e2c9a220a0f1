#include "platform/system_os_version.hpp"

namespace vistel {

std::unique_ptr<OsVersionSource> MakeSystemOsVersion() {
  return nullptr;
}

}  // namespace vistel
