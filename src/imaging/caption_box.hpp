// The caption box: a picture box that keeps a drawing of its own (a bitmap
// the size of its inside), a drawing position, a font, a text colour, a fill
// colour and a flat or three-dimensional border. Text is measured and drawn
// through the font service; the host composes the box's Image() in front of
// the show surface and the video.
//
// Units: Left, Top, Width, Height, the drawing position and text
// measurements are in twips, converted through the display's twips per
// pixel. The box is a window of whole pixels, so a position or size set in
// twips snaps to the nearest pixel (ties to even) and reads back as that
// pixel count in twips, as a window-system control's does.
//
// The box takes whatever size its text measures, which for a long caption at
// a large size is far larger than any screen; what is drawn is kept as the
// drawing operations, and only the part of the box that shows is rendered.
//
// Text from the package is Windows-1252 bytes; lines are separated by CR LF.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "base/image.hpp"
#include "runtime/media.hpp"

namespace vistel {

enum class BoxAppearance : std::int16_t { Flat = 0, ThreeD = 1 };

class CaptionBox {
 public:
  // The border of the three-dimensional appearance: a sunken bevel of this
  // many pixels on each side, inside the box's width and height.
  static constexpr int kBevelPixels = 2;
  // The rendered picture of the box is at most this many pixels a side
  // (more than any screen), whatever the box's size.
  static constexpr int kMaxSidePixels = 8192;
  // Positions and sizes beyond this many pixels are an overflow: more than
  // any caption measures (16 MiB of text at the largest size).
  static constexpr std::int64_t kMaxPositionPixels = std::int64_t{1} << 40;

  // The box starts flat, hidden, empty, white with black text in
  // "MS Sans Serif" 8.25 pt (whatever face that resolves to).
  explicit CaptionBox(FontService& fonts, TwipsPerPixel twipsPerPixel = {});

  // The display's scale; the font is re-opened for its pixels per inch.
  void SetTwipsPerPixel(TwipsPerPixel twipsPerPixel);
  TwipsPerPixel GetTwipsPerPixel() const { return twipsPerPixel_; }

  // ---- Font: setting one attribute re-opens the font, keeping the others.
  const std::string& FontName() const { return font_.faceName; }  // Windows-1252
  void SetFontName(std::string_view faceName);
  float FontSize() const { return font_.sizePoints; }
  // Sizes outside 0 < points <= 2160 are rejected; the size stays.
  Status SetFontSize(float points);
  bool FontBold() const { return font_.bold; }
  void SetFontBold(bool bold);
  bool FontItalic() const { return font_.italic; }
  void SetFontItalic(bool italic);

  // ---- Colours (COLORREF 0x00BBGGRR).
  ColorRef ForeColor() const { return foreColor_; }
  void SetForeColor(ColorRef color) { foreColor_ = color; }
  ColorRef BackColor() const { return backColor_; }
  // A new fill colour erases the drawing (as a picture box does); the
  // drawing position stays.
  void SetBackColor(ColorRef color);

  // ---- Appearance: 0 flat, 1 three-dimensional; any other value is
  // rejected with "Invalid property value" and the appearance stays.
  std::int16_t Appearance() const { return static_cast<std::int16_t>(appearance_); }
  Status SetAppearance(std::int32_t value);

  // ---- Drawing.
  // Erases the drawing to the picture (or the fill colour where there is
  // none) and moves the drawing position to the top-left of the inside.
  void Cls();
  // Width of the widest line and height of all lines, in twips (single
  // precision, however long the text).
  float TextWidth(std::string_view text) const;
  float TextHeight(std::string_view text) const;
  // Draws the text at the drawing position, line by line, in the text
  // colour; each line ends with a move to the start of the next one.
  void Print(std::string_view text);
  float CurrentX() const { return PixelsToTwipsX(static_cast<float>(currentX_), twipsPerPixel_); }
  float CurrentY() const { return PixelsToTwipsY(static_cast<float>(currentY_), twipsPerPixel_); }

