// The about window on the desktop: a second SDL window with a title bar,
// the caption given, a client area of the given twips at 15 twips per pixel,
// and the labels drawn at their twips positions with the media fonts (black
// text; an opaque label on its back colour, with its text centred, as the OK
// label looks like a button). A click on a label reports it by name; the
// close box reports onClose. The window is drawn once per show and again on
// expose.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hosts/sdl/canvas.hpp"
#include "hosts/sdl/event_loop.hpp"
#include "runtime/media.hpp"
#include "runtime/window.hpp"

namespace vistel {

// A label's rectangle in pixels of the client area.
IntRect LabelRectPixels(const AboutLabel& label, int twipsPerPixel);
// The name of the topmost label under a client point (labels given later lie
// above earlier ones); empty when none is there.
std::string LabelAt(std::span<const AboutLabel> labels, int xPx, int yPx, int twipsPerPixel);

class SdlAboutWindow final : public AboutWindowHost {
 public:
  // The loop and fonts must outlive the window.
  SdlAboutWindow(SdlEventLoop& loop, FontService& fonts) : loop_(loop), fonts_(fonts) {}
  ~SdlAboutWindow() override;
  SdlAboutWindow(const SdlAboutWindow&) = delete;
  SdlAboutWindow& operator=(const SdlAboutWindow&) = delete;

  void ShowAbout(std::string_view caption, IntSize clientTwips, std::span<const AboutLabel> labels,
                 std::function<void(std::string_view label)> onClick,
                 std::function<void()> onClose) override;

  // The picture of the client area as it is drawn (for tests and snapshots).
  const Image& Picture() const { return picture_; }

 private:
  static constexpr int kTwipsPerPixel = 15;
  void Draw();
  void OnEvent(const SDL_Event& event);
  void Close();

  SdlEventLoop& loop_;
  FontService& fonts_;
  std::unique_ptr<Canvas> canvas_;
  struct Label {
    std::string name;
    AboutLabel label;  // `name` views the string above
  };
  std::vector<std::unique_ptr<Label>> labels_;
  std::function<void(std::string_view)> onClick_;
  std::function<void()> onClose_;
  Image picture_;
};

// Draws the labels onto a picture of the client size: what the window shows.
Image DrawAboutPicture(IntSize clientPx, std::span<const AboutLabel> labels, FontService& fonts,
                       int twipsPerPixel);

}  // namespace vistel
