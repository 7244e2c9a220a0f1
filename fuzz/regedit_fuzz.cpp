// Fuzzes the REGEDIT4 reader of --registry. A registry that loads is written
// back at exit, so whatever loads must also save and load again as the same
// keys and values: the writer and the reader must agree on every byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "scratch_file.hpp"
#include "system/regedit_file.hpp"

using namespace vistel;

namespace {

using KeyCopy = std::tuple<RegHive, std::string, std::vector<RegValue>>;

std::vector<KeyCopy> Contents(const MemoryRegistry& registry) {
  std::vector<KeyCopy> keys;
  for (RegKeyCopy& key : registry.Keys()) {
    keys.emplace_back(key.hive, std::move(key.path), std::move(key.values));
  }
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MemoryRegistry loaded;
  if (const auto parsed = ParseRegedit(text, loaded); !parsed) {
    fuzz::Require(parsed.error().message.size() <= fuzz::kMaxMessageBytes);
    return 0;
  }
  const auto saved = FormatRegedit(loaded);
  // Only names holding a line break cannot be saved, and the writer says so.
  if (!saved) return 0;
  MemoryRegistry reloaded;
  fuzz::Require(ParseRegedit(*saved, reloaded).has_value());
  fuzz::Require(Contents(reloaded) == Contents(loaded));
  return 0;
}
