#include "runtime/registry.hpp"

namespace vistel {

std::string_view HiveName(RegHive hive) {
  switch (hive) {
    case kHkeyClassesRoot: return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser: return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine: return "HKEY_LOCAL_MACHINE";
    case kHkeyUsers: return "HKEY_USERS";
    default: return "";
  }
}

}  // namespace vistel
