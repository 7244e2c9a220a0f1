#include "system/traced_registry.hpp"

#include "base/text.hpp"

namespace vistel {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

void AppendHexByte(std::string& out, std::uint8_t byte) {
  out.push_back(kHexDigits[byte >> 4U]);
  out.push_back(kHexDigits[byte & 0xFU]);
}

}  // namespace

std::string RegValueTraceText(std::uint32_t type, std::span<const std::uint8_t> data) {
  if (type == kRegSz || type == kRegExpandSz) {
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    return Windows1252ToUtf8(text);
  }
  std::string out;
  if (type == kRegDword && data.size() == 4) {
    out = "dword:";
    for (std::size_t i = 4; i-- > 0;) AppendHexByte(out, data[i]);
    return out;
  }
  if (type == kRegBinary) {
    out = "hex:";
  } else {
    std::string digits;
    std::uint32_t t = type;
    do {
      digits.insert(digits.begin(), kHexDigits[t & 0xFU]);
      t >>= 4U;
    } while (t != 0);
    out = "hex(" + digits + "):";
  }
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out.push_back(',');
    AppendHexByte(out, data[i]);
  }
  return out;
}

std::int32_t TracedRegistry::OpenKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                                     RegKeyHandle& key) {
  const std::int32_t rc = inner_.OpenKey(hive, subKey, access, key);
  if (rc == kErrorSuccess) opened_[key] = OpenedKey{hive, std::string(subKey)};
  return rc;
}

std::int32_t TracedRegistry::CreateKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                                       RegKeyHandle& key) {
  const std::int32_t rc = inner_.CreateKey(hive, subKey, access, key);
  if (rc == kErrorSuccess) opened_[key] = OpenedKey{hive, std::string(subKey)};
  return rc;
}

RegQueryResult TracedRegistry::QueryValue(RegKeyHandle key, std::string_view valueName,
                                          std::uint32_t bufferSize) {
  RegQueryResult result = inner_.QueryValue(key, valueName, bufferSize);
  Write("read", key, valueName,
        result.rc == kErrorSuccess ? RegValueTraceText(result.type, result.data) : std::string(),
        result.rc);
  return result;
}

std::int32_t TracedRegistry::SetValue(RegKeyHandle key, std::string_view valueName,
                                      std::uint32_t type, std::span<const std::uint8_t> data) {
  const std::int32_t rc = inner_.SetValue(key, valueName, type, data);
  Write("write", key, valueName, RegValueTraceText(type, data), rc);
  return rc;
}

std::int32_t TracedRegistry::CloseKey(RegKeyHandle key) {
  opened_.erase(key);
  return inner_.CloseKey(key);
}

void TracedRegistry::Write(std::string_view op, RegKeyHandle key, std::string_view valueName,
                           std::string data, std::int32_t rc) {
  if (!trace_.Enabled()) return;
  const auto opened = opened_.find(key);
  const RegHive hive = opened == opened_.end() ? 0 : opened->second.hive;
  std::string subKey = opened == opened_.end() ? std::string() : opened->second.subKey;
  trace_.Write("registry", {{"op", std::string(op)},
                            {"hive", std::string(HiveName(hive))},
                            {"key", Windows1252ToUtf8(subKey)},
                            {"name", Windows1252ToUtf8(valueName)},
                            {"data", std::move(data)},
                            {"rc", std::int64_t{rc}}});
}

}  // namespace vistel
