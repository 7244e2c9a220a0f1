#include "imaging/display_geometry.hpp"

namespace vistel {

namespace {

// The picture scaled to touch the control's limiting side; that side takes
// the control's value exactly, so no rounding leaves a one-pixel seam.
FloatSize FitInside(FloatSize picture, FloatSize control) {
  if (control.width <= 0.0F || control.height <= 0.0F) return {};
  // Compare the aspect ratios by cross-multiplying: no division to round.
  if (picture.width * control.height >= picture.height * control.width) {
    return {control.width, picture.height * control.width / picture.width};
  }
  return {picture.width * control.height / picture.height, control.height};
}

}  // namespace

FloatRect ComputeDisplayRect(const DisplayInputs& in) {
  FloatRect rect{in.origin.x, in.origin.y, 0.0F, 0.0F};
  if (in.picture.width <= 0.0F || in.picture.height <= 0.0F) return rect;
  FloatSize size;
  switch (in.sizeMode) {
    case SizeMode::Normal:
      size = in.picture;
      break;
    case SizeMode::Stretch:
      size = {in.control.width > 0.0F ? in.control.width : 0.0F,
              in.control.height > 0.0F ? in.control.height : 0.0F};
      break;
    case SizeMode::Fit:
      size = FitInside(in.picture, in.control);
      break;
    case SizeMode::FitNoEnlarge:
      size = in.picture.width <= in.control.width && in.picture.height <= in.control.height
                 ? in.picture
                 : FitInside(in.picture, in.control);
      break;
    case SizeMode::Zoom:
      size = {in.picture.width * in.zoomPercent / 100.0F,
              in.picture.height * in.zoomPercent / 100.0F};
      break;
  }
  rect.width = size.width;
  rect.height = size.height;
  return rect;
}

}  // namespace vistel
