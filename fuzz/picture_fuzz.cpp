// Fuzzes the picture decoders on whole picture files: JPEG, PNG, BMP, GIF and
// TIFF (run.sh seeds one run per format), or anything else the content
// probe takes for a picture. Each file is decoded as the player decodes it:
// opened (a JPEG by libjpeg-turbo, the rest by FFmpeg), then decoded at a
// reduced scale for a target of a third of its size, and whole. Decoding
// must end within the memory and time limits and give either an error or an
// image whose pixels match its size, the reduced one covering its target.
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/ffmpeg/picture_decoder.hpp"
#include "media/jpeg/jpeg_picture_decoder.hpp"
#include "scratch_file.hpp"

using namespace vistel;

namespace {

void RequireWhole(const Image& image) {
  fuzz::Require(image.Width() > 0 && image.Height() > 0);
  fuzz::Require(image.Pixels().size() ==
                static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(image.Height()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile file;
  const std::string& path = file.Hold(std::span(data, size));
  FfmpegPictureDecoder ffmpeg;
  JpegPictureDecoder decoder(ffmpeg);
  auto opened = decoder.OpenPicture(path, MakePixel(0x20, 0x40, 0x60));
  if (!opened) return 0;
  const IntSize whole = (*opened)->Size();
  fuzz::Require(whole.width > 0 && whole.height > 0);
  const IntSize target{(whole.width + 2) / 3, (whole.height + 2) / 3};
  if (auto reduced = (*opened)->Decode(target)) {
    RequireWhole(reduced->image);
    fuzz::Require(reduced->image.Width() <= whole.width && reduced->image.Height() <= whole.height);
    fuzz::Require(reduced->extent.width >= static_cast<float>(target.width) &&
                  reduced->extent.height >= static_cast<float>(target.height));
  }
  if (auto image = decoder.DecodePicture(path, 0)) RequireWhole(*image);
  return 0;
}
