#include "runtime/media.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace vistel {

namespace {

class DecodedOpenedPicture final : public OpenedPicture {
 public:
  explicit DecodedOpenedPicture(Image image) : image_(std::move(image)) {}
  IntSize Size() const override { return size_; }
  Result<DecodedPixels> Decode(IntSize /*atLeast*/) override {
    const FloatSize extent{static_cast<float>(size_.width), static_cast<float>(size_.height)};
    return DecodedPixels{std::move(image_), extent};
  }

 private:
  Image image_;
  IntSize size_ = image_.Extent();
};

}  // namespace

Status SendRows(const Image& image, FloatSize extent, PictureRowSink& sink) {
  if (auto ok = sink.Begin(image.Extent(), extent); !ok) return ok;
  const auto width = static_cast<std::size_t>(image.Width());
  Pixel* rows[16];
  for (int y = 0; y < image.Height();) {
    const int count = std::min(sink.NextRows(rows), image.Height() - y);
    if (count < 1) return Fail(ErrorCode::InvalidProcedureCall, "No room for the picture's rows");
    for (int k = 0; k < count; ++k) std::copy_n(image.Row(y + k), width, rows[k]);
    sink.RowsDone(count);
    y += count;
  }
  return {};
}

Status OpenedPicture::DecodeRows(IntSize atLeast, PictureRowSink& sink) {
  auto pixels = Decode(atLeast);
  if (!pixels) return Fail(std::move(pixels.error()));
  return SendRows(pixels->image, pixels->extent, sink);
}

std::unique_ptr<OpenedPicture> DecodedPicture(Image image) {
  return std::make_unique<DecodedOpenedPicture>(std::move(image));
}

Result<std::unique_ptr<OpenedPicture>> PictureDecoder::OpenPicture(std::string_view path,
                                                                   Pixel backColor) {
  auto image = DecodePicture(path, backColor);
  if (!image) return Fail(std::move(image.error()));
  return DecodedPicture(std::move(*image));
}

}  // namespace vistel
