// The imaging control decodes a loaded picture only when its pixels are
// needed, and asks the decoder for the size a smooth resize will make of it.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/imaging_control.hpp"
#include "imaging/resample.hpp"

namespace vistel {
namespace {

// A 400x300 picture of one colour, per pixel of its own size; decoded at
// half scale when the request allows (as a JPEG would), else whole. The
// second picture, "broken", opens but fails to decode.
class ScalingDecoder : public PictureDecoder {
 public:
  std::vector<std::optional<IntSize>> requests;  // one per decode; nullopt: eager

  Result<Image> DecodePicture(std::string_view, Pixel) override {
    requests.push_back(std::nullopt);
    return Image(400, 300, 0x00102030U);
  }

  Result<std::unique_ptr<OpenedPicture>> OpenPicture(std::string_view path, Pixel) override {
    class Picture final : public OpenedPicture {
     public:
      Picture(ScalingDecoder& owner, bool broken) : owner_(owner), broken_(broken) {}
      IntSize Size() const override { return {400, 300}; }
      Result<DecodedPixels> Decode(IntSize atLeast) override {
        owner_.requests.push_back(atLeast);
        if (broken_) return Fail(ErrorCode::InvalidProcedureCall, "damaged");
        const bool half = atLeast.width <= 200 && atLeast.height <= 150;
        const int w = half ? 200 : 400, h = half ? 150 : 300;
        return DecodedPixels{Image(w, h, 0x00102030U),
                             {static_cast<float>(w), static_cast<float>(h)}};
      }

     private:
      ScalingDecoder& owner_;
      bool broken_;
    };
    return std::make_unique<Picture>(*this, path == "broken");
  }
};

TEST(DeferredPicture, DecodesWhenThePixelsAreNeededAtTheSizeTheyAreShownAt) {
  const IntSize whole{400, 300};
  struct Case {
    const char* what;
    std::function<void(ImagingControl&)> use;
    IntSize asked;   // what the decoder is asked for
    IntSize bitmap;  // the bitmap afterwards
  };
  const Case cases[] = {
      {"smooth resize to a quarter",
       [](ImagingControl& c) { (void)c.ResizeBitmap(100, 75, 2); },
       {100, 75},
       {100, 75}},
      {"smooth resize mode 1",
       [](ImagingControl& c) { (void)c.ResizeBitmap(150, 100, 1); },
       {150, 100},
       {150, 100}},
      {"smooth resize, enlarged",
       [](ImagingControl& c) { (void)c.ResizeBitmap(800, 600, 2); },
       {800, 600},
       {800, 600}},
      {"nearest-neighbour resize",
       [](ImagingControl& c) { (void)c.ResizeBitmap(100, 75, 0); },
       whole,
       {100, 75}},
      {"the bitmap's handle", [](ImagingControl& c) { (void)c.Bitmap(); }, whole, whole},
      {"a device context", [](ImagingControl& c) { (void)c.GetBitmapDC(); }, whole, whole},
      {"a fill", [](ImagingControl& c) { (void)c.Fill(MakeColorRef(0x10, 0x20, 0x30)); }, whole,
       whole},
      {"a repaint", [](ImagingControl& c) { (void)c.Repaint(); }, whole, whole},
  };
  for (const Case& c : cases) {
    ScalingDecoder decoder;
    ImagingServices services;
    services.decoder = &decoder;
    ImagingControl control(services);
    ASSERT_TRUE(control.LoadImageFile("photo", 0, 0, 1)) << c.what;
    // The geometry is there before any pixel: fit into 200x200 pixels.
    ASSERT_TRUE(control.SetWidth(200 * 15.0F));
    ASSERT_TRUE(control.SetHeight(200 * 15.0F));
    ASSERT_TRUE(control.SetSizeMode(static_cast<std::int32_t>(SizeMode::Fit)));
    EXPECT_EQ(control.BitmapWidth(), 400.0F) << c.what;
    EXPECT_EQ(control.SourceHeight(), 300.0F) << c.what;
    EXPECT_EQ(control.DisplayWidth(), 200.0F) << c.what;
    EXPECT_EQ(control.DisplayHeight(), 150.0F) << c.what;
    EXPECT_TRUE(decoder.requests.empty()) << c.what << ": decoded before its pixels were needed";
    c.use(control);
    ASSERT_EQ(decoder.requests.size(), 1U) << c.what;
    EXPECT_EQ(decoder.requests[0], c.asked) << c.what;
    EXPECT_EQ(control.BitmapImage().Extent(), c.bitmap) << c.what;
    EXPECT_EQ(control.BitmapImage().At(0, 0), 0x00102030U) << c.what;
    EXPECT_EQ(control.DisplayWidth(), 200.0F) << c.what << ": the picture's own size stays";
  }
}

// A picture that opens but cannot be decoded leaves the previous one, size
// and pixels, as a load that fails at once does.
TEST(DeferredPicture, APictureThatFailsLateLeavesThePreviousOne) {
  ScalingDecoder decoder;
  ImagingServices services;
  services.decoder = &decoder;
  ImagingControl control(services);
  control.SetBitmapImage(Image(30, 20, 0x00AABBCCU));
  ASSERT_TRUE(control.LoadImageFile("broken", 0, 0, 1));
  EXPECT_EQ(control.BitmapWidth(), 400.0F);
  EXPECT_FALSE(control.ResizeBitmap(100, 75, 2));
  EXPECT_EQ(control.BitmapWidth(), 30.0F);
  EXPECT_EQ(control.BitmapImage(), Image(30, 20, 0x00AABBCCU));
  EXPECT_EQ(control.DisplayWidth(), 30.0F);
}

}  // namespace
}  // namespace vistel
