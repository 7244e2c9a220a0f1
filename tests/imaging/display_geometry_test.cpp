#include "imaging/display_geometry.hpp"

#include <gtest/gtest.h>

namespace vistel {
namespace {

FloatRect Display(SizeMode mode, FloatSize picture, FloatSize control, float zoom = 100.0F) {
  DisplayInputs in;
  in.sizeMode = mode;
  in.zoomPercent = zoom;
  in.origin = {3.0F, 4.0F};
  in.control = control;
  in.picture = picture;
  return ComputeDisplayRect(in);
}

TEST(DisplayGeometry, NormalIsThePictureSizeAndStretchTheControlSize) {
  EXPECT_EQ(Display(SizeMode::Normal, {640, 480}, {100, 100}), (FloatRect{3, 4, 640, 480}));
  EXPECT_EQ(Display(SizeMode::Stretch, {640, 480}, {1920, 1080}), (FloatRect{3, 4, 1920, 1080}));
}

TEST(DisplayGeometry, FitKeepsTheAspectRatioAndTouchesTheLimitingSide) {
  // Wider than the control: the width limits.
  EXPECT_EQ(Display(SizeMode::Fit, {400, 100}, {800, 600}), (FloatRect{3, 4, 800, 200}));
  // Taller: the height limits.
  EXPECT_EQ(Display(SizeMode::Fit, {100, 400}, {800, 600}), (FloatRect{3, 4, 150, 600}));
  // Larger than the control in both directions: shrunk.
  EXPECT_EQ(Display(SizeMode::Fit, {4000, 3000}, {1920, 1080}), (FloatRect{3, 4, 1440, 1080}));
  // Same aspect ratio: exactly the control.
  EXPECT_EQ(Display(SizeMode::Fit, {160, 90}, {1920, 1080}), (FloatRect{3, 4, 1920, 1080}));
}

TEST(DisplayGeometry, FitWithoutEnlargingKeepsSmallPicturesAsTheyAre) {
  EXPECT_EQ(Display(SizeMode::FitNoEnlarge, {400, 100}, {800, 600}), (FloatRect{3, 4, 400, 100}));
  EXPECT_EQ(Display(SizeMode::FitNoEnlarge, {800, 600}, {800, 600}), (FloatRect{3, 4, 800, 600}));
  // Too wide only: shrunk to the width.
  EXPECT_EQ(Display(SizeMode::FitNoEnlarge, {1600, 400}, {800, 600}), (FloatRect{3, 4, 800, 200}));
  // Too tall only: shrunk to the height.
  EXPECT_EQ(Display(SizeMode::FitNoEnlarge, {300, 1200}, {800, 600}), (FloatRect{3, 4, 150, 600}));
}

TEST(DisplayGeometry, ZoomScalesThePictureByThePercentage) {
  EXPECT_EQ(Display(SizeMode::Zoom, {640, 480}, {1, 1}, 50.0F), (FloatRect{3, 4, 320, 240}));
  EXPECT_EQ(Display(SizeMode::Zoom, {640, 480}, {1, 1}, 250.0F), (FloatRect{3, 4, 1600, 1200}));
  const FloatRect odd = Display(SizeMode::Zoom, {333, 101}, {1, 1}, 33.3F);
  EXPECT_FLOAT_EQ(odd.width, 333.0F * 33.3F / 100.0F);
  EXPECT_FLOAT_EQ(odd.height, 101.0F * 33.3F / 100.0F);
}

TEST(DisplayGeometry, NothingToDisplayWithoutAPictureOrInAnEmptyControl) {
  for (SizeMode mode : {SizeMode::Normal, SizeMode::Stretch, SizeMode::Fit, SizeMode::FitNoEnlarge,
                        SizeMode::Zoom}) {
    const FloatRect r = Display(mode, {0, 0}, {800, 600});
    EXPECT_EQ(r.width, 0.0F) << "mode " << static_cast<int>(mode);
    EXPECT_EQ(r.height, 0.0F) << "mode " << static_cast<int>(mode);
  }
  EXPECT_EQ(Display(SizeMode::Fit, {400, 300}, {0, 600}).width, 0.0F);
  EXPECT_EQ(Display(SizeMode::FitNoEnlarge, {400, 300}, {0, 0}).height, 0.0F);
}

}  // namespace
}  // namespace vistel
