#include "imaging/caption_box.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <variant>

#include "base/conversions.hpp"
#include "base/text.hpp"

namespace vistel {
namespace {

constexpr float kMaxFontPoints = 2160.0F;  // the window system's largest font size
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

// Fills the part of `rect` (image pixels, any size) that lies in the image.
void FillRect(Image& image, LongRect rect, Pixel color) {
  const LongRect area = rect.Intersected({0, 0, image.Width(), image.Height()});
  if (area.IsEmpty()) return;
  // Within the image, so the narrowing is exact.
  const auto x0 = static_cast<int>(area.left), x1 = static_cast<int>(area.Right());
  for (auto y = static_cast<int>(area.top); y < static_cast<int>(area.Bottom()); ++y) {
    std::fill(image.Row(y) + x0, image.Row(y) + x1, color);
  }
}

// Copies `area` (image pixels, within both) from one image to another of the
// same size.
void CopyArea(const Image& from, Image& to, IntRect area) {
  for (int y = area.top; y < area.Bottom(); ++y) {
    std::copy_n(from.Row(y) + area.left, area.width, to.Row(y) + area.left);
  }
}

// Keeps of each layer what lies within `extent`; layers left empty go.
template <class Layers>
void ClipLayers(Layers& layers, LongSize extent) {
  for (auto& layer : layers) {
    layer.extent = {std::min(layer.extent.width, extent.width),
                    std::min(layer.extent.height, extent.height)};
  }
  std::erase_if(layers, [](const auto& layer) { return layer.extent.IsEmpty(); });
}

// A sunken edge around `box` (image pixels, any size, the image showing part
// of it): shadow above and left, highlight below and right, the outer ring
// lighter than the inner one.
void DrawSunkenBevel(Image& image, LongRect box) {
  const std::array<std::pair<Pixel, Pixel>, CaptionBox::kBevelPixels> rings = {{
      {kSystemColors[kButtonShadow], kSystemColors[kButtonHighlight]},
      {kSystemColors[kDarkShadow], kSystemColors[kLight]},
  }};
  for (int i = 0; i < CaptionBox::kBevelPixels; ++i) {
    const auto [shadow, light] = rings[static_cast<std::size_t>(i)];
    const std::int64_t l = box.left + i, t = box.top + i;
    const std::int64_t r = box.Right() - 1 - i, b = box.Bottom() - 1 - i;
    const std::int64_t w = box.width - 2 * i, h = box.height - 2 * i;
    FillRect(image, {l, t, w, 1}, shadow);
    FillRect(image, {l, t, 1, h}, shadow);
    FillRect(image, {l, b, w, 1}, light);
    FillRect(image, {r, t, 1, h}, light);
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
  openFont_.reset();
}

const std::shared_ptr<const Font>& CaptionBox::OpenedFont() const {
  if (!openFont_) openFont_ = fonts_.OpenFont(font_);
  return openFont_;
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

LongRect CaptionBox::InsideRect() const {
  const int border = BorderPixels();
  return {border, border, std::max<std::int64_t>(box_.width - 2 * border, 0),
          std::max<std::int64_t>(box_.height - 2 * border, 0)};
}

void CaptionBox::ResizeDrawing() {
  // What still fits stays; new room shows the fill colour under the layers.
  ClipLayers(drawing_, InsideRect().Extent());
  ++revision_;
}

void CaptionBox::EraseDrawing() {
  drawing_ = picture_ ? *picture_ : Drawing{};
  ClipLayers(drawing_, InsideRect().Extent());
  ++revision_;
}

void CaptionBox::Cls() {
  EraseDrawing();
  currentX_ = 0;
  currentY_ = 0;
}

float CaptionBox::TextWidth(std::string_view text) const {
  std::int64_t widest = 0;
  ForEachLine(text, [&](std::string_view line) {
    widest = std::max(widest, OpenedFont()->TextWidthPixels(Windows1252ToUtf8(line)));
  });
  return PixelsToTwipsX(static_cast<float>(widest), twipsPerPixel_);
}

float CaptionBox::TextHeight(std::string_view text) const {
  std::int64_t lines = 0;
  ForEachLine(text, [&](std::string_view) { ++lines; });
  return PixelsToTwipsY(
      static_cast<float>(lines) * static_cast<float>(OpenedFont()->LineHeightPixels()),
      twipsPerPixel_);
}

void CaptionBox::Print(std::string_view text) {
  const int lineHeight = OpenedFont()->LineHeightPixels();
  std::int64_t lines = 0;
  ForEachLine(text, [&](std::string_view) { ++lines; });
  const LongSize inside = InsideRect().Extent();
  // Text that starts beyond the inside never shows, whatever comes later.
  if (currentX_ < inside.width && currentY_ < inside.height) {
    drawing_.push_back(
        {inside, TextRun{OpenedFont(),
                         std::make_shared<const std::string>(Windows1252ToUtf8(text)),
                         {currentX_, currentY_},
                         lineHeight,
                         PixelOf(foreColor_)}});
  }
  // Each line ends with a move to the start of the next one. Far past any
  // box nothing shows; the bound keeps the position from overflowing however
  // often the box is printed to.
  currentX_ = 0;
  currentY_ = std::min(currentY_ + lines * lineHeight, kMaxPositionPixels);
  ++revision_;
}

void CaptionBox::KeepDrawingAsPicture() {
  // The picture is the inside as it shows: its fill colour, then the layers
  // (unless they already cover the inside with a fill of their own).
  const LongSize inside = InsideRect().Extent();
  Drawing picture;
  const bool covered = !drawing_.empty() && std::holds_alternative<Pixel>(drawing_[0].paint) &&
                       drawing_[0].extent == inside;
  if (!covered) picture.push_back({inside, PixelOf(backColor_)});
  picture.insert(picture.end(), drawing_.begin(), drawing_.end());
  picture_ = std::move(picture);
  ++revision_;
}

void CaptionBox::ClearPicture() {
  picture_.reset();
  ++revision_;
}

Result<std::int64_t> CaptionBox::ToPixels(float twips, float twipsPerPixel) const {
  if (!std::isfinite(twips)) return Fail(ErrorCode::InvalidPropertyValue);
  const float pixels = twips / twipsPerPixel;
  if (!std::isfinite(pixels) || std::fabs(pixels) > static_cast<float>(kMaxPositionPixels)) {
    return Fail(ErrorCode::Overflow);
  }
  return static_cast<std::int64_t>(RoundHalfToEven(static_cast<double>(pixels)));
}

Status CaptionBox::SetLeft(float twips) {
  const Result<std::int64_t> pixels = ToPixels(twips, twipsPerPixel_.x);
  if (!pixels) return Fail(pixels.error());
  box_.left = *pixels;
  ++revision_;
  return {};
}

Status CaptionBox::SetTop(float twips) {
  const Result<std::int64_t> pixels = ToPixels(twips, twipsPerPixel_.y);
  if (!pixels) return Fail(pixels.error());
  box_.top = *pixels;
  ++revision_;
  return {};
}

Status CaptionBox::SetWidth(float twips) {
  const Result<std::int64_t> pixels = ToPixels(twips, twipsPerPixel_.x);
  if (!pixels) return Fail(pixels.error());
  if (*pixels < 0) return Fail(ErrorCode::InvalidPropertyValue);
  box_.width = *pixels;
  ResizeDrawing();
  return {};
}

Status CaptionBox::SetHeight(float twips) {
  const Result<std::int64_t> pixels = ToPixels(twips, twipsPerPixel_.y);
  if (!pixels) return Fail(pixels.error());
  if (*pixels < 0) return Fail(ErrorCode::InvalidPropertyValue);
  box_.height = *pixels;
  ResizeDrawing();
  return {};
}

void CaptionBox::SetVisible(bool visible) {
  if (visible_ != visible) ++revision_;
  visible_ = visible;
}

CaptionBox::ShownPart CaptionBox::Shown(IntRect windowArea) const {
  LongRect part =
      box_.Intersected({windowArea.left, windowArea.top, windowArea.width, windowArea.height});
  if (part.IsEmpty()) part = {windowArea.left, windowArea.top, 0, 0};
  part.width = std::min<std::int64_t>(part.width, kMaxSidePixels);
  part.height = std::min<std::int64_t>(part.height, kMaxSidePixels);
  // Within the window area, so the narrowing is exact.
  return {Render(part), {static_cast<int>(part.left), static_cast<int>(part.top)}};
}

const vistel::Image& CaptionBox::Image() const {
  return Render({box_.left, box_.top, std::min<std::int64_t>(box_.width, kMaxSidePixels),
                 std::min<std::int64_t>(box_.height, kMaxSidePixels)});
}

const vistel::Image& CaptionBox::Render(LongRect part) const {
  if (shownRevision_ == revision_ && shownPart_ == part) return shown_;
  // Every rectangle below is in pixels of the picture (the part's top-left
  // at 0, 0); each is at most kMaxSidePixels a side where it is drawn.
  const auto toPicture = [&](LongRect r) { return r.Translated(-part.left, -part.top); };
  shown_ = vistel::Image(static_cast<int>(part.width), static_cast<int>(part.height),
                         PixelOf(backColor_));
  const LongRect picture{0, 0, shown_.Width(), shown_.Height()};
  const LongRect inside = toPicture(InsideRect().Translated(box_.left, box_.top));
  const LongRect insideShown = inside.Intersected(picture);
  vistel::Image scratch;
  for (const Layer& layer : drawing_) {
    const LongRect clip =
        LongRect{inside.left, inside.top, layer.extent.width, layer.extent.height}.Intersected(
            insideShown);
    if (clip.IsEmpty()) continue;
    if (const Pixel* fill = std::get_if<Pixel>(&layer.paint)) {
      FillRect(shown_, clip, *fill);
      continue;
    }
    const TextRun& run = std::get<TextRun>(layer.paint);
    // Ink that strays over the border is painted over by the bevel below;
    // a layer cut down by a resize is drawn aside and copied within its
    // extent.
    const bool cut = clip != insideShown;
    if (cut) scratch = shown_;
    vistel::Image& target = cut ? scratch : shown_;
    std::int64_t y = inside.top + run.origin.y;
    ForEachLine(*run.utf8, [&](std::string_view line) {
      run.font->DrawText(target, inside.left + run.origin.x, y, line, run.color);
      y += run.lineHeight;
    });
    if (cut) {
      CopyArea(scratch, shown_,
               {static_cast<int>(clip.left), static_cast<int>(clip.top),
                static_cast<int>(clip.width), static_cast<int>(clip.height)});
    }
  }
  if (appearance_ == BoxAppearance::ThreeD) DrawSunkenBevel(shown_, toPicture(box_));
  shownPart_ = part;
  shownRevision_ = revision_;
  return shown_;
}

}  // namespace vistel
