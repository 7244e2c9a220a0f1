// A registry kept in memory, answering like advapi32: the registry of the
// Linux and headless hosts (backed by a REGEDIT4 file, see regedit_file.hpp)
// and of the tests.
//
// Key paths and value names compare without regard to ASCII case, as on
// Windows, and keep the spelling they were first created with. Values keep
// their order of creation. A hive can be made read-only or inaccessible to
// exercise the failure paths of callers (a user without rights to HKLM).
// Not thread-safe: the core runs on one thread.
//
// Keys form a tree in which each key holds only its own name, so a deep key
// costs its depth in nodes, not a copy of its path per level. Paths are
// bounded as on Windows: at most limits::kMaxRegistryKeyDepth names, each of
// at most limits::kMaxRegistryNameChars characters.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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
// ("" for the root itself), its values and whether it has sub-keys.
struct RegKeyView {
  RegHive hive = 0;
  std::string_view path;
  const std::vector<RegValue>& values;
  bool hasSubKeys = false;
};

// A key copied out with its full path (see MemoryRegistry::Keys).
struct RegKeyCopy {
  RegHive hive = 0;
  std::string path;
  std::vector<RegValue> values;
};

enum class HiveAccess {
  ReadWrite,
  ReadOnly,  // opening or creating with any write right fails with access denied
  Denied,    // every open or create fails with access denied
};

// Whether a sub-key path can name a key: no empty name (leading, trailing or
// doubled "\"), no name longer than limits::kMaxRegistryNameChars, no more
// than limits::kMaxRegistryKeyDepth names. "" (the root) is valid.
enum class RegPathProblem { None, EmptyName, NameTooLong, TooDeep };
RegPathProblem CheckRegPath(std::string_view subKey);

class MemoryRegistry final : public RegistryApi {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(MemoryRegistry&&) noexcept;
  MemoryRegistry& operator=(MemoryRegistry&&) noexcept;

  // RegistryApi. Known roots are HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
  // HKEY_LOCAL_MACHINE and HKEY_USERS; any other gives ERROR_INVALID_HANDLE.
  // A path that CheckRegPath refuses gives ERROR_INVALID_PARAMETER.
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

  // Adds every key and value of `other` (values of the same name replace
  // these), leaving `other` empty. Linear in the size of `other`.
  void MergeFrom(MemoryRegistry&& other);

  // Visits every key, roots first (a root only once it holds a value or was
  // put), then in tree order: a key's sub-keys right after it, by name. The
  // view is valid during the call only; its path is built as the walk goes.
  void ForEachKey(const std::function<void(const RegKeyView&)>& visit) const;

  // Every key as ForEachKey visits them, copied: for tests and inspection of
  // small registries, since each copy holds the key's whole path.
  std::vector<RegKeyCopy> Keys() const;

  // Keys below the roots plus values: what the registry holds.
  std::size_t EntryCount() const { return entries_; }
  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Node;
  struct Handle {
    RegHive hive = 0;
    Node* node = nullptr;
    std::uint32_t access = 0;
  };

  std::int32_t Open(RegHive hive, std::string_view subKey, std::uint32_t access, bool create,
                    RegKeyHandle& handle);
  Node* RootOf(RegHive hive) const;
  Node* Find(RegHive hive, std::string_view subKey) const;
  Node* Ensure(RegHive hive, std::string_view subKey);
  void Put(Node& node, RegValue value);
  void Merge(Node& into, Node& from);
  HiveAccess AccessOf(RegHive hive) const;

  std::array<std::unique_ptr<Node>, 4> roots_;
  std::map<RegKeyHandle, Handle> handles_;
  std::map<RegHive, HiveAccess> access_;
  RegKeyHandle nextHandle_ = 0x100;
  std::size_t entries_ = 0;
};

}  // namespace vistel
