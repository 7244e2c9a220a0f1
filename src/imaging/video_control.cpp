#include "imaging/video_control.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace vistel {
namespace {

// Far beyond any screen, small enough that pixel sums cannot overflow.
constexpr double kPixelLimit = 1 << 24;

std::optional<int> RoundPixels(double twips, float twipsPerPixel) {
  if (!(twipsPerPixel > 0.0F)) return std::nullopt;
  const double pixels = twips / static_cast<double>(twipsPerPixel);
  if (!std::isfinite(pixels)) return std::nullopt;
  return static_cast<int>(std::lround(std::clamp(pixels, -kPixelLimit, kPixelLimit)));
}

// A rectangle in twips to pixels, edge by edge, so that adjacent rectangles
// stay adjacent. Nothing when a value cannot be converted.
std::optional<IntRect> ToPixels(const FloatRect& twips, TwipsPerPixel tpp) {
  const auto left = RoundPixels(twips.left, tpp.x);
  const auto top = RoundPixels(twips.top, tpp.y);
  const auto right = RoundPixels(static_cast<double>(twips.left) + twips.width, tpp.x);
  const auto bottom = RoundPixels(static_cast<double>(twips.top) + twips.height, tpp.y);
  if (!left || !top || !right || !bottom) return std::nullopt;
  return IntRect{*left, *top, *right - *left, *bottom - *top};
}

// The part `visible` of `source` stretched over `target` (nearest neighbour,
// sampling at pixel centres), into `out`, which gets the size of `visible`.
void ScaleInto(const Image& source, const IntRect& target, const IntRect& visible, Image& out) {
  if (out.Extent() != visible.Extent()) out = Image(visible.width, visible.height);
  const auto srcW = static_cast<std::int64_t>(source.Width());
  const auto srcH = static_cast<std::int64_t>(source.Height());
  const auto dstW = static_cast<std::int64_t>(target.width);
  const auto dstH = static_cast<std::int64_t>(target.height);
  std::vector<int> columns(static_cast<std::size_t>(visible.width));
  for (int x = 0; x < visible.width; ++x) {
    const std::int64_t dx = visible.left + x - target.left;
    columns[static_cast<std::size_t>(x)] = static_cast<int>((2 * dx + 1) * srcW / (2 * dstW));
  }
  for (int y = 0; y < visible.height; ++y) {
    const std::int64_t dy = visible.top + y - target.top;
    const Pixel* from = source.Row(static_cast<int>((2 * dy + 1) * srcH / (2 * dstH)));
    Pixel* to = out.Row(y);
    for (int x = 0; x < visible.width; ++x) to[x] = from[columns[static_cast<std::size_t>(x)]];
  }
}

std::int16_t ErrorNumber(const Error& error) {
  const auto code = static_cast<std::int32_t>(error.code);
  if (code <= 0 || code > std::numeric_limits<std::int16_t>::max()) {
    return static_cast<std::int16_t>(ErrorCode::InvalidProcedureCall);
  }
  return static_cast<std::int16_t>(code);
}

}  // namespace

VideoControl::VideoControl(VideoControlServices services, VideoEvents events)
    : services_(services), events_(std::move(events)) {}

VideoControl::~VideoControl() {
  // The timer's handler and the sound stream point into this control and its
  // clip: both go first.
  timer_.reset();
  sound_.reset();
  clip_.reset();
}

// ---- Clip ------------------------------------------------------------------

std::int16_t VideoControl::OpenMediaFile(std::string_view path) {
  CloseMedia();
  lastOpenError_.clear();
  auto opened = services_.decoder.OpenClip(path);
  if (!opened) {
    lastOpenError_ = opened.error().description;
    return ErrorNumber(opened.error());
  }
  if (!*opened) {
    lastOpenError_ = "the clip decoder gave no clip";
    return static_cast<std::int16_t>(ErrorCode::InvalidProcedureCall);
  }
  clip_ = std::move(*opened);
  state_ = State::Stopped;
  atEnd_ = false;
  soundAtStart_ = true;
  pictureEnded_ = false;
  positionMs_ = 0;
  videoRect_ = {0.0F, 0.0F, VideoWidth(), VideoHeight()};
  TraceState("opened", videoRect_);
  return 0;
}

