#include "imaging/caption_box.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "base/conversions.hpp"
#include "base/text.hpp"

namespace vistel {
namespace {

constexpr float kMaxFontPoints = 2160.0F;  // the window system's largest font size
constexpr float kMaxPositionPixels = 1.0e7F;
constexpr std::string_view kLineBreak = "\r\n";

// A colour with the top bit set names a system colour by its index (as
// 0x8000000F, the button face, is a picture box's usual fill). The classic
// Windows scheme answers, since the package's colours were chosen there.
constexpr std::array<Pixel, 25> kSystemColors = {
    0xC0C0C0, 0x008080, 0x000080, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x000080, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
    0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xC0C0C0, 0x000000, 0xFFFFE1,
};
constexpr std::size_t kButtonShadow = 16, kButtonHighlight = 20, kDarkShadow = 21, kLight = 22;

Pixel PixelOf(ColorRef color) {
  if ((color & 0x80000000U) != 0) {
    const std::size_t index = color & 0xFFFFFFU;
    if (index < kSystemColors.size()) return kSystemColors[index];
  }
  return PixelFromColorRef(color);
}

// Calls each(line) for every CR LF-separated line of the text.
template <class Each>
void ForEachLine(std::string_view text, Each&& each) {
  for (;;) {
    const std::size_t end = text.find(kLineBreak);
    each(text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + kLineBreak.size());
  }
}

void FillRect(Image& image, int left, int top, int width, int height, Pixel color) {
  const int x0 = std::max(left, 0), x1 = std::min(left + width, image.Width());
  if (x1 <= x0) return;
  for (int y = std::max(top, 0); y < std::min(top + height, image.Height()); ++y) {
    std::fill(image.Row(y) + x0, image.Row(y) + x1, color);
  }
}

// Copies the overlap of `from` into `to`, both at their top-left corners,
// `to` shifted by (x, y).
void CopyInto(const Image& from, Image& to, int x, int y) {
  const int width = std::min(from.Width(), to.Width() - x);
  for (int row = 0; row < std::min(from.Height(), to.Height() - y); ++row) {
    if (width > 0) std::copy_n(from.Row(row), width, to.Row(y + row) + x);
  }
}

// A sunken edge: shadow above and left, highlight below and right, the
// outer ring lighter than the inner one.
void DrawSunkenBevel(Image& image) {
  const int w = image.Width(), h = image.Height();
  const std::array<std::pair<Pixel, Pixel>, CaptionBox::kBevelPixels> rings = {{
      {kSystemColors[kButtonShadow], kSystemColors[kButtonHighlight]},
      {kSystemColors[kDarkShadow], kSystemColors[kLight]},
  }};
  for (int i = 0; i < CaptionBox::kBevelPixels; ++i) {
    const auto [shadow, light] = rings[static_cast<std::size_t>(i)];
    FillRect(image, i, i, w - 2 * i, 1, shadow);
    FillRect(image, i, i, 1, h - 2 * i, shadow);
    FillRect(image, i, h - 1 - i, w - 2 * i, 1, light);
    FillRect(image, w - 1 - i, i, 1, h - 2 * i, light);
  }
}

}  // namespace

CaptionBox::CaptionBox(FontService& fonts, TwipsPerPixel twipsPerPixel)
    : fonts_(fonts), twipsPerPixel_(twipsPerPixel) {
  font_.faceName = "MS Sans Serif";
  font_.sizePoints = 8.25F;
  ReopenFont();
}

void CaptionBox::SetTwipsPerPixel(TwipsPerPixel twipsPerPixel) {
  twipsPerPixel_ = twipsPerPixel;
  ReopenFont();
}

void CaptionBox::ReopenFont() {
  // Twips are 1/1440 inch, so the display's pixels per inch follow.
  font_.pixelsPerInch = twipsPerPixel_.y > 0.0F ? 1440.0F / twipsPerPixel_.y : 96.0F;
  openFont_ = fonts_.OpenFont(font_);
}

void CaptionBox::SetFontName(std::string_view faceName) {
  font_.faceName = std::string(faceName);
  ReopenFont();
}

Status CaptionBox::SetFontSize(float points) {
  if (!std::isfinite(points) || points <= 0.0F || points > kMaxFontPoints) {
    return Fail(ErrorCode::InvalidPropertyValue);
  }
  font_.sizePoints = points;
  ReopenFont();
  return {};
}

void CaptionBox::SetFontBold(bool bold) {
  font_.bold = bold;
  ReopenFont();
}

void CaptionBox::SetFontItalic(bool italic) {
  font_.italic = italic;
  ReopenFont();
}

void CaptionBox::SetBackColor(ColorRef color) {
  backColor_ = color;
  EraseDrawing();
}

Status CaptionBox::SetAppearance(std::int32_t value) {
  if (value != static_cast<std::int32_t>(BoxAppearance::Flat) &&
      value != static_cast<std::int32_t>(BoxAppearance::ThreeD)) {
    return Fail(ErrorCode::InvalidPropertyValue);
  }
  appearance_ = static_cast<BoxAppearance>(value);
  ResizeDrawing();  // the border takes its room from the inside
  return {};
}

int CaptionBox::BorderPixels() const {
  return appearance_ == BoxAppearance::ThreeD ? kBevelPixels : 0;
}

IntRect CaptionBox::InsideRect() const {
  const int border = BorderPixels();
  return {border, border, std::max(box_.width - 2 * border, 0),
          std::max(box_.height - 2 * border, 0)};
}

void CaptionBox::ResizeDrawing() {
  const IntRect inside = InsideRect();
  if (drawing_.Width() != inside.width || drawing_.Height() != inside.height) {
    vistel::Image resized(inside.width, inside.height, PixelOf(backColor_));
    CopyInto(drawing_, resized, 0, 0);
    drawing_ = std::move(resized);
  }
  ++revision_;
}

void CaptionBox::EraseDrawing() {
  const IntRect inside = InsideRect();
  drawing_ = vistel::Image(inside.width, inside.height, PixelOf(backColor_));
  if (picture_) CopyInto(*picture_, drawing_, 0, 0);
  ++revision_;
}

void CaptionBox::Cls() {
  EraseDrawing();
  currentX_ = 0;
  currentY_ = 0;
}

float CaptionBox::TextWidth(std::string_view text) const {
  int widest = 0;
  ForEachLine(text, [&](std::string_view line) {
    widest = std::max(widest, openFont_->TextWidthPixels(Windows1252ToUtf8(line)));
  });
  return PixelsToTwipsX(static_cast<float>(widest), twipsPerPixel_);
}

float CaptionBox::TextHeight(std::string_view text) const {
  int lines = 0;
  ForEachLine(text, [&](std::string_view) { ++lines; });
  return PixelsToTwipsY(
      static_cast<float>(lines) * static_cast<float>(openFont_->LineHeightPixels()),
      twipsPerPixel_);
}

void CaptionBox::Print(std::string_view text) {
  const Pixel color = PixelOf(foreColor_);
  const int lineHeight = openFont_->LineHeightPixels();
  // Far past the drawing nothing shows; the bound only keeps the position
  // from overflowing however often the box is printed to.
  constexpr int kMaxPosition = 1 << 24;
  ForEachLine(text, [&](std::string_view line) {
    if (currentY_ < drawing_.Height() && currentX_ < drawing_.Width()) {
      openFont_->DrawText(drawing_, currentX_, currentY_, Windows1252ToUtf8(line), color);
    }
    currentX_ = 0;
    currentY_ = std::min(currentY_ + lineHeight, kMaxPosition);
  });
  ++revision_;
}

void CaptionBox::KeepDrawingAsPicture() {
  picture_ = drawing_;
  ++revision_;
}

void CaptionBox::ClearPicture() {
  picture_.reset();
  ++revision_;
}

Result<int> CaptionBox::ToPixels(float twips, float twipsPerPixel) const {
  if (!std::isfinite(twips)) return Fail(ErrorCode::InvalidPropertyValue);
  const float pixels = twips / twipsPerPixel;
  if (!std::isfinite(pixels) || std::fabs(pixels) > kMaxPositionPixels) {
    return Fail(ErrorCode::Overflow);
  }
  return static_cast<int>(RoundHalfToEven(static_cast<double>(pixels)));
}

Status CaptionBox::SetLeft(float twips) {
  const Result<int> pixels = ToPixels(twips, twipsPerPixel_.x);
  if (!pixels) return Fail(pixels.error());
  box_.left = *pixels;
  ++revision_;
  return {};
}

Status CaptionBox::SetTop(float twips) {
  const Result<int> pixels = ToPixels(twips, twipsPerPixel_.y);
  if (!pixels) return Fail(pixels.error());
  box_.top = *pixels;
  ++revision_;
  return {};
}

Status CaptionBox::SetWidth(float twips) {
  const Result<int> pixels = ToPixels(twips, twipsPerPixel_.x);
  if (!pixels) return Fail(pixels.error());
  if (*pixels < 0) return Fail(ErrorCode::InvalidPropertyValue);
  box_.width = std::min(*pixels, kMaxSidePixels);
  ResizeDrawing();
  return {};
}

Status CaptionBox::SetHeight(float twips) {
  const Result<int> pixels = ToPixels(twips, twipsPerPixel_.y);
  if (!pixels) return Fail(pixels.error());
  if (*pixels < 0) return Fail(ErrorCode::InvalidPropertyValue);
  box_.height = std::min(*pixels, kMaxSidePixels);
  ResizeDrawing();
  return {};
}

void CaptionBox::SetVisible(bool visible) {
  if (visible_ != visible) ++revision_;
  visible_ = visible;
}

const vistel::Image& CaptionBox::Image() const {
  if (shownRevision_ != revision_) {
    shown_ = vistel::Image(box_.width, box_.height, PixelOf(backColor_));
    const IntRect inside = InsideRect();
    CopyInto(drawing_, shown_, inside.left, inside.top);
    if (appearance_ == BoxAppearance::ThreeD) DrawSunkenBevel(shown_);
    shownRevision_ = revision_;
  }
  return shown_;
}

}  // namespace vistel
