// The video control (LEADVid1): plays one clip at a time in a rectangle of
// the show window, over the media services.
//
// Units. The control's container properties (Left, Top, Width, Height) and
// its video rectangle are in twips, because the show copies the rectangle
// into the control's size and places the control with the window's twips.
// VideoWidth and VideoHeight, the clip's own size, are in twips as well (the
// frame's pixels times the display's twips per pixel, read afresh each time),
// so that a rectangle of VideoWidth x VideoHeight shows the clip at its own
// size. The video rectangle is relative to the control: the picture appears
// at (Left + VideoRectLeft, Top + VideoRectTop), clipped to the control's
// area and to the screen. PlayPosition is in milliseconds from the clip's
// start.
//
// Playback. PlayMedia starts a timer of the control's own (kVideoTickMs).
// Each tick takes the loop's clock minus the play start as the position, asks
// the clip for the frame on screen then, and hands it, scaled to the video
// rectangle (nearest neighbour), to the VideoOutput when it differs from the
// frame shown last and the control is visible. Every kVideoNotifyPeriodMs of
// playback a tick raises VideoNotifyEvent with the position. The clip ends
// when the position reaches its duration (when known); before that, when
// decoding fails, and when the picture has run out (or it has none) unless
// its sound goes on: sound that outlasts the picture plays to the duration
// under the last frame. At the end the control stops its timer and its
// sound, keeps the last frame on screen and raises
// VideoStateEvent(kVideoStateEnded) once. PlayMedia
// after the end plays the clip again from its start. The sound of the clip
// plays through AudioOutput from PlayMedia to the end, CloseMedia or a
// rewind (which seeks it; a clip that cannot seek its sound goes on
// silently). Timing follows the loop's clock, not the sound's, so that a
// headless run is deterministic.
//
// Events are raised on the user-interface thread from the control's timer
// (notify, end of clip) and from DeliverInput; a handler may call anything
// on the control, CloseMedia included, but must not destroy it. A clip that
// cannot be opened raises no event at all: the show decides how to move on.
//
// Trace. The control writes the `video` events it alone sees happen:
// `opened` (with the video rectangle reported for the new clip), `playing`,
// `ended` and `closed` (with the control's Left, Top, Width, Height). The
// show writes `placed` and `hidden`, which are steps of its own routines.
//
// Not thread-safe: everything runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "base/image.hpp"
#include "runtime/display.hpp"
#include "runtime/events.hpp"
#include "runtime/media.hpp"
#include "runtime/trace.hpp"

namespace vistel {

// VideoStateEvent's state for the end of the clip.
inline constexpr std::int16_t kVideoStateEnded = 1;
// The playback timer's interval: faster than any clip's frame rate (MPEG-1
// tops at 30 frames a second), so a frame is at most one tick late.
inline constexpr std::uint32_t kVideoTickMs = 20;
// How often VideoNotifyEvent comes during playback (loop time): often enough
// that a pending quit is acted on promptly, rare enough to cost nothing.
inline constexpr Milliseconds kVideoNotifyPeriodMs = 100;

// What the user did on the video window; VideoInputEvent's argument.
enum class VideoInputKind : int { Key = 1, MouseButton = 2, MouseMove = 3 };

// The control's events as the show handles them. Empty members are skipped.
struct VideoEvents {
  std::function<void(std::int16_t state)> VideoStateEvent;
  std::function<void(int kind)> VideoInputEvent;
  std::function<void(int positionMs)> VideoNotifyEvent;
};

// The services the control works through; all must outlive it.
struct VideoControlServices {
  ClipDecoder& decoder;
  EventLoop& loop;
  AudioOutput& audio;
  VideoOutput& output;
  Display& display;  // twips per pixel and the screen's bounds
  Trace& trace;
};

class VideoControl {
 public:
  explicit VideoControl(VideoControlServices services, VideoEvents events = {});
  VideoControl(const VideoControl&) = delete;
  VideoControl& operator=(const VideoControl&) = delete;
  ~VideoControl();

  void SetEvents(VideoEvents events) { events_ = std::move(events); }

  // ---- Clip ----
  // Opens a clip, closing the one open before. 0 when it opened; otherwise
  // the error number (never 0) and no clip is open. The video rectangle
  // becomes (0, 0, VideoWidth, VideoHeight) and the position 0.
  std::int16_t OpenMediaFile(std::string_view path);
  // Why the last OpenMediaFile failed, in words; "" after one that opened.
  const std::string& LastOpenError() const { return lastOpenError_; }
  // Stops playback and sound, takes the picture off the window and forgets
  // the clip; the rectangle becomes empty. Nothing happens with no clip.
  void CloseMedia();
  // Plays from the position (from the start after the end of the clip).
  // Fails with no clip open; does nothing while already playing.
  Status PlayMedia();
  // Moves the position (0 rewinds); playback, if running, goes on from there.
  // Fails with no clip open or a negative position.
  Status SetPlayPosition(std::int32_t positionMs);
  std::int32_t PlayPosition() const;

  bool IsOpen() const { return clip_ != nullptr; }
  bool IsPlaying() const { return state_ == State::Playing; }

  // The clip's own size in twips; 0 with no clip or no video.
  float VideoWidth() const;
  float VideoHeight() const;

  // ---- Video rectangle (twips, relative to the control) ----
  float VideoRectLeft() const { return videoRect_.left; }
  float VideoRectTop() const { return videoRect_.top; }
  float VideoRectWidth() const { return videoRect_.width; }
  float VideoRectHeight() const { return videoRect_.height; }
  // Fails for a value that is not finite (the rectangle stays as it was).
  Status SetVideoRect(float left, float top, float width, float height);

  // ---- Container properties (twips) ----
  float Left() const { return bounds_.left; }
  float Top() const { return bounds_.top; }
  float Width() const { return bounds_.width; }
  float Height() const { return bounds_.height; }
  void SetLeft(float left);
  void SetTop(float top);
  void SetWidth(float width);
  void SetHeight(float height);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // The host reports user input on the video window; raised as
  // VideoInputEvent while the control is visible (a hidden window gets none).
  void DeliverInput(VideoInputKind kind);

 private:
  enum class State { Idle, Stopped, Playing };

  void Tick();
  void EndOfClip();
  void StartSound(Milliseconds positionMs);
  void StopPlayback();
  // Presents the frame shown last at the current geometry (or hides the
  // picture when none of it is visible).
  void Present();
  void HidePicture();
  void TraceState(std::string_view state, const FloatRect& rectTwips);

  VideoControlServices services_;
  VideoEvents events_;

  std::unique_ptr<MediaClip> clip_;
  std::string lastOpenError_;
  std::unique_ptr<AudioStream> sound_;  // pulls from clip_: reset before it
  State state_ = State::Idle;
  bool atEnd_ = false;
  bool pictureEnded_ = false;  // no frame for the position: the last one stays
  bool soundAtStart_ = false;  // the clip's sound has not been pulled since opening
  Milliseconds positionMs_ = 0;
  Milliseconds playStartMs_ = 0;  // loop time at which position 0 was (is) due
  Milliseconds lastNotifyMs_ = 0;

  Image decoded_;  // the frame the clip gave last
  Image shown_;    // the frame on screen (unscaled)
  Image scaled_;   // reused buffer of the scaled picture
  bool presented_ = false;

  FloatRect videoRect_;
  FloatRect bounds_;
  bool visible_ = false;

  // Created at the first PlayMedia, after the window's timers have been
  // traced, so that this inner timer stays out of the `timer` events.
  std::unique_ptr<Timer> timer_;
};

}  // namespace vistel
