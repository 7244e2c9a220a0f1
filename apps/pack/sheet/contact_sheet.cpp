#include "sheet/contact_sheet.hpp"

#include <algorithm>
#include <cstdint>

#include "imaging/resample.hpp"
#include "sheet/bitmap_font.hpp"

namespace vistel::pack {
namespace {

constexpr int kMargin = 8;    // around the sheet and between cells
constexpr int kFrameGap = 6;  // between the frames of one cell
constexpr int kLineHeight = kGlyphHeight + 4;
constexpr int kTitleScale = 2;
constexpr Pixel kSheetColour = MakePixel(0x20, 0x20, 0x24);
constexpr Pixel kBorderColour = MakePixel(0x70, 0x70, 0x78);
constexpr Pixel kEmptyColour = MakePixel(0x38, 0x38, 0x3C);
constexpr Pixel kTextColour = MakePixel(0xE8, 0xE8, 0xE8);
constexpr Pixel kAbsenceColour = MakePixel(0xF0, 0xB0, 0x60);

void FillRect(Image& image, IntRect rect, Pixel colour) {
  const int x0 = std::max(rect.left, 0), y0 = std::max(rect.top, 0);
  const int x1 = std::min(rect.left + rect.width, image.Width());
  const int y1 = std::min(rect.top + rect.height, image.Height());
  for (int y = y0; y < y1; ++y)
    std::fill(image.Row(y) + x0, image.Row(y) + std::max(x0, x1), colour);
}

void Frame(Image& image, IntRect rect, Pixel colour) {
  FillRect(image, {rect.left - 1, rect.top - 1, rect.width + 2, 1}, colour);
  FillRect(image, {rect.left - 1, rect.top + rect.height, rect.width + 2, 1}, colour);
  FillRect(image, {rect.left - 1, rect.top, 1, rect.height}, colour);
  FillRect(image, {rect.left + rect.width, rect.top, 1, rect.height}, colour);
}

// The text cut to `width` pixels, with ".." where it was cut.
std::string Fitted(const std::string& text, int width) {
  const auto room = static_cast<std::size_t>(std::max(width / kGlyphAdvance, 0));
  if (text.size() <= room) return text;
  if (room <= 2) return text.substr(0, room);
  return text.substr(0, room - 2) + "..";
}

// The words of `text` in lines of at most `width` pixels.
std::vector<std::string> Wrapped(const std::string& text, int width) {
  const auto room = static_cast<std::size_t>(std::max(width / kGlyphAdvance, 1));
  std::vector<std::string> lines;
  std::string line;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    std::string word = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.size() + 1 + word.size() > room) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) lines.push_back(line);
  for (std::string& l : lines) l = Fitted(l, width);
  return lines;
}

}  // namespace

Result<Image> ComposeSheet(const std::vector<SheetCell>& cells, const SheetLayout& layout,
                           FramePlaces* places) {
  const IntSize thumb = layout.thumbnail;
  if (layout.columns < 1 || layout.columns > kMaxSheetColumns || thumb.width < 16 ||
      thumb.height < 16 || thumb.width > kMaxThumbnailSide || thumb.height > kMaxThumbnailSide) {
    return Fail(ErrorCode::InvalidProcedureCall, "the sheet's layout is out of bounds");
  }
  std::size_t frames = 1, lines = 0;
  for (const SheetCell& cell : cells) {
    frames = std::max(frames, cell.frames.size());
    lines = std::max(lines, cell.label.size());
  }
  if (frames > kMaxFramesPerCell || lines > kMaxLabelLines) {
    return Fail(ErrorCode::InvalidProcedureCall, "too many frames or label lines in a cell");
  }
  const int frameCount = static_cast<int>(frames);
  const int cellWidth = frameCount * thumb.width + (frameCount - 1) * kFrameGap;
  const int cellHeight = thumb.height + 4 + static_cast<int>(lines) * kLineHeight;
  const int columns = std::max(1, std::min(layout.columns, static_cast<int>(cells.size())));
  const long long rows =
      (static_cast<long long>(cells.size()) + columns - 1) / static_cast<long long>(columns);
  const int titleHeight = layout.title.empty() ? 0 : kGlyphHeight * kTitleScale + kMargin;
  const long long width = kMargin + static_cast<long long>(columns) * (cellWidth + kMargin);
  const long long height = kMargin + titleHeight + std::max(rows, 1LL) * (cellHeight + kMargin);
  if (!IsAllowedBitmapSize(width, height)) {
    return Fail(ErrorCode::OutOfMemory, "the sheet would be " + std::to_string(width) + "x" +
                                            std::to_string(height) + " pixels: too large");
  }
  Image sheet(static_cast<int>(width), static_cast<int>(height), kSheetColour);
  if (!layout.title.empty()) {
    DrawText(sheet, kMargin, kMargin,
             Fitted(layout.title, (sheet.Width() - 2 * kMargin) / kTitleScale), kTextColour,
             kTitleScale);
  }
  if (places) places->assign(cells.size(), {});
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const SheetCell& cell = cells[i];
    const int column = static_cast<int>(i % static_cast<std::size_t>(columns));
    const int row = static_cast<int>(i / static_cast<std::size_t>(columns));
    const int x = kMargin + column * (cellWidth + kMargin);
    const int y = kMargin + titleHeight + row * (cellHeight + kMargin);
    for (std::size_t f = 0; f < cell.frames.size(); ++f) {
      const SheetFrame& frame = cell.frames[f];
      const IntRect box{x + static_cast<int>(f) * (thumb.width + kFrameGap), y, thumb.width,
                        thumb.height};
      if (places) (*places)[i].push_back(box);
      Frame(sheet, box, kBorderColour);
      auto scaled =
          frame.picture.IsEmpty()
              ? Result<Image>(Fail(ErrorCode::InvalidProcedureCall, "no picture"))
              : ResampleImage(frame.picture, thumb.width, thumb.height, ResampleFilter::Smooth);
      if (!scaled) {
        FillRect(sheet, box, kEmptyColour);
        const std::string why = frame.absence.empty() ? scaled.error().description : frame.absence;
        int ty = box.top + 6;
        for (const std::string& line : Wrapped(why, box.width - 8)) {
          if (ty + kGlyphHeight > box.top + box.height) break;
          DrawText(sheet, box.left + 4, ty, line, kAbsenceColour);
          ty += kLineHeight;
        }
        continue;
      }
      for (int sy = 0; sy < thumb.height; ++sy) {
        std::copy_n(scaled->Row(sy), thumb.width, sheet.Row(box.top + sy) + box.left);
      }
    }
    int ty = y + thumb.height + 4;
    for (const std::string& line : cell.label) {
      DrawText(sheet, x, ty, Fitted(line, cellWidth), kTextColour);
      ty += kLineHeight;
    }
  }
  return sheet;
}

}  // namespace vistel::pack
