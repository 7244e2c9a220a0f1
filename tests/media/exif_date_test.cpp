#include "media/probe/exif_date.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vistel {
namespace {

using namespace std::string_literals;

std::vector<std::byte> Bytes(const std::string& text) {
  std::vector<std::byte> bytes;
  for (char c : text) bytes.push_back(static_cast<std::byte>(c));
  return bytes;
}

// A TIFF structure in either byte order: the first directory holds DateTime
// (306) when `modified` is given and the pointer to an Exif directory
// holding DateTimeOriginal (36867) when `taken` is; `textOffsetShift` moves
// the text's offset to test offsets that lead outside the data.
std::string Tiff(bool little, const std::string& taken, const std::string& modified,
                 std::uint32_t textOffsetShift = 0) {
  auto u16 = [&](std::uint32_t v) {
    return little ? std::string{char(v & 0xFF), char(v >> 8)}
                  : std::string{char(v >> 8), char(v & 0xFF)};
  };
  auto u32 = [&](std::uint32_t v) {
    return little ? u16(v & 0xFFFF) + u16(v >> 16) : u16(v >> 16) + u16(v & 0xFFFF);
  };
  const std::uint32_t entries = (taken.empty() ? 0U : 1U) + (modified.empty() ? 0U : 1U);
  const std::uint32_t firstEnd = 8 + 2 + 12 * entries + 4;
  const std::uint32_t exifEnd = firstEnd + (taken.empty() ? 0U : 2U + 12U + 4U);
  const std::uint32_t modifiedText = exifEnd;
  const std::uint32_t takenText = exifEnd + (modified.empty() ? 0U : 20U);
  std::string tiff = (little ? "II*\0"s : "MM\0*"s) + u32(8) + u16(entries);
  if (!modified.empty()) tiff += u16(306) + u16(2) + u32(20) + u32(modifiedText + textOffsetShift);
  if (!taken.empty()) tiff += u16(34665) + u16(4) + u32(1) + u32(firstEnd);
  tiff += u32(0);
  if (!taken.empty()) {
    tiff += u16(1) + u16(36867) + u16(2) + u32(20) + u32(takenText + textOffsetShift) + u32(0);
  }
  if (!modified.empty()) tiff += modified + '\0';
  if (!taken.empty()) tiff += taken + '\0';
  return tiff;
}

std::string Jpeg(const std::string& tiff) {
  const std::string exif = "Exif\0\0"s + tiff;
  const auto length = static_cast<std::uint32_t>(exif.size() + 2);
  return "\xFF\xD8\xFF\xE1"s + char(length >> 8) + char(length & 0xFF) + exif +
         "\xFF\xC0\0\x11\x08\x01\xE0\x02\x80"s;
}

struct DateCase {
  const char* what;
  std::string bytes;
  std::optional<std::int64_t> expected;
};

// The date a photo was taken orders a folder by date: the Exif directory's
// DateTimeOriginal first, the first directory's DateTime else, read as
// written; anything else, or anything cut short, gives no date rather than a
// wrong one.
TEST(ExifDate, ReadsTheDateAPhotoWasTaken) {
  const std::string july = "2019:07:01 10:00:00";  // 1561975200
  const std::string leap = "2000:02:29 23:59:59";  // 951868799
  const std::string jpegOfJuly = Jpeg(Tiff(true, july, ""));
  const std::vector<DateCase> cases = {
      {"JPEG, little-endian, DateTimeOriginal", jpegOfJuly, 1561975200},
      {"JPEG, big-endian, DateTimeOriginal", Jpeg(Tiff(false, july, "")), 1561975200},
      {"DateTime alone", Jpeg(Tiff(true, "", leap)), 951868799},
      {"DateTimeOriginal before DateTime", Jpeg(Tiff(true, july, leap)), 1561975200},
      {"a TIFF file's own directory", Tiff(false, "", leap), 951868799},
      {"the year 9999", Jpeg(Tiff(true, "9999:12:31 23:59:59", "")), 253402300799},
      {"the year 1800", Jpeg(Tiff(true, "1800:01:01 00:00:00", "")), -5364662400},
      {"a camera never set", Jpeg(Tiff(true, "0000:00:00 00:00:00", "")), std::nullopt},
      {"blanks", Jpeg(Tiff(true, "                   ", "")), std::nullopt},
      {"dashes", Jpeg(Tiff(true, "2019-07-01 10:00:00", "")), std::nullopt},
      {"month 13", Jpeg(Tiff(true, "2019:13:01 10:00:00", "")), std::nullopt},
      {"the unset original falls back to DateTime", Jpeg(Tiff(true, "0000:00:00 00:00:00", leap)),
       951868799},
      {"text past the segment", Jpeg(Tiff(true, july, "", 4000)), std::nullopt},
      {"text offset near 4 GiB", Jpeg(Tiff(true, july, "", 0xFFFFFFF0U)), std::nullopt},
      {"cut inside the directory", jpegOfJuly.substr(0, 30), std::nullopt},
      {"no Exif segment", "\xFF\xD8\xFF\xC0\0\x11\x08\x01\xE0\x02\x80"s, std::nullopt},
      {"Exif after the frame header",
       "\xFF\xD8"s + "\xFF\xC0\0\x11\x08\x01\xE0\x02\x80"s + jpegOfJuly.substr(2), std::nullopt},
      {"a PNG", "\x89PNG\r\n\x1A\n"s, std::nullopt},
      {"nothing", ""s, std::nullopt},
  };
  for (const DateCase& c : cases) {
    EXPECT_EQ(ExifDateTaken(Bytes(c.bytes)), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace vistel