  // ---- Picture: the drawing kept as the box's picture, which the box
  // repaints from and erases back to.
  void KeepDrawingAsPicture();
  void ClearPicture();
  bool HasPicture() const { return picture_.has_value(); }
  // Repaints the box now: the host recomposes it (Revision changes).
  void Refresh() { ++revision_; }

  // ---- Placement, in twips in the show window's coordinates.
  float Left() const { return PixelsToTwipsX(static_cast<float>(box_.left), twipsPerPixel_); }
  float Top() const { return PixelsToTwipsY(static_cast<float>(box_.top), twipsPerPixel_); }
  float Width() const { return PixelsToTwipsX(static_cast<float>(box_.width), twipsPerPixel_); }
  float Height() const { return PixelsToTwipsY(static_cast<float>(box_.height), twipsPerPixel_); }
  // A value that is not a number, or a negative size, is rejected ("Invalid
  // property value"); a position beyond any display is an overflow.
  Status SetLeft(float twips);
  Status SetTop(float twips);
  Status SetWidth(float twips);
  Status SetHeight(float twips);
  LongRect PixelRect() const { return box_; }
  // The inside (the box without its border), relative to the box.
  LongRect InsideRect() const;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Brings the box in front of the window's other children: the host puts
  // it on top whenever this count has changed.
  void ZOrder() { ++zOrderCount_; }
  std::uint64_t ZOrderCount() const { return zOrderCount_; }

  // What shows of the box in `windowArea` (pixels of the show window):
  // border and drawing where the box overlaps the area, at most
  // kMaxSidePixels a side, and where that picture lies in the window.
  struct ShownPart {
    const vistel::Image& image;
    IntPoint origin;
  };
  ShownPart Shown(IntRect windowArea) const;
  // The box as it shows from its top-left corner: PixelRect() in size, up to
  // kMaxSidePixels a side.
  const vistel::Image& Image() const;
  // Changes whenever the box's pictures may have changed or a repaint is
  // asked for.
  std::uint64_t Revision() const { return revision_; }

 private:
  // Text drawn by one Print: its lines, one below the other.
  struct TextRun {
    std::shared_ptr<const Font> font;
    std::shared_ptr<const std::string> utf8;  // CR LF-separated lines
    LongPoint origin;                         // the first line's top-left, in the inside
    int lineHeight = 0;
    Pixel color = 0;
  };
  // One drawing operation, shown only within `extent` from the inside's
  // top-left corner: the inside's size when it was drawn, and every smaller
  // size since (a box keeps what still fits when it is resized).
  struct Layer {
    LongSize extent;
    std::variant<Pixel, TextRun> paint;  // a fill of the extent, or text
  };
  using Drawing = std::vector<Layer>;

  void ReopenFont();
  void ResizeDrawing();
  void EraseDrawing();
  int BorderPixels() const;
  Result<std::int64_t> ToPixels(float twips, float twipsPerPixel) const;
  // Renders `part` of the box (window pixels, within the box) into shown_.
  const vistel::Image& Render(LongRect part) const;

  FontService& fonts_;
  TwipsPerPixel twipsPerPixel_;
  FontRequest font_;
  // The font, opened at its first use: finding a face costs the font
  // configuration's load, which a show's first frame need not wait for.
  const std::shared_ptr<const Font>& OpenedFont() const;
  mutable std::shared_ptr<const Font> openFont_;  // shared with the text drawn in it
  ColorRef foreColor_ = 0x000000;
  ColorRef backColor_ = 0xFFFFFF;
  BoxAppearance appearance_ = BoxAppearance::Flat;
  LongRect box_{0, 0, 0, 0};
  // The inside: the fill colour under these layers. A layer comes from each
  // Print (or from the kept picture), never from the size of a text.
  Drawing drawing_;
  std::optional<Drawing> picture_;
  std::int64_t currentX_ = 0;  // drawing position in pixels from the inside's corner
  std::int64_t currentY_ = 0;
  bool visible_ = false;
  std::uint64_t zOrderCount_ = 0;
  std::uint64_t revision_ = 0;
  mutable vistel::Image shown_;
  mutable LongRect shownPart_{};
  mutable std::uint64_t shownRevision_ = ~std::uint64_t{0};
};

}  // namespace vistel
