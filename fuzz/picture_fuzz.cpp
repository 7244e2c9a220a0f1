// Fuzzes the picture decoders on whole picture files: JPEG, PNG, BMP, GIF and
// TIFF (run.sh seeds one run per format), or anything else the content
// probe takes for a picture. Each file is decoded as the player decodes it:
// opened (a JPEG by libjpeg-turbo, the rest by FFmpeg), then decoded at a
// reduced scale for a target of a third of its size, row by row into a
// small ring as the resampler takes them, and whole. Decoding must end
// within the memory and time limits and give either an error or an image
// whose pixels match its size, the reduced one covering its target; row by
// row, every row comes once, into the room given for it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

// Takes rows a few at a time into a ring, as the resampler does, and checks
// that the decoder writes only where it was given room and gives every row.
class RingSink final : public PictureRowSink {
 public:
  Status Begin(IntSize size, FloatSize extent) override {
    fuzz::Require(size.width > 0 && size.height > 0);
    fuzz::Require(extent.width > 0.0F && extent.width <= static_cast<float>(size.width));
    fuzz::Require(extent.height > 0.0F && extent.height <= static_cast<float>(size.height));
    size_ = size;
    received_ = 0;
    ring_.assign(static_cast<std::size_t>(kRows) * static_cast<std::size_t>(size.width), 0);
    return {};
  }
  int NextRows(std::span<Pixel*> rows) override {
    const int count =
        std::min({static_cast<int>(rows.size()), kRows - 1, size_.height - received_});
    for (int k = 0; k < count; ++k) {
      rows[static_cast<std::size_t>(k)] =
          ring_.data() +
          static_cast<std::size_t>((received_ + k) % kRows) * static_cast<std::size_t>(size_.width);
    }
    given_ = count;
    return count;
  }
  void RowsDone(int count) override {
    fuzz::Require(count >= 0 && count <= given_);
    received_ += count;
    given_ = 0;
  }
  bool Complete() const { return size_.height > 0 && received_ == size_.height; }

 private:
  static constexpr int kRows = 5;
  IntSize size_;
  int received_ = 0;
  int given_ = 0;
  std::vector<Pixel> ring_;
};

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
  if (auto again = decoder.OpenPicture(path, 0)) {
    RingSink sink;
    if ((*again)->DecodeRows(target, sink)) fuzz::Require(sink.Complete());
  }
  if (auto image = decoder.DecodePicture(path, 0)) RequireWhole(*image);
  return 0;
}