void VideoControl::CloseMedia() {
  if (!clip_) return;
  StopPlayback();
  clip_.reset();
  state_ = State::Idle;
  atEnd_ = false;
  positionMs_ = 0;
  decoded_ = Image();
  shown_ = Image();
  scaled_ = Image();
  HidePicture();
  videoRect_ = {};
  TraceState("closed", bounds_);
}

Status VideoControl::PlayMedia() {
  if (!clip_) return Fail(ErrorCode::InvalidProcedureCall, "no clip is open");
  if (state_ == State::Playing) return {};
  if (atEnd_) {
    positionMs_ = 0;
    atEnd_ = false;
    pictureEnded_ = false;
  }
  const Milliseconds now = services_.loop.NowMs();
  playStartMs_ = now - positionMs_;
  lastNotifyMs_ = now - kVideoNotifyPeriodMs;  // the first tick notifies
  StartSound(positionMs_);
  if (!timer_) timer_ = services_.loop.CreateTimer("LEADVid1.play", [this] { Tick(); });
  timer_->SetInterval(kVideoTickMs);
  timer_->SetEnabled(true);
  state_ = State::Playing;
  TraceState("playing", bounds_);
  return {};
}

Status VideoControl::SetPlayPosition(std::int32_t positionMs) {
  if (!clip_) return Fail(ErrorCode::InvalidProcedureCall, "no clip is open");
  if (positionMs < 0) return Fail(ErrorCode::InvalidProcedureCall, "negative play position");
  positionMs_ = positionMs;
  atEnd_ = false;
  pictureEnded_ = false;
  if (state_ == State::Playing) {
    playStartMs_ = services_.loop.NowMs() - positionMs_;
    StartSound(positionMs_);
  }
  return {};
}

std::int32_t VideoControl::PlayPosition() const {
  const Milliseconds position =
      state_ == State::Playing ? std::max<Milliseconds>(0, services_.loop.NowMs() - playStartMs_)
                               : positionMs_;
  return static_cast<std::int32_t>(
      std::min<Milliseconds>(position, std::numeric_limits<std::int32_t>::max()));
}

float VideoControl::VideoWidth() const {
  if (!clip_ || !clip_->HasVideo()) return 0.0F;
  return static_cast<float>(clip_->FrameSize().width) * services_.display.ScreenTwipsPerPixel().x;
}

float VideoControl::VideoHeight() const {
  if (!clip_ || !clip_->HasVideo()) return 0.0F;
  return static_cast<float>(clip_->FrameSize().height) * services_.display.ScreenTwipsPerPixel().y;
}

// ---- Playback --------------------------------------------------------------

void VideoControl::Tick() {
  if (state_ != State::Playing) return;
  const Milliseconds now = services_.loop.NowMs();
  positionMs_ = std::max<Milliseconds>(0, now - playStartMs_);
  const Milliseconds duration = clip_->Duration();
  if (duration > 0 && positionMs_ >= duration) {
    EndOfClip();
    return;
  }
  if (clip_->HasVideo() && !pictureEnded_) {
    const auto frame = clip_->FrameAt(positionMs_, decoded_);
    if (!frame) {  // a broken clip ends where it breaks
      EndOfClip();
      return;
    }
    if (*frame && !decoded_.IsEmpty()) {
      // Most ticks fall between two frames of the clip: scale only new ones.
      if (decoded_ != shown_) {
        std::swap(decoded_, shown_);
        Present();
      }
    } else {
      pictureEnded_ = true;
    }
  }
  // Sound that outlasts the picture plays to its end under the last frame.
  const bool soundLeads = clip_->HasAudio() && duration > 0;
  if ((pictureEnded_ || !clip_->HasVideo()) && !soundLeads) {
    EndOfClip();
    return;
  }
  if (now - lastNotifyMs_ >= kVideoNotifyPeriodMs) {
    lastNotifyMs_ = now;
    if (events_.VideoNotifyEvent) {
      events_.VideoNotifyEvent(static_cast<int>(
          std::min<Milliseconds>(positionMs_, std::numeric_limits<std::int32_t>::max())));
    }
  }
}

