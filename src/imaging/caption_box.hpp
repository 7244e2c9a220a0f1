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
// Text from the package is Windows-1252 bytes; lines are separated by CR LF.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
  // A box side never exceeds this many pixels (more than any screen; it
  // bounds the drawing a long caption can allocate).
  static constexpr int kMaxSidePixels = 8192;

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
  // Width of the widest line and height of all lines, in twips.
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
  IntRect PixelRect() const { return box_; }
  // The inside (the box without its border), relative to the box.
  IntRect InsideRect() const;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Brings the box in front of the window's other children: the host puts
  // it on top whenever this count has changed.
  void ZOrder() { ++zOrderCount_; }
  std::uint64_t ZOrderCount() const { return zOrderCount_; }

  // The box as it shows: border and drawing, PixelRect() in size.
  const vistel::Image& Image() const;
  // Changes whenever Image() may have changed or a repaint is asked for.
  std::uint64_t Revision() const { return revision_; }

 private:
  void ReopenFont();
  void ResizeDrawing();
  void EraseDrawing();
  int BorderPixels() const;
  Result<int> ToPixels(float twips, float twipsPerPixel) const;

  FontService& fonts_;
  TwipsPerPixel twipsPerPixel_;
  FontRequest font_;
  std::unique_ptr<Font> openFont_;
  ColorRef foreColor_ = 0x000000;
  ColorRef backColor_ = 0xFFFFFF;
  BoxAppearance appearance_ = BoxAppearance::Flat;
  IntRect box_{0, 0, 0, 0};
  vistel::Image drawing_;  // the inside, InsideRect() in size
  std::optional<vistel::Image> picture_;
  int currentX_ = 0;  // drawing position in pixels from the inside's corner
  int currentY_ = 0;
  bool visible_ = false;
  std::uint64_t zOrderCount_ = 0;
  std::uint64_t revision_ = 0;
  mutable vistel::Image shown_;
  mutable std::uint64_t shownRevision_ = ~std::uint64_t{0};
};

}  // namespace vistel
