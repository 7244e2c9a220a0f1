#include "platform/system_registry.hpp"

namespace vistel {

std::unique_ptr<RegistryApi> MakeSystemRegistry() {
  return nullptr;
}

}  // namespace vistel
