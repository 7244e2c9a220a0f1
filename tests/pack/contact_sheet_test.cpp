// The contact sheet's grid: each picture lands, scaled, in the rectangle the
// sheet reports for it (the sheet command prints those rectangles and the
// command-line test compares them with the player's snapshots), and a sheet
// beyond the picture limits is refused before anything is allocated.
#include "sheet/contact_sheet.hpp"

#include <gtest/gtest.h>

namespace vistel::pack {
namespace {

bool Inside(const IntRect& r, const Image& sheet) {
  return r.left >= 0 && r.top >= 0 && r.Right() <= sheet.Width() && r.Bottom() <= sheet.Height();
}

TEST(ComposeSheet, PutsEachFlatPictureWholeIntoItsReportedRectangle) {
  // Five cells in three columns, two frames each; the second frame of cell 3
  // is missing and must not show any picture's colour.
  std::vector<SheetCell> cells;
  for (unsigned i = 0; i < 5; ++i) {
    SheetCell cell;
    cell.frames.push_back({Image(320, 240, MakePixel(10 * i, 200, 7)), {}});
    cell.frames.push_back(
        {i == 3 ? Image() : Image(320, 240, MakePixel(250, 10 * i, 90)), "no snapshot"});
    cell.label = {"#" + std::to_string(i), "a label far too long for the cell it is written under"};
    cells.push_back(std::move(cell));
  }
  SheetLayout layout;
  layout.columns = 3;
  layout.thumbnail = {80, 60};
  layout.title = "title";
  FramePlaces places;
  const auto sheet = ComposeSheet(cells, layout, &places);
  ASSERT_TRUE(sheet) << sheet.error().description;
  ASSERT_EQ(places.size(), cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    ASSERT_EQ(places[i].size(), 2U);
    for (std::size_t f = 0; f < 2; ++f) {
      const IntRect& r = places[i][f];
      EXPECT_EQ(r.Extent(), layout.thumbnail) << "cell " << i << " frame " << f;
      ASSERT_TRUE(Inside(r, *sheet)) << "cell " << i << " frame " << f << " lies off the sheet";
      const Image& picture = cells[i].frames[f].picture;
      // The missing frame is checked against the colour it would have had.
      const Pixel colour = picture.IsEmpty() ? MakePixel(250, 30, 90) : picture.At(0, 0);
      int matching = 0;
      for (int y = r.top; y < r.Bottom(); ++y) {
        for (int x = r.left; x < r.Right(); ++x) matching += sheet->At(x, y) == colour;
      }
      if (picture.IsEmpty()) {
        EXPECT_EQ(matching, 0) << "cell " << i << ": the missing frame shows a picture";
      } else {
        EXPECT_EQ(matching, r.width * r.height) << "cell " << i << " frame " << f;
      }
    }
  }
  // Rows of three: cell 3 starts the second row, below cell 0.
  EXPECT_EQ(places[3][0].left, places[0][0].left);
  EXPECT_GT(places[3][0].top, places[0][0].Bottom());
}

TEST(ComposeSheet, RefusesLayoutsOutOfBoundsAndSheetsLargerThanAPicture) {
  struct Case {
    const char* what;
    int columns;
    IntSize thumbnail;
    std::size_t cells;
    std::size_t framesPerCell;
  };
  const Case cases[] = {
      {"no column", 0, {200, 150}, 1, 1},
      {"too many columns", kMaxSheetColumns + 1, {200, 150}, 1, 1},
      {"a thumbnail too small", 4, {8, 150}, 1, 1},
      {"a thumbnail too large", 4, {200, kMaxThumbnailSide + 1}, 1, 1},
      {"too many frames in a cell", 4, {200, 150}, 1, kMaxFramesPerCell + 1},
      {"a sheet over the picture limits",
       kMaxSheetColumns,
       {kMaxThumbnailSide, kMaxThumbnailSide},
       64,
       2},
  };
  for (const Case& c : cases) {
    SheetLayout layout;
    layout.columns = c.columns;
    layout.thumbnail = c.thumbnail;
    SheetCell cell;
    cell.frames.resize(c.framesPerCell);
    const std::vector<SheetCell> cells(c.cells, cell);
    EXPECT_FALSE(ComposeSheet(cells, layout)) << c.what;
  }
}

}  // namespace
}  // namespace vistel::pack
