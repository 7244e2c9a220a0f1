// The two parts of a screen that lie above the surface: the video control of
// a video screen and the caption box.
#include "base/conversions.hpp"
#include "show/placement.hpp"
#include "show/show_engine.hpp"

namespace vistel {
namespace {

// VideoSize codes 0..7: the factor on the clip's own size.
constexpr float kVideoSizeFactors[8] = {0.25F, 0.5F, 0.75F, 1.0F, 1.25F, 1.5F, 1.75F, 2.0F};

// The three-dimensional caption's border allowance, added to width and height.
constexpr float kCaptionBorderAllowanceTwips = 60.0F;

}  // namespace

void ShowEngine::ShowVideoScreen(std::int32_t index) {
  const ScreenSettings* screen = ScreenAt(index);
  if (screen == nullptr) return;
  VideoControl& video = controls_.LEADVid1;

  controls_.LEADImg1.SetBitmap(nullptr);  // 1
  video.CloseMedia();                     // 2
  const std::string file = VideoFileName();
  Extract(screen->VideoPosition, screen->VideoLength, file);  // 3
  if (video.OpenMediaFile(file) != 0)
    ReportMedia(index, "video", file, video.LastOpenError());  // 4

  // 5. The size code scales the clip's own size.
  if (screen->VideoSize >= 0 && screen->VideoSize <= 7) {
    const float factor = kVideoSizeFactors[screen->VideoSize];
    Skip(video.SetVideoRect(video.VideoRectLeft(), video.VideoRectTop(),
                            video.VideoWidth() * factor, video.VideoHeight() * factor));
  }
  // 6. In preview the window's size, scaled down once more by the ratio of
  // the window to the screen, replaces it.
  if (state_.InPreview()) {
    const FloatSize screenTwips = services_.display.ScreenSizeTwips();
    const FloatSize window = controls_.windowSizeTwips();
    const float rx = screenTwips.width / window.width;
    const float ry = screenTwips.height / window.height;
    if (rx != 0.0F && ry != 0.0F) {
      Skip(video.SetVideoRect(video.VideoRectLeft(), video.VideoRectTop(), window.width / rx,
                              window.height / ry));
    }
  }
  // 7. The control takes the video's size.
  video.SetWidth(video.VideoRectWidth());
  video.SetHeight(video.VideoRectHeight());
  // 8. Placement in the background area.
  const Placement place = PlacementCode(screen->VideoPlacement, BackgroundArea(),
                                        {video.VideoRectWidth(), video.VideoRectHeight()},
                                        screen->VideoXDivisor, screen->VideoYDivisor);
  if (place.left) video.SetLeft(*place.left);
  if (place.top) video.SetTop(*place.top);
  TraceVideo("placed");
}

void ShowEngine::ShowCaption(std::int32_t index) {
  const ScreenSettings* screen = ScreenAt(index);
  if (screen == nullptr) return;
  CaptionBox& box = controls_.picCaption;

  box.ClearPicture();  // 1
  box.Cls();
  box.SetFontName(screen->CaptionFontName);  // 2
  Skip(box.SetFontSize(static_cast<float>(screen->CaptionFontSize)));
  box.SetFontBold(screen->CaptionBold != 0);
  box.SetFontItalic(screen->CaptionItalic != 0);
  // 3. As a 16-bit Integer first; the box rejects anything but 0 and 1.
  if (const auto appearance = RoundToInteger(screen->CaptionAppearance)) {
    Skip(box.SetAppearance(*appearance));
  }
  box.SetForeColor(static_cast<ColorRef>(screen->CaptionForeColor));  // 4
  box.SetBackColor(static_cast<ColorRef>(screen->CaptionBackColor));
  const float allowance = box.Appearance() == 1 ? kCaptionBorderAllowanceTwips : 0.0F;  // 5
  Skip(box.SetWidth(box.TextWidth(screen->CaptionText) + allowance));                   // 6
  Skip(box.SetHeight(box.TextHeight(screen->CaptionText) + allowance));
  box.Print(screen->CaptionText);  // 7
  box.ZOrder();                    // 8
  box.KeepDrawingAsPicture();      // 9
  box.Refresh();
  // 10.
  const Placement place =
      PlacementCode(screen->CaptionPlacement, BackgroundArea(), {box.Width(), box.Height()},
                    screen->CaptionXDivisor, screen->CaptionYDivisor);
  if (place.left) Skip(box.SetLeft(*place.left));
  if (place.top) Skip(box.SetTop(*place.top));
}

}  // namespace vistel
