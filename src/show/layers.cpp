// The two layers composed into the surface's bitmap: the background (a plain
// colour or a stretched picture) and the image of an image screen.
#include "base/conversions.hpp"
#include "show/placement.hpp"
#include "show/show_engine.hpp"

namespace vistel {
namespace {

// A coordinate or size of a blit as a Long (nearest, ties to even).
Result<int> ToLong(float value) {
  auto r = RoundToLong(static_cast<double>(value));
  if (!r) return unexpected<Error>(r.error());
  return static_cast<int>(*r);
}

// GetBitmapDC on both, StretchBlt, ReleaseBitmapDC on both: the blit the
// background and the image end with. The first failure ends it (the caller's
// routine has no more steps after it that could run).
Status BlitInto(ImagingControl& from, ImagingControl& surface, float x, float y) {
  auto dx = ToLong(x);
  if (!dx) return unexpected<Error>(dx.error());
  auto dy = ToLong(y);
  if (!dy) return unexpected<Error>(dy.error());
  auto dw = ToLong(from.DisplayWidth());
  if (!dw) return unexpected<Error>(dw.error());
  auto dh = ToLong(from.DisplayHeight());
  if (!dh) return unexpected<Error>(dh.error());
  auto sw = ToLong(from.SourceWidth());
  if (!sw) return unexpected<Error>(sw.error());
  auto sh = ToLong(from.SourceHeight());
  if (!sh) return unexpected<Error>(sh.error());
  auto source = from.GetBitmapDC();
  if (!source) return unexpected<Error>(source.error());
  auto dest = surface.GetBitmapDC();
  if (!dest) {
    Skip(from.ReleaseBitmapDC());
    return unexpected<Error>(dest.error());
  }
  const Status blit = StretchBlt(*dest, *dx, *dy, *dw, *dh, *source, 0, 0, *sw, *sh, kSrcCopy);
  Skip(from.ReleaseBitmapDC());
  Skip(surface.ReleaseBitmapDC());
  return blit;
}

}  // namespace

void ShowEngine::DrawBackground(std::int32_t index) {
  const ScreenSettings* screen = ScreenAt(index);
  if (screen == nullptr) return;
  ImagingControl& bg = controls_.LEADBG;
  ImagingControl& surface = controls_.LEADScreen;
  if (screen->BackgroundKind == 1) {
    // The picture, resampled to the size LEADBG displays it at and drawn from
    // the surface's top-left corner; a picture that fails to load leaves the
    // previous one in LEADBG, which is drawn again.
    const std::string file = BackgroundFileName();
    Extract(screen->BackgroundPosition, screen->BackgroundLength, file);
    if (auto loaded = bg.LoadImageFile(file, 0, 0, 1); !loaded) {
      ReportMedia(index, "background", file, loaded.error().description);
    }
    Skip(bg.ResizeBitmap(bg.DisplayWidth(), bg.DisplayHeight(), 2));
    Skip(BlitInto(bg, surface, 0.0F, 0.0F));
    return;
  }
  bg.SetBitmap(nullptr);
  bg.SetBackColor(static_cast<ColorRef>(screen->BackgroundColor));
  Skip(surface.Fill(bg.BackColor()));
}

void ShowEngine::DrawImage(std::int32_t index) {
  const ScreenSettings* screen = ScreenAt(index);
  if (screen == nullptr) return;
  ImagingControl& img = controls_.LEADImg1;
  const TwipsPerPixel tpp = Tpp();

  HideVideo();                                                      // 1
  img.SetBackColor(static_cast<ColorRef>(screen->ImageBackColor));  // 2
  const std::string file = ImageFileName();
  Extract(screen->ImagePosition, screen->ImageLength, file);      // 3
  if (auto loaded = img.LoadImageFile(file, 0, 0, 1); !loaded) {  // 4
    ReportMedia(index, "image", file, loaded.error().description);
  }
  img.SetDrawOptionFlag(screen->ImageOptionFlag);  // 5
  img.SetDrawOptionColor(static_cast<ColorRef>(screen->ImageOptionColor));
  Skip(img.SetSizeMode(0));  // 6
  Skip(img.SetZoomFactor(100.0F));
  img.SetDisplayLeft(0);
  img.SetDisplayTop(0);

  // 7. Sizing; modes 1 to 3 measure against the background area.
  const auto fillArea = [&] {
    Skip(img.SetWidth(controls_.LEADBG.Width()));
    Skip(img.SetHeight(controls_.LEADBG.Height()));
  };
  switch (screen->ImageSizing) {
    case 0:
      Skip(img.SetSizeMode(0));
      break;
    case 1:
    case 2:
    case 3:
      Skip(img.SetSizeMode(screen->ImageSizing));
      fillArea();
      break;
    case 4:
      Skip(img.SetZoomFactor(screen->ImageScale));
      Skip(img.SetSizeMode(4));
      break;
    default:
      break;
  }
  // 8. The holder takes its display size.
  Skip(img.SetWidth(img.DisplayWidth() * tpp.x));
  Skip(img.SetHeight(img.DisplayHeight() * tpp.y));
  // 9. The preview fits the picture into the small window.
  if (state_.InPreview()) {
    if (img.GetSizeMode() == 0 || img.GetSizeMode() == 4) Skip(img.SetSizeMode(3));
    const FloatSize window = controls_.windowSizeTwips();
    Skip(img.SetWidth(window.width));
    Skip(img.SetHeight(window.height));
  }
  // 10. Placement in the background area.
  const Placement place = PlacementCode(screen->ImagePlacement, BackgroundArea(),
                                        {img.DisplayWidth() * tpp.x, img.DisplayHeight() * tpp.y},
                                        screen->ImageXDivisor, screen->ImageYDivisor);
  if (place.left) img.SetLeft(*place.left);
  if (place.top) img.SetTop(*place.top);
  // 11. The picture at its display size, blitted at the holder's place.
  Skip(img.ResizeBitmap(img.DisplayWidth(), img.DisplayHeight(), 2));
  Skip(BlitInto(img, controls_.LEADScreen, img.Left() / tpp.x, img.Top() / tpp.y));
}

}  // namespace vistel
