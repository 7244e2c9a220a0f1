#include "platform/system_password.hpp"

namespace vistel {

std::unique_ptr<PasswordServices> MakeSystemPasswordServices(const PasswordLibraries&) {
  return nullptr;
}

}  // namespace vistel
