#include "media/probe/picture_orientation.hpp"

namespace vistel {
namespace {

bool SwapsSides(PictureOrientation orientation) {
  return static_cast<int>(orientation) >= static_cast<int>(PictureOrientation::Transpose);
}

}  // namespace

IntSize UprightSize(IntSize stored, PictureOrientation orientation) {
  return SwapsSides(orientation) ? IntSize{stored.height, stored.width} : stored;
}

Image StandUpright(const Image& stored, PictureOrientation orientation) {
  const int w = stored.Width();
  const int h = stored.Height();
  const IntSize size = UprightSize(stored.Extent(), orientation);
  Image upright(size.width, size.height);
  // Each upright pixel (x, y) names the stored pixel it shows; rows of the
  // result are written in order so the writes stay sequential.
  for (int y = 0; y < size.height; ++y) {
    Pixel* row = upright.Row(y);
    for (int x = 0; x < size.width; ++x) {
      int sx = x;
      int sy = y;
      switch (orientation) {
        case PictureOrientation::Upright:
          break;
        case PictureOrientation::MirrorLeftRight:
          sx = w - 1 - x;
          break;
        case PictureOrientation::TurnHalf:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case PictureOrientation::MirrorTopBottom:
          sy = h - 1 - y;
          break;
        case PictureOrientation::Transpose:
          sx = y;
          sy = x;
          break;
        case PictureOrientation::TurnClockwise:
          sx = y;
          sy = h - 1 - x;
          break;
        case PictureOrientation::Transverse:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case PictureOrientation::TurnAnticlockwise:
          sx = w - 1 - y;
          sy = x;
          break;
      }
      row[x] = stored.At(sx, sy);
    }
  }
  return upright;
}

std::string_view OrientationName(PictureOrientation orientation) {
  switch (orientation) {
    case PictureOrientation::Upright:
      return "upright";
    case PictureOrientation::MirrorLeftRight:
      return "mirror left to right";
    case PictureOrientation::TurnHalf:
      return "turn upside down";
    case PictureOrientation::MirrorTopBottom:
      return "mirror top to bottom";
    case PictureOrientation::Transpose:
      return "mirror and turn a quarter anticlockwise";
    case PictureOrientation::TurnClockwise:
      return "turn a quarter clockwise";
    case PictureOrientation::Transverse:
      return "mirror and turn a quarter clockwise";
    case PictureOrientation::TurnAnticlockwise:
      return "turn a quarter anticlockwise";
  }
  return "upright";
}

}  // namespace vistel
