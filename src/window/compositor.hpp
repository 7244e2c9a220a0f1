// The show window's picture: the surface, the video in its rectangle above
// it, and the caption box on top, composed on demand for the host. The
// controls present into it; the host asks for the composed picture when it
// paints (and the headless host when it takes a snapshot).
#pragma once

#include <cstdint>

#include "base/geometry.hpp"
#include "base/image.hpp"
#include "imaging/caption_box.hpp"
#include "runtime/media.hpp"
#include "runtime/window.hpp"

namespace vistel {

class Compositor final : public SurfaceOutput, public VideoOutput {
 public:
  // Both must outlive the compositor.
  Compositor(ShowWindowHost& window, const CaptionBox& caption)
      : window_(window), caption_(caption) {}

  void PresentSurface(const Image& frame) override;
  void AwaitNextFrame() override { window_.AwaitNextFrame(); }
  void PresentVideo(const Image& frame, IntRect rectPixels) override;
  void HideVideo() override;

  // The window's client area as it shows now, `clientSize` in pixels: black
  // where the surface has no picture.
  const Image& Compose(IntSize clientSize);

 private:
  ShowWindowHost& window_;
  const CaptionBox& caption_;
  static inline const Image kNoSurface;
  const Image* surface_ = &kNoSurface;  // the surface control's own frame
  Image video_;
  IntRect videoRect_{};
  bool videoShown_ = false;
  Image composed_;
};

}  // namespace vistel
