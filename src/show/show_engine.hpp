// The show engine: the screen step and the routines it calls, composing each
// screen into the surface's bitmap in layers (background, image), preparing
// the video and the caption that lie above it, and revealing it with a paint
// effect, a plain repaint or a cross-fade.
//
// Error policy: every routine here skips a failed statement and goes on
// (resume-next), except CrossFade, whose first failure ends it and returns
// to ApplyTransition. The Status of a control call is therefore either
// dropped on purpose (`Skip`) or, in CrossFade, returned.
//
// Trace: `screen` when a step starts, `effect` when the revealing repaint
// starts, `reveal` when it has returned, `crossfade` when a fade ends,
// `caption` when the box is hidden or a step has drawn one, the video's
// `placed` and `hidden`, and `media` {screen, kind, reason} when a picture or
// a clip cannot be decoded.
//
// Single-threaded; the cross-fade and the surface's events pump messages,
// so window handlers may run inside a step (never another step: the screen
// timer is off while one runs).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "imaging/caption_box.hpp"
#include "imaging/effect_groups.hpp"
#include "imaging/imaging_control.hpp"
#include "imaging/video_control.hpp"
#include "package/extract.hpp"
#include "runtime/display.hpp"
#include "runtime/events.hpp"
#include "runtime/trace.hpp"
#include "show/show_random.hpp"
#include "show/show_state.hpp"

namespace vistel {

// The cross-fade's code in EffectCode.
inline constexpr std::int16_t kCrossFadeEffect = -100;

// PickRandomEffect's memory of its previous draw.
struct LastRandomEffect {
  std::int16_t code = 0;
  std::int16_t r10 = 0;
  std::int16_t r11 = 0;
};

struct RandomEffect {
  std::int16_t code = 0;
  std::int16_t r10 = 0;
  std::int16_t r11 = 0;
};

// The show window's parts the engine works on; all owned by the window.
struct ShowControls {
  ImagingControl& LEADScreen;
  ImagingControl& LEADBG;
  ImagingControl& LEADImg1;
  ImagingControl& LEAD1;
  ImagingControl& LEAD2;
  ImagingControl& ld1;
  ImagingControl& ld2;
  VideoControl& LEADVid1;
  CaptionBox& picCaption;
  Timer& timInterval;
  Timer& timNext;
  std::string& Tag;  // the current screen index as decimal text, "" before the first
  // The show window's Width and Height in twips, read afresh on each use.
  std::function<FloatSize()> windowSizeTwips;
};

struct ShowServices {
  Display& display;  // the screen's size and twips per pixel
  EventLoop& loop;   // DoEvents
  // Shows the frame just presented and waits one frame period (pumping).
  std::function<void()> awaitNextFrame;
  Trace& trace;
  // One line for whoever runs the player (stderr), about a medium the show
  // cannot use; nothing when absent.
  std::function<void(std::string_view)> explain = nullptr;
};

class ShowEngine {
 public:
  // The extractor is bound later (the package is read after the window loads).
  ShowEngine(ShowControls controls, ShowServices services, ShowState& state);

  void SetExtractor(MediaExtractor* extractor) { extractor_ = extractor; }
  ShowRandom& Random() { return random_; }
  const LastRandomEffect& LastRandom() const { return lastRandomEffect_; }

  // The screen step: composes screen `index` and reveals it.
  void ShowScreen(std::int32_t index);
  // The screen timer's tick (and timNext's): next index, hide the caption,
  // ShowScreen.
  void Advance();
  // A random index other than the current one (the only one when there is
  // just one screen).
  std::int32_t PickRandomScreen();

  void DrawBackground(std::int32_t index);
  void DrawImage(std::int32_t index);
  void ApplyTransition(std::int32_t index);
  RandomEffect PickRandomEffect();
  // Blends A (outgoing) into B (incoming) on S in n + 1 frames. Returns the
  // first failure, which ends it.
  Status CrossFade(ImagingControl& A, ImagingControl& B, ImagingControl& S, std::int16_t n,
                   ImagingControl& CA, ImagingControl& CB);
  void ShowVideoScreen(std::int32_t index);
  void ShowCaption(std::int32_t index);

  // Hides the caption box / the video control, tracing the change.
  void HideCaption();
  void HideVideo();

  // The file names the layers extract to.
  std::string BackgroundFileName() const { return state_.TempFolder + "bg"; }
  std::string ImageFileName() const { return state_.TempFolder + "img"; }
  std::string VideoFileName() const { return state_.TempFolder + "vid"; }

 private:
  const ScreenSettings* ScreenAt(std::int32_t index) const;
  TwipsPerPixel Tpp() const { return services_.display.ScreenTwipsPerPixel(); }
  FloatSize BackgroundArea() const { return {controls_.LEADBG.Width(), controls_.LEADBG.Height()}; }
  void Extract(std::int32_t position, std::int32_t length, const std::string& fileName);
  // A medium the screen step could not decode: the `media` trace event and a
  // line for the user. The show goes on as it does without the medium.
  void ReportMedia(std::int32_t index, std::string_view kind, const std::string& file,
                   std::string_view reason);
  void WriteEffectSettings(std::int16_t code, const ScreenSettings& screen,
                           const RandomEffect* random);
  void TraceEffect();
  void TraceCaption();
  void TraceVideo(std::string_view state);

  ShowControls controls_;
  ShowServices services_;
  ShowState& state_;
  MediaExtractor* extractor_ = nullptr;
  bool stepRunning_ = false;      // ShowScreen is on the stack
  bool advanceDeferred_ = false;  // an advance came while it was
  ShowRandom random_;
  LastRandomEffect lastRandomEffect_;
};

}  // namespace vistel
