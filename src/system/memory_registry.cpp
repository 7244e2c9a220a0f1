#include "system/memory_registry.hpp"

#include <algorithm>

namespace vistel {
namespace {

constexpr std::uint32_t kKeySetValue = 0x0002;
// Rights that change a key or its values: set value, create sub-key, create
// link, delete, write DAC, write owner.
constexpr std::uint32_t kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;

bool IsKnownHive(RegHive hive) {
  return hive == kHkeyClassesRoot || hive == kHkeyCurrentUser || hive == kHkeyLocalMachine ||
         hive == kHkeyUsers;
}

bool IsValidPath(std::string_view path) {
  if (path.empty()) return true;
  if (path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string_view::npos;
}

char FoldChar(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

// Lower case, with "\" mapped below every other character so that a key's
// sub-keys sort right after it ("a", "a\b", "a b").
std::string Fold(std::string_view path) {
  std::string folded;
  folded.reserve(path.size());
  for (char c : path) folded.push_back(c == '\\' ? '\0' : FoldChar(c));
  return folded;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return FoldChar(x) == FoldChar(y); });
}

std::vector<RegValue>::iterator FindValue(std::vector<RegValue>& values, std::string_view name) {
  return std::find_if(values.begin(), values.end(),
                      [&](const RegValue& v) { return SameName(v.name, name); });
}

}  // namespace

HiveAccess MemoryRegistry::AccessOf(RegHive hive) const {
  const auto it = access_.find(hive);
  return it == access_.end() ? HiveAccess::ReadWrite : it->second;
}

void MemoryRegistry::SetHiveAccess(RegHive hive, HiveAccess access) {
  access_[hive] = access;
}

MemoryRegistry::Key* MemoryRegistry::Ensure(const KeyId& id, std::string_view subKey) {
  // Parents first, so that every prefix of a created key exists, as on Windows.
  for (std::size_t pos = subKey.find('\\'); pos != std::string_view::npos;
       pos = subKey.find('\\', pos + 1)) {
    const std::string_view parent = subKey.substr(0, pos);
    keys_.try_emplace(KeyId{id.hive, Fold(parent)}, Key{std::string(parent), {}});
  }
  return &keys_.try_emplace(id, Key{std::string(subKey), {}}).first->second;
}

std::int32_t MemoryRegistry::Open(RegHive hive, std::string_view subKey, std::uint32_t access,
                                  bool create, RegKeyHandle& handle) {
  if (!IsKnownHive(hive)) return kErrorInvalidHandle;
  if (!IsValidPath(subKey)) return kErrorInvalidParameter;
  const HiveAccess hiveAccess = AccessOf(hive);
  if (hiveAccess == HiveAccess::Denied) return kErrorAccessDenied;
  if (hiveAccess == HiveAccess::ReadOnly && (access & kWriteRights) != 0) {
    return kErrorAccessDenied;
  }
  KeyId id{hive, Fold(subKey)};
  // The root always exists; it is stored only once it holds a value.
  if (!subKey.empty() && !keys_.contains(id)) {
    if (!create) return kErrorFileNotFound;
    Ensure(id, subKey);
  }
  handle = nextHandle_++;
  handles_.emplace(handle, Handle{std::move(id), access});
  return kErrorSuccess;
}

std::int32_t MemoryRegistry::OpenKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                                     RegKeyHandle& key) {
  return Open(hive, subKey, access, false, key);
}

std::int32_t MemoryRegistry::CreateKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                                       RegKeyHandle& key) {
  return Open(hive, subKey, access, true, key);
}

RegQueryResult MemoryRegistry::QueryValue(RegKeyHandle key, std::string_view valueName,
                                          std::uint32_t bufferSize) {
  RegQueryResult result;
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) {
    result.rc = kErrorInvalidHandle;
    return result;
  }
  const auto stored = keys_.find(handle->second.id);
  if (stored == keys_.end()) {
    result.rc = kErrorFileNotFound;
    return result;
  }
  const auto value = FindValue(stored->second.values, valueName);
  if (value == stored->second.values.end()) {
    result.rc = kErrorFileNotFound;
    return result;
  }
  result.type = value->type;
  result.size = static_cast<std::uint32_t>(value->data.size());
  if (value->data.size() > bufferSize) {
    result.rc = kErrorMoreData;
    return result;
  }
  result.data = value->data;
  return result;
}

std::int32_t MemoryRegistry::SetValue(RegKeyHandle key, std::string_view valueName,
                                      std::uint32_t type, std::span<const std::uint8_t> data) {
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return kErrorInvalidHandle;
  if ((handle->second.access & kKeySetValue) == 0) return kErrorAccessDenied;
  const KeyId& id = handle->second.id;
  Key& stored = keys_.try_emplace(id, Key{}).first->second;
  const auto value = FindValue(stored.values, valueName);
  if (value != stored.values.end()) {
    value->type = type;
    value->data.assign(data.begin(), data.end());
  } else {
    stored.values.push_back(RegValue{std::string(valueName), type,
                                     std::vector<std::uint8_t>(data.begin(), data.end())});
  }
  return kErrorSuccess;
}

std::int32_t MemoryRegistry::CloseKey(RegKeyHandle key) {
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

bool MemoryRegistry::PutKey(RegHive hive, std::string_view subKey) {
  if (!IsKnownHive(hive) || !IsValidPath(subKey)) return false;
  Ensure(KeyId{hive, Fold(subKey)}, subKey);
  return true;
}

bool MemoryRegistry::PutValue(RegHive hive, std::string_view subKey, RegValue value) {
  if (!IsKnownHive(hive) || !IsValidPath(subKey)) return false;
  Key* stored = Ensure(KeyId{hive, Fold(subKey)}, subKey);
  const auto existing = FindValue(stored->values, value.name);
  if (existing != stored->values.end()) {
    existing->type = value.type;
    existing->data = std::move(value.data);
  } else {
    stored->values.push_back(std::move(value));
  }
  return true;
}

std::optional<RegValue> MemoryRegistry::GetValue(RegHive hive, std::string_view subKey,
                                                 std::string_view valueName) const {
  const auto stored = keys_.find(KeyId{hive, Fold(subKey)});
  if (stored == keys_.end()) return std::nullopt;
  for (const RegValue& value : stored->second.values) {
    if (SameName(value.name, valueName)) return value;
  }
  return std::nullopt;
}

bool MemoryRegistry::HasKey(RegHive hive, std::string_view subKey) const {
  if (subKey.empty()) return IsKnownHive(hive);
  return keys_.contains(KeyId{hive, Fold(subKey)});
}

std::vector<RegKeyView> MemoryRegistry::Keys() const {
  std::vector<RegKeyView> views;
  views.reserve(keys_.size());
  for (const auto& [id, key] : keys_) views.push_back(RegKeyView{id.hive, key.path, key.values});
  return views;
}

}  // namespace vistel
