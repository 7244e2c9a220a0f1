// How a photo must be turned to stand upright, as its Exif Orientation tag
// says, and the turn itself. Cameras store the sensor's pixels as they came
// and leave the turn to the viewer; the player shows stored pixels as they
// are, so the authoring tools turn photos before they go into a show.
#pragma once

#include <string_view>

#include "base/geometry.hpp"
#include "base/image.hpp"

namespace vistel {

// Exif's Orientation values, each named by what stands the stored pixels
// upright. 5 to 8 swap width and height.
enum class PictureOrientation {
  Upright = 1,
  MirrorLeftRight = 2,
  TurnHalf = 3,
  MirrorTopBottom = 4,
  Transpose = 5,  // mirror left to right, then turn a quarter anticlockwise
  TurnClockwise = 6,
  Transverse = 7,  // mirror left to right, then turn a quarter clockwise
  TurnAnticlockwise = 8,
};

// The size of a picture of `stored` size once it stands upright.
IntSize UprightSize(IntSize stored, PictureOrientation orientation);

// The picture turned (and mirrored) to stand upright.
Image StandUpright(const Image& stored, PictureOrientation orientation);

// What must be done to the stored pixels: "turn a quarter clockwise", ...
std::string_view OrientationName(PictureOrientation orientation);

}  // namespace vistel
