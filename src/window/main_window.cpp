#include "window/main_window.hpp"

#include <cmath>
#include <cstdlib>

#include "base/conversions.hpp"
#include "runtime/message_box.hpp"
#include "runtime/registry.hpp"

namespace vistel {
namespace {

ImagingServices OffScreen(const MainWindowServices& s) {
  ImagingServices services;
  services.twipsPerPixel = s.display.ScreenTwipsPerPixel();
  services.decoder = &s.pictures;
  services.clock = &s.loop;
  return services;
}

ImagingServices OnScreen(const MainWindowServices& s, SurfaceOutput& surface) {
  ImagingServices services = OffScreen(s);
  services.surface = &surface;
  return services;
}

// A coordinate in twips as whole pixels, nearest with ties to even.
Result<std::int32_t> ToPixels(float twips, float twipsPerPixel) {
  return RoundToLong(static_cast<double>(twips / twipsPerPixel));
}

}  // namespace

void ShowMouseCursor(Display& display, bool show) {
  // The counter moves by one per call; the bound only guards against a host
  // whose counter does not move.
  constexpr int kMaxCalls = 1000;
  for (int calls = 0; calls < kMaxCalls; ++calls) {
    const int counter = display.ShowCursor(show);
    if (show ? counter >= 6 : counter <= -6) return;
  }
}

MainWindow::MainWindow(MainWindowServices services, ShowState& state)
    : LEADScreen(OnScreen(services, compositor)),
      LEADBG(OffScreen(services)),
      LEADImg1(OffScreen(services)),
      LEAD1(OffScreen(services)),
      LEAD2(OffScreen(services)),
      ld1(OffScreen(services)),
      ld2(OffScreen(services)),
      picCaption(services.fonts, services.display.ScreenTwipsPerPixel()),
      compositor(services.host, picCaption),
      LEADVid1(VideoControlServices{services.clips, services.loop, services.audio, compositor,
                                    services.display, services.trace}),
      services_(std::move(services)),
      state_(state) {
  // The background control stretches its picture over its whole area (its
  // design setting: the show never sets its sizing mode).
  Skip(LEADBG.SetSizeMode(static_cast<std::int32_t>(SizeMode::Stretch)));
  // The timers in their design state; the two that run from the start are
  // enabled when the window loads.
  EventLoop& loop = services_.loop;
  timInterval = loop.CreateTimer("timInterval", [this] { engine_->Advance(); });
  timNext = loop.CreateTimer("timNext", [this] {
    timNext->SetEnabled(false);
    engine_->Advance();
  });
  timNext->SetInterval(kHandOverMs);
  timReset = loop.CreateTimer("timReset", [this] {
    state_.MouseTravel = 0;
    timReset->SetEnabled(false);
    if (state_.UserInputSeen) Close("input");
  });
  timReset->SetInterval(kTravelResetMs);
  tmrAudio = loop.CreateTimer("tmrAudio", [this] {
    if (playlist_ != nullptr) playlist_->AudioTimerTick();
  });
  tmrAudio->SetInterval(kAudioPollMs);
  tmrVideo = loop.CreateTimer("tmrVideo", [this] {
    state_.UserInputSeen = true;
    if (LEADVid1.Visible()) Close("video");
  });
  tmrVideo->SetInterval(kVideoQuitMs);

  ShowControls controls{LEADScreen,
                        LEADBG,
                        LEADImg1,
                        LEAD1,
                        LEAD2,
                        ld1,
                        ld2,
                        LEADVid1,
                        picCaption,
                        *timInterval,
                        *timNext,
                        Tag,
                        [this] {
                          return FloatSize{Width(), Height()};
                        }};
  ShowServices show{services_.display, services_.loop, [this] { compositor.AwaitNextFrame(); },
                    services_.trace, services_.explain};
  engine_ = std::make_unique<ShowEngine>(std::move(controls), std::move(show), state_);
  WireEvents();
}

MainWindow::~MainWindow() {
  services_.host.SetInput(nullptr);
  services_.host.SetPainter(nullptr);
}

void MainWindow::WireEvents() {
  ImagingEvents& surface = LEADScreen.Events();
  surface.keyPress = [this](int) { MarkPendingQuit(); };
  surface.mouseUp = [this](int, int, float, float) { MarkPendingQuit(); };
  surface.mouseMove = [this](int, int, float x, float y) { SurfaceMouseMove(x, y); };
  surface.surfaceProgress = [this](int) {
    services_.loop.DoEvents();
    if (state_.UserInputSeen) {
      LEADScreen.SetShowActive(false);
      Close("input");
    }
  };
  surface.surfaceProgress2 = [this](int, int) { services_.loop.DoEvents(); };
  LEADBG.Events().keyPress = [this](int) { MarkPendingQuit(); };
  LEADImg1.Events().keyDown = [this](int, int) { MarkPendingQuit(); };

  LEADVid1.SetEvents(VideoEvents{
      .VideoStateEvent =
          [this](std::int16_t videoState) {
            if (videoState == kVideoStateEnded) timNext->SetEnabled(true);
          },
      .VideoInputEvent =
          [this](int) {
            if (!state_.InPreview()) tmrVideo->SetEnabled(true);
          },
      .VideoNotifyEvent =
          [this](int) {
            if (state_.UserInputSeen) {
              Skip(LEADVid1.SetPlayPosition(0));
              tmrVideo->SetEnabled(true);
            }
          },
  });
}

void MainWindow::Load() {
  if (loaded_) return;
  loaded_ = true;
  services_.host.SetInput(this);
  services_.host.SetPainter([this]() -> const Image& { return Compose(); });
  timReset->SetEnabled(true);
  tmrAudio->SetEnabled(true);
  services_.loop.TraceTimerStates();
  LoadHandler();
  Layout();
}

float MainWindow::Width() const {
  return static_cast<float>(services_.host.RectPixels().width) * Tpp().x;
}

float MainWindow::Height() const {
  return static_cast<float>(services_.host.RectPixels().height) * Tpp().y;
}

const Image& MainWindow::Compose() {
  return compositor.Compose(services_.host.RectPixels().Extent());
}

// ---- Load, query-close, unload -------------------------------------------

void MainWindow::LoadHandler() {
  if (!state_.InPreview() && services_.winOS.IsWin9x()) {
    const std::string text = services_.settings.ReadRegSetting(
        kHkeyCurrentUser, "Control Panel\\Desktop", "ScreenSaveUsePassword", "0", Quiet::Yes);
    const auto value = Val(text);
    UsePassword = value && *value != 0.0;
    if (UsePassword) services_.password.SetScreenSaverRunning(true);
  }
  services_.host.SetCaption(kApplicationTitle);
  LastMouseX = kNoMousePosition;
  LastMouseY = kNoMousePosition;
}

bool MainWindow::QueryUnload(CloseOrigin origin) {
  if (origin == CloseOrigin::Show && state_.FullScreen() && services_.winOS.IsWin9x() &&
      UsePassword) {
    if (!services_.password.VerifyScreenSavePwd(services_.host.Handle())) {
      LastMouseX = 0;
      LastMouseY = 0;
      return true;
    }
  }
  tmrVideo->SetEnabled(false);
  timInterval->SetEnabled(false);
  timNext->SetEnabled(false);
  timReset->SetEnabled(false);
  LEADScreen.SetRepaintEnabled(false);
  LEADScreen.SetShowActive(false);
  ShowMouseCursor(services_.display, true);
  return false;
}

void MainWindow::UnloadHandler(int exitCode) {
  if (state_.FullScreen() && services_.winOS.IsWin9x() && UsePassword) {
    services_.password.SetScreenSaverRunning(false);
  }
  services_.musicPlayer().StopPlay();
  services_.process.EndProcess(exitCode);
  // EndProcess never returns, but its attribute does not carry through the
  // virtual call for the compiler.
  std::abort();
}

void MainWindow::Close(std::string_view reason, int exitCode, CloseOrigin origin) {
  const bool refused = QueryUnload(origin);
  services_.trace.Write("close", {{"reason", std::string(reason)}, {"refused", refused}});
  if (refused) {
    ++refusedCloses_;
    ResumeAfterRefusedClose();
    return;
  }
  UnloadHandler(exitCode);
}

void MainWindow::ResumeAfterRefusedClose() {
  // The original left the pending quit set and the video quit timer running,
  // which stopped every later cross-fade after one frame and asked for the
  // password again every 500 ms without any input; and it left the surface
  // inactive, which turned every later paint effect into a plain repaint.
  state_.UserInputSeen = false;
  tmrVideo->SetEnabled(false);
  LEADScreen.SetShowActive(true);
}

// ---- Placement ------------------------------------------------------------

void MainWindow::PlaceShowWindow() {
  state_.PreviewMode = 0;
  Load();
  const FloatSize screen = services_.display.ScreenSizeTwips();
  const TwipsPerPixel tpp = Tpp();
  // Width = Round(screen width in twips) \ Round(twips per pixel).
  const auto widthTwips = RoundToLong(screen.width);
  const auto heightTwips = RoundToLong(screen.height);
  const auto tppX = RoundToLong(tpp.x);
  const auto tppY = RoundToLong(tpp.y);
  const int width = widthTwips && tppX && *tppX != 0 ? *widthTwips / *tppX : 0;
  const int height = heightTwips && tppY && *tppY != 0 ? *heightTwips / *tppY : 0;
  services_.host.SetWindowPos(InsertAfter::Topmost, 0, 0, width, height, kSwpShowWindow);
  ShowMouseCursor(services_.display, false);
  SetTopmost();
}

void MainWindow::EmbedInPreview(WindowHandle previewWindow) {
  ShowWindowHost& host = services_.host;
  host.SetWindowLong(kGwlStyle, host.GetWindowLong(kGwlStyle) | kWsChild);
  host.SetParent(previewWindow);
  host.SetWindowLong(kGwlHwndParent, static_cast<std::int64_t>(previewWindow));
  const auto client = services_.display.ClientRect(previewWindow);
  const IntRect rect = client.value_or(IntRect{});
  host.SetWindowPos(InsertAfter::None, 0, 0, rect.Right(), rect.Bottom(),
                    kSwpNoZOrder | kSwpNoActivate | kSwpShowWindow);
}

void MainWindow::SetTopmost() {
  services_.host.SetWindowPos(InsertAfter::Topmost, 0, 0, 0, 0, kSwpNoMove | kSwpNoSize);
}

// ---- Layout and input -----------------------------------------------------

void MainWindow::Layout() {
  const float width = Width();
  const float height = Height();
  LEADScreen.SetLeft(0.0F);
  LEADScreen.SetTop(0.0F);
  Skip(LEADScreen.SetWidth(width));
  Skip(LEADScreen.SetHeight(height));
  Skip(LEADBG.SetWidth(width));
  Skip(LEADBG.SetHeight(height));
  Skip(LEADScreen.SetWidth(width));
  Skip(LEADScreen.SetHeight(height));
}

void MainWindow::Resized() {
  Layout();
}

void MainWindow::CloseRequested() {
  Close("user");
}

void MainWindow::MarkPendingQuit() {
  if (state_.InPreview()) return;
  state_.UserInputSeen = true;
  // The flag alone waits for the next surface event or timer tick, which may
  // never come on a still image with the mouse at rest: restarting the travel
  // timer makes sure the quit is acted on within its 800 ms.
  timReset->SetEnabled(false);
  timReset->SetEnabled(true);
}

bool MainWindow::OverVisibleVideo(FloatPoint px) const {
  if (!LEADVid1.Visible() || !LEADVid1.IsOpen()) return false;
  const TwipsPerPixel tpp = Tpp();
  const FloatRect video{LEADVid1.Left() / tpp.x, LEADVid1.Top() / tpp.y, LEADVid1.Width() / tpp.x,
                        LEADVid1.Height() / tpp.y};
  return video.Contains(px);
}

void MainWindow::MouseMove(float xPx, float yPx) {
  pointerPx_ = FloatPoint{xPx, yPx};
  // Moves count as mouse travel over the video too: a video that covers the
  // screen must not turn the first move, or a pixel of jitter, into a close.
  const TwipsPerPixel tpp = Tpp();
  LEADScreen.DeliverMouseMove(0, 0, xPx * tpp.x, yPx * tpp.y);
}

void MainWindow::MouseUp(int button, float xPx, float yPx) {
  pointerPx_ = FloatPoint{xPx, yPx};
  if (OverVisibleVideo({xPx, yPx})) {
    LEADVid1.DeliverInput(VideoInputKind::MouseButton);
    return;
  }
  // Anywhere else, the caption box included, a click is the surface's.
  const TwipsPerPixel tpp = Tpp();
  LEADScreen.DeliverMouseUp(button, 0, xPx * tpp.x, yPx * tpp.y);
}

void MainWindow::KeyPress(int characterCode) {
  if (pointerPx_ && OverVisibleVideo(*pointerPx_)) {
    LEADVid1.DeliverInput(VideoInputKind::Key);
    return;
  }
  LEADScreen.DeliverKeyPress(characterCode);
}

void MainWindow::SurfaceMouseMove(float xTwips, float yTwips) {
  if (state_.InPreview()) return;
  // Each statement is skipped when it fails (an overflow of a far position).
  const auto x = ToPixels(xTwips, Tpp().x);
  const auto y = ToPixels(yTwips, Tpp().y);
  if (LastMouseX == kNoMousePosition && LastMouseY == kNoMousePosition) {
    if (x) LastMouseX = *x;
    if (y) LastMouseY = *y;
    return;
  }
  // dx = LastMouseX - X / tx, rounded as a whole (ties to even); a failing
  // statement leaves its term 0.
  const auto delta = [](std::int32_t last, float twips, float twipsPerPixel) -> std::int64_t {
    const auto d = RoundToLong(static_cast<double>(last) - double{twips / twipsPerPixel});
    return d ? std::llabs(*d) : 0;
  };
  const std::int64_t dx = delta(LastMouseX, xTwips, Tpp().x);
  const std::int64_t dy = delta(LastMouseY, yTwips, Tpp().y);
  const std::int64_t distance = dx + dy;
  const std::uint64_t refusedBefore = refusedCloses_;
  if (distance != 0 && distance <= INT32_MAX) AddMouseTravel(static_cast<std::int32_t>(distance));
  // A close this move asked for and the password refused has put the last
  // position at 0,0 so that the next move closes again; storing this move's
  // position over it would undo that.
  if (refusedCloses_ == refusedBefore) {
    if (x) LastMouseX = *x;
    if (y) LastMouseY = *y;
  }
  timReset->SetEnabled(false);
  timReset->SetEnabled(true);
}

void MainWindow::AddMouseTravel(std::int32_t amount) {
  // The sum is a Long: a sum that would overflow is skipped (it is far past
  // the limit anyway, so the window closes all the same).
  const std::int64_t sum = std::int64_t{state_.MouseTravel} + amount;
  if (sum <= INT32_MAX && sum >= INT32_MIN) state_.MouseTravel = static_cast<std::int32_t>(sum);
  if (sum > kMouseTravelLimit) {
    LEADScreen.SetShowActive(false);
    Close("mouse");
  }
}

}  // namespace vistel
