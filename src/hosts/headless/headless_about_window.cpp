#include "hosts/headless/headless_about_window.hpp"

#include <algorithm>

namespace vistel {

void HeadlessAboutWindow::ShowAbout(std::string_view caption, IntSize clientTwips,
                                    std::span<const AboutLabel> labels,
                                    std::function<void(std::string_view label)> onClick,
                                    std::function<void()> onClose) {
  caption_ = std::string(caption);
  clientTwips_ = clientTwips;
  labels_.clear();
  for (const auto& label : labels) {
    labels_.push_back({std::string(label.name),
                       label.text,
                       {label.leftTwips, label.topTwips, label.widthTwips, label.heightTwips},
                       label.backColor,
                       label.opaque});
  }
  onClick_ = std::move(onClick);
  onClose_ = std::move(onClose);
  open_ = true;
  ++timesShown_;
}

const HeadlessAboutWindow::Label* HeadlessAboutWindow::FindLabel(std::string_view name) const {
  const auto it = std::find_if(labels_.begin(), labels_.end(),
                               [name](const Label& label) { return label.name == name; });
  return it == labels_.end() ? nullptr : &*it;
}

bool HeadlessAboutWindow::ClickLabel(std::string_view name) {
  const Label* label = FindLabel(name);
  if (!open_ || label == nullptr) return false;
  // Copies: the handler may show the window again, replacing both.
  const std::string clicked = label->name;
  const auto handler = onClick_;
  if (handler) handler(clicked);
  return true;
}

bool HeadlessAboutWindow::ClickAt(double xPx, double yPx) {
  if (!open_) return false;
  const double xTwips = xPx * kTwipsPerPixel;
  const double yTwips = yPx * kTwipsPerPixel;
  for (auto it = labels_.rbegin(); it != labels_.rend(); ++it) {
    const IntRect& r = it->rectTwips;
    if (xTwips >= r.left && yTwips >= r.top && xTwips < r.Right() && yTwips < r.Bottom()) {
      return ClickLabel(it->name);
    }
  }
  return false;
}

bool HeadlessAboutWindow::Close() {
  if (!open_) return false;
  open_ = false;
  const auto handler = onClose_;
  if (handler) handler();
  return true;
}

}  // namespace vistel
