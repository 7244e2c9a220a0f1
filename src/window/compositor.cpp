#include "window/compositor.hpp"

#include <algorithm>
#include <cstring>

namespace vistel {
namespace {

// Copies `source` into `target` with its top-left corner at `at`, clipped.
void CopyInto(Image& target, const Image& source, IntPoint at) {
  const IntRect area = IntRect{at.x, at.y, source.Width(), source.Height()}.Intersected(
      {0, 0, target.Width(), target.Height()});
  if (area.IsEmpty()) return;
  for (int y = area.top; y < area.Bottom(); ++y) {
    const Pixel* from = source.Row(y - at.y) + (area.left - at.x);
    std::memcpy(target.Row(y) + area.left, from,
                static_cast<std::size_t>(area.width) * sizeof(Pixel));
  }
}

}  // namespace

void Compositor::PresentSurface(const Image& frame) {
  surface_ = &frame;
  window_.Invalidate();
}

void Compositor::PresentVideo(const Image& frame, IntRect rectPixels) {
  video_ = frame;
  videoRect_ = rectPixels;
  videoShown_ = true;
  window_.Invalidate();
}

void Compositor::HideVideo() {
  videoShown_ = false;
  window_.Invalidate();
}

const Image& Compositor::Compose(IntSize clientSize) {
  // Most frames are the surface alone, at the window's size: shown as it is.
  const Image& surface = *surface_;
  if (surface.Extent() == clientSize && !videoShown_ && !caption_.Visible()) return surface;
  const bool covered = surface.Width() >= clientSize.width && surface.Height() >= clientSize.height;
  if (composed_.Width() != clientSize.width || composed_.Height() != clientSize.height) {
    composed_ = Image(std::max(clientSize.width, 0), std::max(clientSize.height, 0), Pixel{0});
  } else if (!covered) {
    std::fill(composed_.Pixels().begin(), composed_.Pixels().end(), Pixel{0});
  }
  CopyInto(composed_, surface, {0, 0});
  if (videoShown_) CopyInto(composed_, video_, videoRect_.Origin());
  if (caption_.Visible()) {
    // Only the part of the box in the window is rendered: the box itself may
    // be far larger than any screen.
    const CaptionBox::ShownPart part =
        caption_.Shown({0, 0, composed_.Width(), composed_.Height()});
    CopyInto(composed_, part.image, part.origin);
  }
  return composed_;
}

}  // namespace vistel
