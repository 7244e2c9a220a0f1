// When a photo was taken, as its camera wrote it into the Exif data of a JPEG
// or a TIFF: DateTimeOriginal, or else the directory's DateTime. Read from the
// first bytes of the file only, so that ordering a folder by date costs one
// small read a photo.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vistel {

// Seconds from 1970-01-01 00:00:00 to the date and time written, counted as
// if they were UTC (Exif gives local time without a zone). nullopt for a
// picture without a readable date, a date outside the years 1800 to 9999, or
// one that is not "YYYY:MM:DD HH:MM:SS" (as cameras that were never set write
// "0000:00:00 00:00:00" or blanks).
std::optional<std::int64_t> ExifDateTaken(std::span<const std::byte> bytes);

}  // namespace vistel
