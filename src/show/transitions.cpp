// How a composed screen comes into view: a configured or random paint effect
// of the surface, the plain repaint, or a cross-fade from the outgoing screen.
#include <cmath>

#include "base/conversions.hpp"
#include "imaging/crossfade_kernel.hpp"
#include "show/show_engine.hpp"

namespace vistel {
namespace {

// near(x): x as a 16-bit Integer, nearest with ties to even. The draws below
// stay far inside the range, so the conversion cannot fail.
std::int16_t Near(double x) {
  return RoundToInteger(x).value_or(0);
}

}  // namespace

void ShowEngine::WriteEffectSettings(std::int16_t code, const ScreenSettings& s,
                                     const RandomEffect* random) {
  ImagingControl& surface = controls_.LEADScreen;
  // The order in which the original writes them; each one that the control
  // rejects is skipped.
  surface.SetPaintEffect(code);
  Skip(surface.SetEffectSetting(1, random != nullptr ? 1 : s.EffectParam1));
  Skip(surface.SetEffectSetting(10, random != nullptr ? random->r10 : s.EffectParam10));
  Skip(surface.SetEffectSetting(11, random != nullptr ? random->r11 : s.EffectParam11));
  Skip(surface.SetEffectSetting(6, s.EffectParam6));
  Skip(surface.SetEffectSetting(7, s.EffectParam7));
  Skip(surface.SetEffectSetting(14, s.EffectParam14));
  Skip(surface.SetEffectSetting(12, s.EffectParam12));
  Skip(surface.SetEffectSetting(13, s.EffectParam13));
  Skip(surface.SetEffectSetting(8, s.EffectParam8));
  Skip(surface.SetEffectSetting(9, s.EffectParam9));
  Skip(surface.SetEffectSetting(2, s.EffectParam2));
  Skip(surface.SetEffectSetting(3, s.EffectParam3));
  Skip(surface.SetEffectSetting(4, s.EffectParam4));
  Skip(surface.SetEffectSetting(5, s.EffectParam5));
}

void ShowEngine::ApplyTransition(std::int32_t index) {
  const ScreenSettings* screen = ScreenAt(index);
  if (screen == nullptr) return;
  ImagingControl& surface = controls_.LEADScreen;
  if (state_.package.Global.RandomEffects) {
    // Random effects replace every configured transition, cross-fades too.
    const RandomEffect random = PickRandomEffect();
    WriteEffectSettings(random.code, *screen, &random);
    return;
  }
  if (screen->EffectCode == kCrossFadeEffect) {
    // Video screens never cross-fade; the surface keeps its settings.
    if (screen->ScreenKind != 0) return;
    controls_.LEAD2.SetBitmap(surface.Bitmap());
    Skip(CrossFade(controls_.LEAD1, controls_.LEAD2, surface, screen->CrossFadeParam, controls_.ld1,
                   controls_.ld2));
    return;
  }
  if (screen->EffectCode == kPlainRepaintEffect) {
    surface.SetPaintEffect(kPlainRepaintEffect);
    Skip(surface.SetEffectSetting(2, 1000));
    Skip(surface.SetEffectSetting(3, 0));
    return;
  }
  WriteEffectSettings(screen->EffectCode, *screen, nullptr);
}

RandomEffect ShowEngine::PickRandomEffect() {
  LastRandomEffect& last = lastRandomEffect_;
  RandomEffect result;
  do {
    result.r10 = Near(random_.Next() * 15.0);
  } while (result.r10 == last.r10);
  last.r10 = result.r10;
  do {
    result.r11 = Near(random_.Next() * 15.0 + 1.0);
  } while (result.r11 == last.r11);
  last.r11 = result.r11;
  do {
    const EffectGroup group = kEffectGroups[Near(random_.Next() * 7.0)];
    result.code = Near(random_.Next() * group.span + group.base);
  } while (result.code == last.code);
  last.code = result.code;
  return result;
}

Status ShowEngine::CrossFade(ImagingControl& A, ImagingControl& B, ImagingControl& S,
                             std::int16_t n, ImagingControl& CA, ImagingControl& CB) {
  // 1. The bitmap size, converted to Longs (the kernel works on whole bitmaps).
  auto w = RoundToLong(static_cast<double>(A.BitmapWidth()));
  if (!w) return unexpected<Error>(w.error());
  auto h = RoundToLong(static_cast<double>(A.BitmapHeight()));
  if (!h) return unexpected<Error>(h.error());
  // 2 to 6.
  S.SetRepaintEnabled(true);
  const bool savedAutoAdjust = S.AutoAdjust();
  S.SetAutoAdjust(false);
  S.SetPaintEffect(kPlainRepaintEffect);
  if (auto r = S.SetEffectSetting(2, 1000); !r) return r;
  if (auto r = S.SetEffectSetting(3, 0); !r) return r;
  CA.SetBitmap(A.Bitmap());
  CB.SetBitmap(B.Bitmap());
  // The original cleared the pending quit here, so a key pressed just before
  // a fade was forgotten and the show ran on; a pending quit now stops the
  // fade after its first frame and closes the show as promised.

  // 7. Frame i blends g = i * 255 / n of the incoming screen over the rest
  // of the outgoing one. The fused kernel gives the very pixels of the
  // original's fills and combines; the product is formed wide, so counts
  // above 128 fade to the end instead of overflowing at step 129.
  std::int64_t frames = 0;
  const auto traceEnd = [&] {
    services_.trace.Write("crossfade", {{"steps", std::int64_t{n}}, {"frames", frames}});
  };
  Image frame;
  for (std::int32_t i = 0; i <= n; ++i) {
    auto g = CrossFadeGrey(i, n);
    if (!g) {
      traceEnd();
      return unexpected<Error>(g.error());
    }
    // On the first screen the outgoing snapshot is empty: the original's
    // first Fill fails there, and the incoming screen shows at once.
    if (CA.BitmapImage().IsEmpty() || CB.BitmapImage().IsEmpty()) {
      traceEnd();
      return Fail(ErrorCode::InvalidProcedureCall, "no picture to fade");
    }
    const Status blended = CrossFadeFrame(CA.BitmapImage(), CB.BitmapImage(), *g, frame);
    if (!blended) {
      traceEnd();
      return blended;
    }
    S.SetBitmapImage(std::move(frame));
    if (auto r = S.Repaint(); !r) {
      traceEnd();
      return r;
    }
    ++frames;
    if (services_.awaitNextFrame) services_.awaitNextFrame();
    services_.loop.DoEvents();
    if (state_.UserInputSeen) break;
  }
  // 8, 9.
  S.SetAutoAdjust(savedAutoAdjust);
  S.SetRepaintEnabled(false);
  traceEnd();
  return {};
}

}  // namespace vistel
