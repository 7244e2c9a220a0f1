#include "hosts/sdl/sdl_about_window.hpp"

#include <algorithm>
#include <iostream>

#include "base/text.hpp"

namespace vistel {
namespace {

// The form's face colour, the system's button face.
constexpr Pixel kFormBackColor = MakePixel(240, 240, 240);
constexpr Pixel kTextColor = MakePixel(0, 0, 0);

void FillRect(Image& image, IntRect rect, Pixel color) {
  const IntRect area = rect.Intersected({0, 0, image.Width(), image.Height()});
  for (int y = area.top; y < area.Bottom(); ++y) {
    std::fill(image.Row(y) + area.left, image.Row(y) + area.Right(), color);
  }
}

// The label's text broken into lines at blanks to fit its width, as a label
// with word wrap shows it; a word longer than the width stands alone.
std::vector<std::string> WrapText(const Font& font, const std::string& text, int widthPx) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto blank = text.find(' ', start);
    if (blank == std::string::npos) blank = text.size();
    const std::string word = text.substr(start, blank - start);
    const std::string candidate = line.empty() ? word : line + ' ' + word;
    if (!line.empty() && font.TextWidthPixels(candidate) > widthPx) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    start = blank + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

IntRect LabelRectPixels(const AboutLabel& label, int twipsPerPixel) {
  const int tpp = std::max(twipsPerPixel, 1);
  return {label.leftTwips / tpp, label.topTwips / tpp, label.widthTwips / tpp,
          label.heightTwips / tpp};
}

std::string LabelAt(std::span<const AboutLabel> labels, int xPx, int yPx, int twipsPerPixel) {
  for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
    const IntRect r = LabelRectPixels(*it, twipsPerPixel);
    if (xPx >= r.left && yPx >= r.top && xPx < r.Right() && yPx < r.Bottom()) {
      return std::string(it->name);
    }
  }
  return {};
}

Image DrawAboutPicture(IntSize clientPx, std::span<const AboutLabel> labels, FontService& fonts,
                       int twipsPerPixel) {
  Image picture(clientPx.width, clientPx.height, kFormBackColor);
  // The form's MS Sans Serif is not on Linux; Arial's metric twin is close to
  // its widths, so the labels keep their lines.
  const auto font = fonts.OpenFont(FontRequest{"Arial", 8.25F, false, false, 96.0F});
  for (const auto& label : labels) {
    const IntRect rect = LabelRectPixels(label, twipsPerPixel);
    if (label.opaque) FillRect(picture, rect, PixelFromColorRef(label.backColor));
    if (!font) continue;
    // Text is clipped to the label, as a label clips it.
    Image area(rect.width, rect.height, 0);
    for (int y = 0; y < area.Height(); ++y) {
      for (int x = 0; x < area.Width(); ++x) {
        const int px = rect.left + x, py = rect.top + y;
        if (px >= 0 && py >= 0 && px < picture.Width() && py < picture.Height()) {
          area.At(x, y) = picture.At(px, py);
        }
      }
    }
    int y = 0;
    for (const auto& line : WrapText(*font, label.text, rect.width)) {
      const std::int64_t x = label.opaque ? (rect.width - font->TextWidthPixels(line)) / 2 : 0;
      font->DrawText(area, x, y, line, kTextColor);
      y += font->LineHeightPixels();
    }
    for (int ay = 0; ay < area.Height(); ++ay) {
      for (int ax = 0; ax < area.Width(); ++ax) {
        const int px = rect.left + ax, py = rect.top + ay;
        if (px >= 0 && py >= 0 && px < picture.Width() && py < picture.Height()) {
          picture.At(px, py) = area.At(ax, ay);
        }
      }
    }
  }
  return picture;
}

SdlAboutWindow::~SdlAboutWindow() {
  if (canvas_) loop_.RemoveWindowHandler(canvas_->WindowId());
}

void SdlAboutWindow::ShowAbout(std::string_view caption, IntSize clientTwips,
                               std::span<const AboutLabel> labels,
                               std::function<void(std::string_view label)> onClick,
                               std::function<void()> onClose) {
  labels_.clear();
  for (const auto& label : labels) {
    auto copy = std::make_unique<Label>(Label{std::string(label.name), label});
    copy->label.name = copy->name;
    labels_.push_back(std::move(copy));
  }
  onClick_ = std::move(onClick);
  onClose_ = std::move(onClose);
  const IntSize clientPx{clientTwips.width / kTwipsPerPixel, clientTwips.height / kTwipsPerPixel};
  if (canvas_) loop_.RemoveWindowHandler(canvas_->WindowId());
  canvas_.reset();
  auto canvas = Canvas::CreateOwn(
      Windows1252ToUtf8(caption),
      {{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, clientPx.width, clientPx.height},
       /*topmost=*/false,
       /*borderless=*/false,
       /*visible=*/true});
  if (!canvas) {
    std::cerr << "vistel-player: " << canvas.error().description << '\n';
    return;
  }
  canvas_ = std::move(*canvas);
  SDL_RaiseWindow(canvas_->Window());
  loop_.SetWindowHandler(canvas_->WindowId(), [this](const SDL_Event& e) { OnEvent(e); });
  std::vector<AboutLabel> views;
  for (const auto& label : labels_) views.push_back(label->label);
  picture_ = DrawAboutPicture(clientPx, views, fonts_, kTwipsPerPixel);
  Draw();
}

void SdlAboutWindow::Draw() {
  if (canvas_) canvas_->Present(picture_);
}

void SdlAboutWindow::Close() {
  if (canvas_) loop_.RemoveWindowHandler(canvas_->WindowId());
  canvas_.reset();
  const auto handler = onClose_;
  if (handler) handler();
}

void SdlAboutWindow::OnEvent(const SDL_Event& event) {
  if (event.type == SDL_WINDOWEVENT) {
    if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Draw();
    if (event.window.event == SDL_WINDOWEVENT_CLOSE) Close();
    return;
  }
  if (event.type == SDL_MOUSEBUTTONUP && event.button.button == SDL_BUTTON_LEFT) {
    std::vector<AboutLabel> views;
    for (const auto& label : labels_) views.push_back(label->label);
    const std::string name = LabelAt(views, event.button.x, event.button.y, kTwipsPerPixel);
    if (name.empty()) return;
    // Copied: the handler may show the window again, replacing both.
    const auto handler = onClick_;
    if (handler) handler(name);
  }
}

}  // namespace vistel
