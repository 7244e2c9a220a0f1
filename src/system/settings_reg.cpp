#include "system/settings_reg.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "base/conversions.hpp"

namespace vistel {
namespace {

// Windows-1252 bytes 0x80..0x9F as UTF-16; the five bytes the code page leaves
// undefined map to the C1 control of the same value, as Windows does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// One UTF-16 character as the ANSI code page stores it; characters the code
// page lacks become "?", the system's default character.
char ToAnsi(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// Binary data reads as UTF-16 text, low byte first; an odd last byte has no
// partner and is dropped, NULs read as blanks, and surrounding blanks go.
std::string BinaryToText(std::span<const std::uint8_t> data) {
  std::string text;
  text.reserve(data.size() / 2);
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    text.push_back(c == 0 ? ' ' : ToAnsi(c));
  }
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// The four bytes summed in single precision, so values beyond 2^24 come back
// rounded to the nearest float; formatted with at least three digits. Bytes
// a short value lacks count as 0.
std::string DwordToText(std::span<const std::uint8_t> data) {
  std::array<float, 4> b{};
  for (std::size_t i = 0; i < b.size() && i < data.size(); ++i) b[i] = data[i];
  float sum = b[0] + 256.0F * b[1];
  sum = sum + 65536.0F * b[2];
  sum = sum + 16777216.0F * b[3];
  return FormatZeroPadded(static_cast<double>(sum), 3);
}

std::string ConvertValue(std::uint32_t type, std::uint32_t size,
                         std::span<const std::uint8_t> data) {
  if (size <= 1) return {};
  const auto held = std::min<std::size_t>(size, data.size());
  switch (type) {
    case kRegBinary:
      return BinaryToText(data.first(held));
    case kRegDword:
      return DwordToText(data.first(held));
    default: {
      // Text: the data without its terminating NUL.
      const auto chars = std::min<std::size_t>(size - 1, held);
      return {reinterpret_cast<const char*>(data.data()), chars};
    }
  }
}

std::string FailureText(std::int32_t rc, std::string_view verb, std::string_view what) {
  std::string text = "An error occurred (";
  text += NumberToText(rc);
  text += ") attempting to ";
  text += verb;
  text += " ";
  text += what;
  return text;
}

}  // namespace

std::string SettingsReg::ReadRegSetting(RegHive hive, std::string_view key,
                                        std::string_view valueName, std::string_view defaultValue,
                                        Quiet quiet) {
  RegKeyHandle handle = 0;
  std::int32_t rc = registry_.OpenKey(hive, key, kKeyAllAccess, handle);
  std::string text;
  if (rc == kErrorSuccess) {
    RegQueryResult query = registry_.QueryValue(handle, valueName, kRegSettingBufferSize);
    registry_.CloseKey(handle);
    rc = query.rc;
    if (rc == kErrorSuccess) text = ConvertValue(query.type, query.size, query.data);
  }
  if (rc != kErrorSuccess) {
    if (quiet == Quiet::No) {
      messageBoxes_.Show(FailureText(rc, "read", "a setting from the Windows Registry."),
                         kMbExclamationAlert, "");
    }
    return std::string(defaultValue);
  }
  return text.empty() ? std::string(defaultValue) : text;
}

bool SettingsReg::SaveRegSetting(RegHive hive, std::string_view key, std::string_view valueName,
                                 std::string_view value, Quiet quiet) {
  RegKeyHandle handle = 0;
  std::int32_t rc = registry_.CreateKey(hive, key, kKeyAllAccess, handle);
  if (rc == kErrorSuccess) {
    // REG_SZ data carries its terminating NUL: length is characters + 1.
    std::vector<std::uint8_t> data(value.begin(), value.end());
    data.push_back(0);
    rc = registry_.SetValue(handle, valueName, kRegSz, data);
    registry_.CloseKey(handle);
    if (rc == kErrorSuccess) return true;
  }
  if (quiet == Quiet::No) {
    messageBoxes_.Show(FailureText(rc, "save", "a setting to the Windows Registry."),
                       kMbExclamationAlert, "");
  }
  return false;
}

}  // namespace vistel
