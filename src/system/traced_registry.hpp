// A RegistryApi that passes every call to another and writes the "registry"
// trace event for each value read or written:
//
//   {"ev":"registry","op":"read","hive":"HKEY_CURRENT_USER",
//    "key":"Control Panel\\Desktop","name":"ScreenSaveUsePassword",
//    "data":"dword:00000001","rc":0}
//
// `key` is the sub-key as the caller spelled it when opening the key. `data`
// is the value as text: string types (REG_SZ, REG_EXPAND_SZ) as the text
// without its terminating NUL, converted from ANSI to UTF-8; a four-byte
// REG_DWORD as "dword:" and eight hex digits; anything else as "hex:" (binary)
// or "hex(N):" (other types) with comma-separated two-digit bytes. These are
// the notations of the REGEDIT4 file, so a trace line and the registry file
// read alike. A read that fails has `data` "" and its error in `rc` (an extra
// field, e.g. 2 for a missing value, 234 for a value larger than the buffer);
// `rc` is 0 on success.
#pragma once

#include <map>
#include <string>

#include "runtime/registry.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class TracedRegistry final : public RegistryApi {
 public:
  // Both are borrowed and must outlive this object.
  TracedRegistry(RegistryApi& inner, Trace& trace) : inner_(inner), trace_(trace) {}

  std::int32_t OpenKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                       RegKeyHandle& key) override;
  std::int32_t CreateKey(RegHive hive, std::string_view subKey, std::uint32_t access,
                         RegKeyHandle& key) override;
  RegQueryResult QueryValue(RegKeyHandle key, std::string_view valueName,
                            std::uint32_t bufferSize) override;
  std::int32_t SetValue(RegKeyHandle key, std::string_view valueName, std::uint32_t type,
                        std::span<const std::uint8_t> data) override;
  std::int32_t CloseKey(RegKeyHandle key) override;

 private:
  struct OpenedKey {
    RegHive hive = 0;
    std::string subKey;
  };
  void Write(std::string_view op, RegKeyHandle key, std::string_view valueName, std::string data,
             std::int32_t rc);

  RegistryApi& inner_;
  Trace& trace_;
  std::map<RegKeyHandle, OpenedKey> opened_;
};

// The trace's text for a value (see above), for the trace and its tests.
std::string RegValueTraceText(std::uint32_t type, std::span<const std::uint8_t> data);

}  // namespace vistel