void VideoControl::EndOfClip() {
  StopPlayback();
  state_ = State::Stopped;
  atEnd_ = true;
  TraceState("ended", bounds_);
  if (events_.VideoStateEvent) events_.VideoStateEvent(kVideoStateEnded);
}

void VideoControl::StartSound(Milliseconds positionMs) {
  sound_.reset();
  if (!clip_->HasAudio()) return;
  AudioSource* source = clip_->Sound();
  if (source == nullptr) return;
  // A fresh clip's sound already stands at its start; anywhere else it has
  // to be moved there first, or picture and sound would drift apart.
  if (!(soundAtStart_ && positionMs == 0) && !clip_->SeekSound(positionMs)) return;
  soundAtStart_ = false;
  sound_ = services_.audio.Start(clip_->SoundFormat(), *source);
}

void VideoControl::StopPlayback() {
  if (timer_) timer_->SetEnabled(false);
  sound_.reset();
}

// ---- Geometry and display --------------------------------------------------

Status VideoControl::SetVideoRect(float left, float top, float width, float height) {
  if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) ||
      !std::isfinite(height)) {
    return Fail(ErrorCode::InvalidProcedureCall, "video rectangle with a value that is not finite");
  }
  videoRect_ = {left, top, width, height};
  Present();
  return {};
}

void VideoControl::SetLeft(float left) {
  bounds_.left = left;
  Present();
}

void VideoControl::SetTop(float top) {
  bounds_.top = top;
  Present();
}

void VideoControl::SetWidth(float width) {
  bounds_.width = width;
  Present();
}

void VideoControl::SetHeight(float height) {
  bounds_.height = height;
  Present();
}

void VideoControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (visible_) {
    Present();
  } else {
    HidePicture();
  }
}

void VideoControl::DeliverInput(VideoInputKind kind) {
  if (visible_ && events_.VideoInputEvent) events_.VideoInputEvent(static_cast<int>(kind));
}

void VideoControl::Present() {
  if (!visible_) return;
  if (shown_.IsEmpty()) {
    HidePicture();
    return;
  }
  const TwipsPerPixel tpp = services_.display.ScreenTwipsPerPixel();
  const FloatRect pictureTwips{bounds_.left + videoRect_.left, bounds_.top + videoRect_.top,
                               videoRect_.width, videoRect_.height};
  const auto picture = ToPixels(pictureTwips, tpp);
  const auto control = ToPixels(bounds_, tpp);
  const FloatSize screenTwips = services_.display.ScreenSizeTwips();
  const auto screen = ToPixels({0.0F, 0.0F, screenTwips.width, screenTwips.height}, tpp);
  if (!picture || !control || !screen || picture->IsEmpty()) {
    HidePicture();
    return;
  }
  const IntRect visible = picture->Intersected(*control).Intersected(*screen);
  if (visible.IsEmpty()) {
    HidePicture();
    return;
  }
  ScaleInto(shown_, *picture, visible, scaled_);
  services_.output.PresentVideo(scaled_, visible);
  presented_ = true;
}

void VideoControl::HidePicture() {
  if (!presented_) return;
  presented_ = false;
  services_.output.HideVideo();
}

void VideoControl::TraceState(std::string_view state, const FloatRect& rectTwips) {
  if (!services_.trace.Enabled()) return;
  services_.trace.Write("video", {{"state", std::string(state)},
                                  {"left", static_cast<double>(rectTwips.left)},
                                  {"top", static_cast<double>(rectTwips.top)},
                                  {"width", static_cast<double>(rectTwips.width)},
                                  {"height", static_cast<double>(rectTwips.height)}});
}

}  // namespace vistel
