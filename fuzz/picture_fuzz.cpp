// Fuzzes the picture decoder on whole picture files: JPEG, PNG, BMP, GIF and
// TIFF (run.sh seeds one run per format), or anything else the content
// probe takes for a picture. Decoding must end within the memory and time
// limits and give either an error or an image whose pixels match its size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/ffmpeg/picture_decoder.hpp"
#include "scratch_file.hpp"

using namespace vistel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile file;
  const std::string& path = file.Hold(std::span(data, size));
  FfmpegPictureDecoder decoder;
  const auto image = decoder.DecodePicture(path, MakePixel(0x20, 0x40, 0x60));
  if (!image) return 0;
  fuzz::Require(image->Width() > 0 && image->Height() > 0);
  fuzz::Require(image->Pixels().size() == static_cast<std::size_t>(image->Width()) *
                                              static_cast<std::size_t>(image->Height()));
  return 0;
}
