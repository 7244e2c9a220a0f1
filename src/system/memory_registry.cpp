#include "system/memory_registry.hpp"

#include <algorithm>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

constexpr std::uint32_t kKeySetValue = 0x0002;
// Rights that change a key or its values: set value, create sub-key, create
// link, delete, write DAC, write owner.
constexpr std::uint32_t kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x10000 | 0x40000 | 0x80000;

// In the order the file lists them.
constexpr std::array<RegHive, 4> kHives = {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine,
                                           kHkeyUsers};

std::optional<std::size_t> HiveIndex(RegHive hive) {
  const auto it = std::find(kHives.begin(), kHives.end(), hive);
  if (it == kHives.end()) return std::nullopt;
  return static_cast<std::size_t>(it - kHives.begin());
}

unsigned char FoldChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

std::string Fold(std::string_view name) {
  std::string folded(name.size(), '\0');
  std::transform(name.begin(), name.end(), folded.begin(),
                 [](char c) { return static_cast<char>(FoldChar(c)); });
  return folded;
}

// Calls visit(name) for each name of a valid path, stopping when it says so.
template <class Visit>
bool ForEachName(std::string_view path, Visit visit) {
  while (!path.empty()) {
    const std::size_t slash = path.find('\\');
    if (!visit(path.substr(0, slash))) return false;
    path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
  }
  return true;
}

}  // namespace

RegPathProblem CheckRegPath(std::string_view subKey) {
  if (subKey.empty()) return RegPathProblem::None;
  std::size_t depth = 0;
  while (true) {
    const std::size_t slash = subKey.find('\\');
    const std::string_view name = subKey.substr(0, slash);
    if (name.empty()) return RegPathProblem::EmptyName;
    if (name.size() > limits::kMaxRegistryNameChars) return RegPathProblem::NameTooLong;
    if (++depth > limits::kMaxRegistryKeyDepth) return RegPathProblem::TooDeep;
    if (slash == std::string_view::npos) return RegPathProblem::None;
    subKey.remove_prefix(slash + 1);
    if (subKey.empty()) return RegPathProblem::EmptyName;  // a trailing "\"
  }
}

// Sub-keys are keyed by a view of their own name, compared case-folded: no
// name is stored twice.
struct FoldedLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return FoldChar(x) < FoldChar(y); });
  }
};

struct MemoryRegistry::Node {
  explicit Node(std::string_view spelling) : name(spelling) {}

  std::string name;  // as first spelled; never changes, sub-key maps view it
  std::vector<RegValue> values;
  std::map<std::string, std::size_t, std::less<>> valueIndex;  // folded name -> index
  std::map<std::string_view, std::unique_ptr<Node>, FoldedLess> subKeys;
  bool stored = false;  // a root: listed once it holds a value or was put
};

MemoryRegistry::MemoryRegistry() {
  for (auto& root : roots_) root = std::make_unique<Node>("");
}
MemoryRegistry::~MemoryRegistry() = default;
MemoryRegistry::MemoryRegistry(MemoryRegistry&&) noexcept = default;
MemoryRegistry& MemoryRegistry::operator=(MemoryRegistry&&) noexcept = default;

HiveAccess MemoryRegistry::AccessOf(RegHive hive) const {
  const auto it = access_.find(hive);
  return it == access_.end() ? HiveAccess::ReadWrite : it->second;
}

void MemoryRegistry::SetHiveAccess(RegHive hive, HiveAccess access) {
  access_[hive] = access;
}

MemoryRegistry::Node* MemoryRegistry::RootOf(RegHive hive) const {
  const auto index = HiveIndex(hive);
  return index ? roots_[*index].get() : nullptr;
}

MemoryRegistry::Node* MemoryRegistry::Find(RegHive hive, std::string_view subKey) const {
  Node* node = RootOf(hive);
  if (node == nullptr) return nullptr;
  const bool found = ForEachName(subKey, [&node](std::string_view name) {
    const auto child = node->subKeys.find(name);
    if (child == node->subKeys.end()) return false;
    node = child->second.get();
    return true;
  });
  return found ? node : nullptr;
}

MemoryRegistry::Node* MemoryRegistry::Ensure(RegHive hive, std::string_view subKey) {
  // Parents first, so that every prefix of a created key exists, as on Windows.
  Node* node = RootOf(hive);
  ForEachName(subKey, [this, &node](std::string_view name) {
    auto child = node->subKeys.find(name);
    if (child == node->subKeys.end()) {
      auto created = std::make_unique<Node>(name);
      const std::string_view key = created->name;
      child = node->subKeys.emplace(key, std::move(created)).first;
      ++entries_;
    }
    node = child->second.get();
    return true;
  });
  return node;
}

void MemoryRegistry::Put(Node& node, RegValue value) {
  node.stored = true;
  auto [index, added] = node.valueIndex.try_emplace(Fold(value.name), node.values.size());
  if (!added) {
    RegValue& existing = node.values[index->second];
    existing.type = value.type;
    existing.data = std::move(value.data);
    return;
  }
  node.values.push_back(std::move(value));
  ++entries_;
}

