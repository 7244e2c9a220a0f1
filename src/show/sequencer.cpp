// The screen step, the advance and the random screen order.
#include <cmath>

#include "base/conversions.hpp"
#include "show/show_engine.hpp"

namespace vistel {
namespace {

// The current index read back from Tag as a 32-bit integer ("" reads as 0).
Result<std::int32_t> TagIndex(const std::string& tag) {
  if (tag.empty()) return 0;
  return TextToLong(tag);
}

}  // namespace

ShowEngine::ShowEngine(ShowControls controls, ShowServices services, ShowState& state)
    : controls_(std::move(controls)), services_(std::move(services)), state_(state) {}

const ScreenSettings* ShowEngine::ScreenAt(std::int32_t index) const {
  const auto& screens = state_.package.Screens;
  if (index < 0 || static_cast<std::size_t>(index) >= screens.size()) return nullptr;
  return &screens[static_cast<std::size_t>(index)];
}

void ShowEngine::Extract(std::int32_t position, std::int32_t length, const std::string& fileName) {
  if (extractor_ != nullptr) extractor_->ExtractMedium(position, length, fileName);
}

void ShowEngine::ReportMedia(std::int32_t index, std::string_view kind, const std::string& file,
                             std::string_view reason) {
  services_.trace.Write("media", {{"screen", std::int64_t{index}},
                                  {"kind", std::string(kind)},
                                  {"reason", std::string(reason)}});
  if (services_.explain) {
    services_.explain("screen " + std::to_string(index) + " " + std::string(kind) + " " + file +
                      ": not shown: " + std::string(reason));
  }
}

void ShowEngine::ShowScreen(std::int32_t index) {
  services_.trace.Write("screen", {{"index", std::int64_t{index}}});
  auto& c = controls_;
  stepRunning_ = true;
  // Whether this screen must hand over by itself, 500 ms after the step.
  bool handOverAfterStep = false;
  // An index outside the show fails every statement that reads the record;
  // those that do not still run, as in the original.
  const ScreenSettings* screen = ScreenAt(index);
  bool drewCaption = false;

  // 1. Every routine closes its own files; nothing is left open here.
  // 2.
  c.timInterval.SetEnabled(false);
  // 3. The snapshot of the outgoing screen for a cross-fade.
  if (screen != nullptr && screen->EffectCode == kCrossFadeEffect) {
    c.LEAD1.SetBitmap(c.LEADScreen.Bitmap());
  }
  // 4.
  c.LEADScreen.SetRepaintEnabled(false);
  // 5. The surface's bitmap at the window's size. The original made it once;
  // a window that has since changed size (a preview area or a hack's window
  // resized under the show) gets a new one, or the show would fill only the
  // old part of it.
  {
    const FloatSize window = c.windowSizeTwips();
    const TwipsPerPixel tpp = Tpp();
    const float width = window.width / tpp.x, height = window.height / tpp.y;
    const auto wantedWidth = RoundToLong(static_cast<double>(width));
    const auto wantedHeight = RoundToLong(static_cast<double>(height));
    const bool sizeChanged = wantedWidth && wantedHeight &&
                             (static_cast<float>(*wantedWidth) != c.LEADScreen.BitmapWidth() ||
                              static_cast<float>(*wantedHeight) != c.LEADScreen.BitmapHeight());
    if (c.LEADScreen.Bitmap() == nullptr || sizeChanged) {
      Skip(c.LEADScreen.CreateBitmap(width, height, 24));
    }
  }
  // 6.
  DrawBackground(index);
  // 7. The main layer.
  if (screen != nullptr) {
    if (screen->ScreenKind != 0) {
      c.timInterval.SetInterval(0);
      if (screen->VideoLength != 0) {
        ShowVideoScreen(index);
      } else {
        HideVideo();
      }
      // Only a clip that plays reports its end, and only that moves a video
      // screen on. A clip that did not open, no clip at all (VideoLength 0 and
      // none left open by an earlier screen) and a kind that is neither image
      // nor video (its clip is prepared but never started) would keep the show
      // here for ever: such a screen stays for its DisplaySeconds instead, or
      // hands over 500 ms after this step when that is 0.
      if (screen->ScreenKind != 1 || !c.LEADVid1.IsOpen()) {
        const auto ms = RoundToLong(static_cast<double>(screen->DisplaySeconds) * 1000.0);
        if (ms && *ms > 0) {
          c.timInterval.SetInterval(static_cast<std::uint32_t>(*ms));
        } else {
          handOverAfterStep = true;
        }
      }
    } else {
      if (screen->ImageLength != 0) {
        DrawImage(index);
      } else {
        c.LEADImg1.SetBitmap(nullptr);
        HideVideo();
      }
      // DisplaySeconds x 1000 as a Long; an interval beyond what the timer
      // takes (or an overflow) leaves the previous interval.
      if (const auto ms = RoundToLong(static_cast<double>(screen->DisplaySeconds) * 1000.0)) {
        if (*ms >= 0) c.timInterval.SetInterval(static_cast<std::uint32_t>(*ms));
      }
    }
    // 8. The caption: drawn always, shown outside preview only.
    if (screen->CaptionText.empty()) {
      HideCaption();
    } else {
      ShowCaption(index);
      if (!state_.InPreview()) c.picCaption.SetVisible(true);
      drewCaption = true;
    }
    // 9.
    ApplyTransition(index);
  }
  // 10.
  c.Tag = NumberToText(index);
  // 11. The revealing repaint.
  c.LEADScreen.SetRepaintEnabled(true);
  TraceEffect();
  Skip(c.LEADScreen.Repaint());
  services_.trace.Write("reveal", {{"index", std::int64_t{index}}});
  // 12.
  if (screen != nullptr && screen->ScreenKind == 1) {
    c.LEADVid1.SetVisible(true);
    Skip(c.LEADVid1.PlayMedia());
  }
  // 13.
  c.timInterval.SetEnabled(true);
  if (drewCaption) TraceCaption();
  stepRunning_ = false;
  // Whatever moves the show on is armed only now that the step is over, so
  // that it cannot fire inside a paint effect's or a cross-fade's pumping and
  // start a step within this one.
  if (handOverAfterStep || advanceDeferred_) {
    advanceDeferred_ = false;
    c.timNext.SetEnabled(true);
  }
}

void ShowEngine::Advance() {
  // Screen steps never nest: an advance asked for while one runs (a clip's
  // end arriving while a paint effect pumps messages) waits for its end.
  if (stepRunning_) {
    advanceDeferred_ = true;
    return;
  }
  std::int32_t next = 0;
  if (state_.package.Global.RandomScreenOrder) {
    next = PickRandomScreen();
  } else {
    // Tag + 1, back to the first screen after the last. A Tag that does not
    // read as a number fails the statement and leaves next at 0.
    if (const auto current = TagIndex(controls_.Tag); current && *current < INT32_MAX) {
      next = *current + 1;
    }
    if (static_cast<std::size_t>(next) >= state_.package.Screens.size() || next < 0) next = 0;
  }
  HideCaption();
  ShowScreen(next);
}

std::int32_t ShowEngine::PickRandomScreen() {
  // (assign, not = "0": GCC 12 misreads the short literal copy as overlapping)
  if (controls_.Tag.empty()) controls_.Tag.assign(1, '0');
  const auto current = TagIndex(controls_.Tag);
  const std::int32_t currentIndex = current ? *current : 0;
  const auto count = static_cast<double>(state_.package.Screens.size());
  // With one screen (or none) there is no other index to find: the original
  // looped for ever here; the only index is the answer.
  if (count <= 1.0) return 0;
  std::int32_t result = currentIndex;
  while (result == currentIndex) {
    result = static_cast<std::int32_t>(std::floor(random_.Next() * count));
  }
  return result;
}

void ShowEngine::HideCaption() {
  if (!controls_.picCaption.Visible()) return;
  controls_.picCaption.SetVisible(false);
  TraceCaption();
}

void ShowEngine::HideVideo() {
  if (!controls_.LEADVid1.Visible()) return;
  controls_.LEADVid1.SetVisible(false);
  TraceVideo("hidden");
}

void ShowEngine::TraceEffect() {
  if (!services_.trace.Enabled()) return;
  const auto& settings = controls_.LEADScreen.GetEffectSettings();
  std::vector<double> values(settings.begin(), settings.end());
  services_.trace.Write("effect", {{"code", std::int64_t{controls_.LEADScreen.PaintEffect()}},
                                   {"settings", std::move(values)}});
}

void ShowEngine::TraceCaption() {
  const CaptionBox& box = controls_.picCaption;
  services_.trace.Write("caption", {{"visible", box.Visible()},
                                    {"left", double{box.Left()}},
                                    {"top", double{box.Top()}},
                                    {"width", double{box.Width()}},
                                    {"height", double{box.Height()}}});
}

void ShowEngine::TraceVideo(std::string_view videoState) {
  const VideoControl& video = controls_.LEADVid1;
  services_.trace.Write("video", {{"state", std::string(videoState)},
                                  {"left", double{video.Left()}},
                                  {"top", double{video.Top()}},
                                  {"width", double{video.Width()}},
                                  {"height", double{video.Height()}}});
}

}  // namespace vistel
