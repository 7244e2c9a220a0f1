// Fuzzes the picture probe: the header walk of all five formats and the Exif
// directories of a JPEG or TIFF (the orientation and the date taken). It must
// never read outside the bytes, and a size it reports must come from them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/probe/exif_date.hpp"
#include "media/probe/picture_probe.hpp"
#include "scratch_file.hpp"

using namespace vistel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  // A date, when there is one, lies in the years 1800 to 9999.
  if (const auto taken = ExifDateTaken(bytes)) {
    fuzz::Require(*taken >= -5364662400LL && *taken < 253402300800LL);
  }
  const auto header = ProbePicture(bytes);
  if (!header) return 0;
  const int orientation = static_cast<int>(header->orientation);
  fuzz::Require(orientation >= 1 && orientation <= 8);
  fuzz::Require(header->size.width >= 0 && header->size.height >= 0);
  const IntSize upright = UprightSize(header->size, header->orientation);
  fuzz::Require(upright.width * std::int64_t{1} * upright.height ==
                header->size.width * std::int64_t{1} * header->size.height);
  return 0;
}