std::int32_t MemoryRegistry::Open(RegHive hive, std::string_view subKey, std::uint32_t access,
                                  bool create, RegKeyHandle& handle) {
  if (RootOf(hive) == nullptr) return kErrorInvalidHandle;
  if (CheckRegPath(subKey) != RegPathProblem::None) return kErrorInvalidParameter;
  const HiveAccess hiveAccess = AccessOf(hive);
  if (hiveAccess == HiveAccess::Denied) return kErrorAccessDenied;
  if (hiveAccess == HiveAccess::ReadOnly && (access & kWriteRights) != 0) {
    return kErrorAccessDenied;
  }
  // The root always exists; it is listed only once it holds a value.
  Node* node = Find(hive, subKey);
  if (node == nullptr) {
    if (!create) return kErrorFileNotFound;
    node = Ensure(hive, subKey);
  }
  handle = nextHandle_++;
  handles_.emplace(handle, Handle{hive, node, access});
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
  const Node& node = *handle->second.node;
  const auto index = node.valueIndex.find(Fold(valueName));
  if (index == node.valueIndex.end()) {
    result.rc = kErrorFileNotFound;
    return result;
  }
  const RegValue& value = node.values[index->second];
  result.type = value.type;
  result.size = static_cast<std::uint32_t>(value.data.size());
  if (value.data.size() > bufferSize) {
    result.rc = kErrorMoreData;
    return result;
  }
  result.data = value.data;
  return result;
}

std::int32_t MemoryRegistry::SetValue(RegKeyHandle key, std::string_view valueName,
                                      std::uint32_t type, std::span<const std::uint8_t> data) {
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return kErrorInvalidHandle;
  if ((handle->second.access & kKeySetValue) == 0) return kErrorAccessDenied;
  Put(*handle->second.node,
      RegValue{std::string(valueName), type, std::vector<std::uint8_t>(data.begin(), data.end())});
  return kErrorSuccess;
}

std::int32_t MemoryRegistry::CloseKey(RegKeyHandle key) {
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

bool MemoryRegistry::PutKey(RegHive hive, std::string_view subKey) {
  if (RootOf(hive) == nullptr || CheckRegPath(subKey) != RegPathProblem::None) return false;
  Ensure(hive, subKey)->stored = true;
  return true;
}

bool MemoryRegistry::PutValue(RegHive hive, std::string_view subKey, RegValue value) {
  if (RootOf(hive) == nullptr || CheckRegPath(subKey) != RegPathProblem::None) return false;
  Put(*Ensure(hive, subKey), std::move(value));
  return true;
}

std::optional<RegValue> MemoryRegistry::GetValue(RegHive hive, std::string_view subKey,
                                                 std::string_view valueName) const {
  const Node* node = Find(hive, subKey);
  if (node == nullptr) return std::nullopt;
  const auto index = node->valueIndex.find(Fold(valueName));
  if (index == node->valueIndex.end()) return std::nullopt;
  return node->values[index->second];
}

bool MemoryRegistry::HasKey(RegHive hive, std::string_view subKey) const {
  return Find(hive, subKey) != nullptr;
}

void MemoryRegistry::Merge(Node& into, Node& from) {
  if (from.stored) into.stored = true;
  for (RegValue& value : from.values) Put(into, std::move(value));
  for (auto& [name, child] : from.subKeys) {
    const auto existing = into.subKeys.find(name);
    if (existing != into.subKeys.end()) {
      Merge(*existing->second, *child);
      continue;
    }
    // A whole sub-tree that is new here moves over as it is.
    std::size_t moved = 0;
    const std::function<void(const Node&)> count = [&](const Node& node) {
      moved += 1 + node.values.size();
      for (const auto& [_, sub] : node.subKeys) count(*sub);
    };
    count(*child);
    entries_ += moved;
    const std::string_view key = child->name;
    into.subKeys.emplace(key, std::move(child));
  }
}

void MemoryRegistry::MergeFrom(MemoryRegistry&& other) {
  for (std::size_t i = 0; i < roots_.size(); ++i) Merge(*roots_[i], *other.roots_[i]);
  other = MemoryRegistry();
}

void MemoryRegistry::ForEachKey(const std::function<void(const RegKeyView&)>& visit) const {
  std::string path;
  // Depth-first; the recursion is as deep as the deepest key, which the path
  // limits bound.
  const std::function<void(RegHive, const Node&)> walk = [&](RegHive hive, const Node& node) {
    for (const auto& [name, child] : node.subKeys) {
      const std::size_t length = path.size();
      if (!path.empty()) path += '\\';
      path += child->name;
      visit(RegKeyView{hive, path, child->values, !child->subKeys.empty()});
      walk(hive, *child);
      path.resize(length);
    }
  };
  for (std::size_t i = 0; i < roots_.size(); ++i) {
    const Node& root = *roots_[i];
    if (root.stored) visit(RegKeyView{kHives[i], "", root.values, !root.subKeys.empty()});
    walk(kHives[i], root);
  }
}

std::vector<RegKeyCopy> MemoryRegistry::Keys() const {
  std::vector<RegKeyCopy> keys;
  ForEachKey([&keys](const RegKeyView& key) {
    keys.push_back(RegKeyCopy{key.hive, std::string(key.path), key.values});
  });
  return keys;
}

}  // namespace vistel
