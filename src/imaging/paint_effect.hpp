// Paint effects: the animated transitions an imaging control's repaint runs
// from the picture it showed last to its new bitmap. The control owns the
// pacing (it asks for the frame at a time on the host's clock); an effect
// only says how long it lasts and what a given moment looks like.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "base/image.hpp"
#include "runtime/events.hpp"

namespace vistel {

// The plain repaint: the new bitmap at once, no animation.
inline constexpr int kPlainRepaintEffect = 1000;

// EffectSetting1 ... EffectSetting14 as the control last received them
// (index 0 is EffectSetting1).
using EffectSettings = std::array<std::int32_t, 14>;

class EffectAnimation {
 public:
  virtual ~EffectAnimation() = default;
  virtual Milliseconds Duration() const = 0;
  // The frame at time t from the start (clamped to 0 .. Duration()) into
  // `frame`, which has the new picture's size. At 0 it is the old picture;
  // at Duration() it is exactly the new one.
  virtual void RenderFrame(Milliseconds t, Image& frame) = 0;
};

// The animation for an effect code, or null when the code is a plain repaint
// (1000, or any code outside the effect groups). `from` and `to` have the
// same size and must outlive the animation.
std::unique_ptr<EffectAnimation> MakePaintEffect(int code, const EffectSettings& settings,
                                                 const Image& from, const Image& to);

}  // namespace vistel
