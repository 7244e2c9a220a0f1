// The about window on the headless host: nothing is shown, but everything
// the core gave it is kept (caption, client size, labels) so that tests can
// read it, and a caller can click a label by name, or at a point as the
// input script's clicks do, or close the window.
//
// The window sits at the screen's origin; its client area is in twips, at
// the display's 15 twips per pixel.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/window.hpp"

namespace vistel {

class HeadlessAboutWindow final : public AboutWindowHost {
 public:
  // A label as it was given, its name copied (the core's names are views).
  struct Label {
    std::string name;
    std::string text;
    IntRect rectTwips;
    ColorRef backColor = 0;
    bool opaque = false;
  };

  void ShowAbout(std::string_view caption, IntSize clientTwips, std::span<const AboutLabel> labels,
                 std::function<void(std::string_view label)> onClick,
                 std::function<void()> onClose) override;

  bool IsOpen() const { return open_; }
  // How many times the window was shown.
  int TimesShown() const { return timesShown_; }
  const std::string& Caption() const { return caption_; }
  IntSize ClientTwips() const { return clientTwips_; }
  const std::vector<Label>& Labels() const { return labels_; }
  const Label* FindLabel(std::string_view name) const;

  // Clicks the label of that name; false (and nothing happens) when the
  // window is not open or has no such label. The click handler may end the
  // process (ProcessEnded passes through).
  bool ClickLabel(std::string_view name);
  // Clicks the topmost label under a point of the client area in pixels
  // (labels given later lie above earlier ones); false when none is there.
  bool ClickAt(double xPx, double yPx);
  // The close box: the window is closed and the core's close handler runs.
  bool Close();

 private:
  static constexpr int kTwipsPerPixel = 15;

  bool open_ = false;
  int timesShown_ = 0;
  std::string caption_;
  IntSize clientTwips_;
  std::vector<Label> labels_;
  std::function<void(std::string_view)> onClick_;
  std::function<void()> onClose_;
};

}  // namespace vistel
