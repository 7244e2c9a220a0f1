#include "runtime/media.hpp"

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
