// A contact sheet: a grid of labelled cells, each holding one or more
// pictures scaled down to thumbnails, or the reason a picture is missing.
// `vistel-pack sheet` fills it with snapshots of a show, `vistel-pack
// effects --sheet` with one frame of each effect family.
#pragma once

#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "base/image.hpp"

namespace vistel::pack {

struct SheetFrame {
  Image picture;        // full size; empty when there is none
  std::string absence;  // why there is none, written into the empty box
};

struct SheetCell {
  std::vector<SheetFrame> frames;  // side by side
  std::vector<std::string> label;  // lines under the frames
};

struct SheetLayout {
  int columns = 4;
  IntSize thumbnail{200, 150};
  std::string title;  // the line at the top; none when empty
};

// Where the sheet put each cell's frames: the thumbnail's rectangle.
using FramePlaces = std::vector<std::vector<IntRect>>;

inline constexpr int kMaxSheetColumns = 16;
inline constexpr int kMaxThumbnailSide = 1024;
inline constexpr int kMaxFramesPerCell = 4;
inline constexpr int kMaxLabelLines = 6;

// The sheet, and in `places` (when given) each frame's rectangle. Pictures are
// resampled to the thumbnail's size (area averaging). Label lines too long
// for the cell are cut with "..". Fails when the layout is out of bounds or
// the sheet would be larger than a picture may be.
Result<Image> ComposeSheet(const std::vector<SheetCell>& cells, const SheetLayout& layout,
                           FramePlaces* places = nullptr);

}  // namespace vistel::pack
