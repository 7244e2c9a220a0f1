// A registry kept in memory, answering like advapi32: the registry of the
// Linux and headless hosts (backed by a REGEDIT4 file, see regedit_file.hpp)
// and of the tests.
//
// Key paths and value names compare without regard to ASCII case, as on
// Windows, and keep the spelling they were first created with. Values keep
// their order of creation. A hive can be made read-only or inaccessible to
// exercise the failure paths of callers (a user without rights to HKLM).
// Not thread-safe: the core runs on one thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/registry.hpp"

namespace vistel {

struct RegValue {
  std::string name;  // "" is the key's default value
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// One key, as the file writer walks them: its root, its path below the root
// ("" for the root itself) and its values.
struct RegKeyView {
  RegHive hive = 0;
  const std::string& path;
  const std::vector<RegValue>& values;
};

enum class HiveAccess {
  ReadWrite,
  ReadOnly,  // opening or creating with any write right fails with access denied
  Denied,    // every open or create fails with access denied
};

class MemoryRegistry final : public RegistryApi {
 public:
  // RegistryApi. Known roots are HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
  // HKEY_LOCAL_MACHINE and HKEY_USERS; any other gives ERROR_INVALID_HANDLE.
  // A path with an empty component (leading, trailing or doubled "\") gives
  // ERROR_INVALID_PARAMETER.
  std::int32_t OpenKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                       RegKeyHandle& key) override;
  std::int32_t CreateKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                         RegKeyHandle& key) override;
  RegQueryResult QueryValue(RegKeyHandle key, std::string_view valueName,
                            std::uint32_t bufferSize) override;
  std::int32_t SetValue(RegKeyHandle key, std::string_view valueName, std::uint32_t type,
                        std::span<const std::uint8_t> data) override;
  std::int32_t CloseKey(RegKeyHandle key) override;

  void SetHiveAccess(RegHive hive, HiveAccess access);

  // Direct access that ignores handles and access modes: for loading a file,
  // for test set-up and for inspection. PutKey and PutValue create missing
  // keys (and parents) and return false for an unknown root or a bad path.
  bool PutKey(RegHive hive, std::string_view subKey);
  bool PutValue(RegHive hive, std::string_view subKey, RegValue value);
  std::optional<RegValue> GetValue(RegHive hive, std::string_view subKey,
                                   std::string_view valueName) const;
  bool HasKey(RegHive hive, std::string_view subKey) const;

  // Every key, roots first, then by path (a key's sub-keys right after it).
  // The views refer into the registry and are valid until it next changes.
  std::vector<RegKeyView> Keys() const;

  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Key {
    std::string path;  // as first spelled
    std::vector<RegValue> values;
  };
  struct KeyId {
    RegHive hive = 0;
    std::string folded;  // lower-case path, "\" as the lowest character for tree order
    friend auto operator<=>(const KeyId&, const KeyId&) = default;
  };
  struct Handle {
    KeyId id;
    std::uint32_t access = 0;
  };

  std::int32_t Open(RegHive hive, std::string_view subKey, std::uint32_t access, bool create,
                    RegKeyHandle& handle);
  Key* Ensure(const KeyId& id, std::string_view subKey);
  HiveAccess AccessOf(RegHive hive) const;

  std::map<KeyId, Key> keys_;
  std::map<RegKeyHandle, Handle> handles_;
  std::map<RegHive, HiveAccess> access_;
  RegKeyHandle nextHandle_ = 0x100;
};

}  // namespace vistel
