#include "media/probe/exif_date.hpp"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace vistel {
namespace {

// Exif tags: the pointer to the Exif directory, and the two dates.
constexpr std::uint32_t kExifDirectoryTag = 34665;
constexpr std::uint32_t kDateTimeOriginalTag = 36867;
constexpr std::uint32_t kDateTimeTag = 306;
constexpr std::uint32_t kAsciiType = 2;
constexpr std::uint32_t kLongType = 4;
constexpr std::size_t kDateChars = 19;  // "YYYY:MM:DD HH:MM:SS"

// Seconds from 1970-01-01 to midnight of that day (proleptic Gregorian),
// counting years from March so that the leap day ends a year.
std::int64_t SecondsFromCivil(int year, unsigned month, unsigned day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(y - era * 400);
  const unsigned monthFromMarch = month > 2 ? month - 3 : month + 9;
  const unsigned dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return (std::int64_t{era} * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468) * 86400;
}

// A TIFF structure inside `bytes` starting at `base`; every read is checked.
class Tiff {
 public:
  Tiff(std::span<const std::byte> bytes, std::size_t base) : bytes_(bytes), base_(base) {}

  bool Valid() const {
    if (!Has(0, 8)) return false;
    const auto b0 = At(0);
    const auto b1 = At(1);
    return (b0 == 'I' && b1 == 'I' && U16(2) == 42) || (b0 == 'M' && b1 == 'M' && U16(2) == 42);
  }
  std::uint32_t FirstDirectory() const { return U32(4); }

  // The value field's offset (relative to base) of `tag` of `type` in the
  // directory at `directory`, nullopt when it is not there.
  std::optional<std::size_t> Find(std::uint32_t directory, std::uint32_t tag,
                                  std::uint32_t type) const {
    if (!Has(directory, 2)) return std::nullopt;
    const std::uint32_t entries = U16(directory);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::size_t entry = std::size_t{directory} + 2 + std::size_t{12} * i;
      if (!Has(entry, 12)) return std::nullopt;
      if (U16(entry) == tag && U16(entry + 2) == type) return entry + 4;
    }
    return std::nullopt;
  }

  // An ASCII value of at least kDateChars characters, as a date.
  std::optional<std::int64_t> Date(std::size_t field) const {
    const std::uint32_t count = U32(field);
    if (count < kDateChars) return std::nullopt;
    const std::size_t at = count <= 4 ? field + 4 : U32(field + 4);
    if (!Has(at, kDateChars)) return std::nullopt;
    return ParseDate(at);
  }

  std::uint32_t U32At(std::size_t field) const { return U32(field + 4); }

 private:
  bool Has(std::size_t offset, std::size_t count) const {
    const std::size_t size = bytes_.size() - std::min(bytes_.size(), base_);
    return offset <= size && count <= size - offset;
  }
  unsigned At(std::size_t offset) const {
    return std::to_integer<unsigned>(bytes_[base_ + offset]);
  }
  bool Little() const { return At(0) == 'I'; }
  std::uint32_t U16(std::size_t at) const {
    return Little() ? At(at) | (At(at + 1) << 8U) : (At(at) << 8U) | At(at + 1);
  }
  std::uint32_t U32(std::size_t at) const {
    if (!Has(at, 4)) return 0;
    return Little() ? U16(at) | (U16(at + 2) << 16U) : (U16(at) << 16U) | U16(at + 2);
  }

  std::optional<std::int64_t> ParseDate(std::size_t at) const {
    // "YYYY:MM:DD HH:MM:SS": digits everywhere but the separators.
    constexpr std::string_view kShape = "dddd:dd:dd dd:dd:dd";
    int fields[6] = {};
    int field = 0;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
      const unsigned c = At(at + i);
      if (kShape[i] == 'd') {
        if (c < '0' || c > '9') return std::nullopt;
        fields[field] = fields[field] * 10 + static_cast<int>(c - '0');
      } else {
        if (c != static_cast<unsigned char>(kShape[i])) return std::nullopt;
        ++field;
      }
    }
    const auto [year, month, day, hour, minute, second] = fields;
    if (year < 1800 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
      return std::nullopt;
    }
    return SecondsFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
           hour * 3600 + minute * 60 + second;
  }

  std::span<const std::byte> bytes_;
  std::size_t base_;
};

std::optional<std::int64_t> TiffDate(const Tiff& tiff) {
  if (!tiff.Valid()) return std::nullopt;
  const std::uint32_t first = tiff.FirstDirectory();
  if (const auto pointer = tiff.Find(first, kExifDirectoryTag, kLongType)) {
    if (const auto field = tiff.Find(tiff.U32At(*pointer), kDateTimeOriginalTag, kAsciiType)) {
      if (const auto date = tiff.Date(*field)) return date;
    }
  }
  if (const auto field = tiff.Find(first, kDateTimeTag, kAsciiType)) return tiff.Date(*field);
  return std::nullopt;
}

unsigned ByteAt(std::span<const std::byte> bytes, std::size_t at) {
  return std::to_integer<unsigned>(bytes[at]);
}

// The first Exif segment before the first frame header of a JPEG.
std::optional<std::int64_t> JpegDate(std::span<const std::byte> bytes) {
  std::size_t at = 2;  // past SOI
  while (at + 4 <= bytes.size()) {
    if (ByteAt(bytes, at) != 0xFF) return std::nullopt;
    const unsigned marker = ByteAt(bytes, at + 1);
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9 || (marker >= 0xC0 && marker <= 0xCF)) {
      return std::nullopt;  // the Exif segment comes first, if at all
    }
    const std::size_t length = (ByteAt(bytes, at + 2) << 8U) | ByteAt(bytes, at + 3);
    if (length < 2) return std::nullopt;
    constexpr std::string_view kExif("Exif\0\0", 6);
    if (marker == 0xE1 && length >= 2 + kExif.size() + 8 && at + 4 + kExif.size() <= bytes.size()) {
      bool exif = true;
      for (std::size_t i = 0; i < kExif.size(); ++i) {
        exif = exif && ByteAt(bytes, at + 4 + i) == static_cast<unsigned char>(kExif[i]);
      }
      if (exif) {
        // Offsets count from the TIFF header; the data must lie in the segment.
        const std::size_t end = std::min(bytes.size(), at + 2 + length);
        return TiffDate(Tiff(bytes.first(end), at + 4 + kExif.size()));
      }
    }
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> ExifDateTaken(std::span<const std::byte> bytes) {
  if (bytes.size() >= 3 && ByteAt(bytes, 0) == 0xFF && ByteAt(bytes, 1) == 0xD8 &&
      ByteAt(bytes, 2) == 0xFF) {
    return JpegDate(bytes);
  }
  return TiffDate(Tiff(bytes, 0));
}

}  // namespace vistel
