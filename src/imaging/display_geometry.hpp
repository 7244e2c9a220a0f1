// Where and how large an imaging control displays its picture, from its
// sizing mode, zoom factor and own size.
#pragma once

#include <cstdint>

#include "base/geometry.hpp"

namespace vistel {

enum class SizeMode : std::int32_t {
  Normal = 0,        // the picture's own size
  Stretch = 1,       // the control's size
  Fit = 2,           // as large as fits in the control, aspect ratio kept
  FitNoEnlarge = 3,  // as Fit, but never larger than the picture
  Zoom = 4,          // the picture's size times ZoomFactor percent
};
inline constexpr std::int32_t kLastSizeMode = 4;

struct DisplayInputs {
  SizeMode sizeMode = SizeMode::Normal;
  float zoomPercent = 100.0F;
  FloatPoint origin;  // DisplayLeft, DisplayTop
  FloatSize control;  // the control's size in pixels
  FloatSize picture;  // the picture's size in pixels (0 x 0 without one)
};

// The display rectangle in pixels, in single precision. Without a picture
// (or with an empty control in the fitting modes) its size is 0 x 0.
FloatRect ComputeDisplayRect(const DisplayInputs& in);

}  // namespace vistel
