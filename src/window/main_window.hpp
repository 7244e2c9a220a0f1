// The show window (frmMain): its controls and five timers, the handlers of
// their events, the layout on resize, its placement (full screen or inside
// the preview area) and its load / query-close / unload steps with the
// Windows 9x password.
//
// Closing always means the same request (Close): the query-close step may
// refuse it (the password was not given) and the show goes on; otherwise
// the timers stop, the cursor shows, the music closes and the process ends.
//
// Trace: `close` {reason, refused} for every close request; reasons are
// "mouse" (travel beyond the limit), "input" (a pending quit acted on),
// "video" (input on the video), "user" (the host's close box), "startup"
// (start-up gave up, after its message).
//
// A refused close leaves the show exactly as it was before the input that
// asked for it: no pending quit, no video quit timer, the surface active.
//
// Single-threaded: every handler runs on the user-interface thread, several
// of them re-entrantly inside a screen step.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/caption_box.hpp"
#include "imaging/imaging_control.hpp"
#include "imaging/video_control.hpp"
#include "music/audio_playlist.hpp"
#include "music/music_module.hpp"
#include "runtime/display.hpp"
#include "runtime/events.hpp"
#include "runtime/media.hpp"
#include "runtime/password.hpp"
#include "runtime/process.hpp"
#include "runtime/trace.hpp"
#include "runtime/window.hpp"
#include "show/show_engine.hpp"
#include "show/show_state.hpp"
#include "system/settings_reg.hpp"
#include "system/win_os.hpp"
#include "window/compositor.hpp"

namespace vistel {

// Mouse travel in pixels beyond which the show closes.
inline constexpr std::int32_t kMouseTravelLimit = 50;
// LastMouseX/Y before the first move is recorded.
inline constexpr std::int32_t kNoMousePosition = -9999;

// The timers' intervals (ms).
inline constexpr std::uint32_t kHandOverMs = 500;     // timNext: after the end of a clip
inline constexpr std::uint32_t kTravelResetMs = 800;  // timReset
inline constexpr std::uint32_t kAudioPollMs = 500;    // tmrAudio
inline constexpr std::uint32_t kVideoQuitMs = 500;    // tmrVideo

// The window's size before any placement (twips): 640 x 480 pixels at 15.
inline constexpr float kDesignWidthTwips = 9600.0F;
inline constexpr float kDesignHeightTwips = 7200.0F;

struct MainWindowServices {
  EventLoop& loop;
  Display& display;
  ShowWindowHost& host;
  PasswordServices& password;
  SettingsReg& settings;
  WinOS& winOS;
  ProcessControl& process;
  Trace& trace;
  PictureDecoder& pictures;
  ClipDecoder& clips;
  FontService& fonts;
  AudioOutput& audio;
  // The one music player, created on first use.
  std::function<MusicModule&()> musicPlayer;
  // One line of detail for whoever runs the player (stderr); may be empty.
  std::function<void(std::string_view)> explain = nullptr;
};

// Who asks for a close. The password guards a show that the user has seen;
// start-up giving up (a broken package) has shown nothing to protect.
enum class CloseOrigin { Show, Startup };

// ShowCursor until the counter is at least 6 (show) or at most -6 (hide).
void ShowMouseCursor(Display& display, bool show);

class MainWindow final : public WindowInput {
 public:
  MainWindow(MainWindowServices services, ShowState& state);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Loads the window once: its timers start in their design state and the
  // load handler runs. Later calls do nothing.
  void Load();
  bool IsLoaded() const { return loaded_; }

  // A close request. Returns only when the query-close step refused it;
  // otherwise the process ends with exitCode.
  void Close(std::string_view reason, int exitCode = 0, CloseOrigin origin = CloseOrigin::Show);

  // Placement: full screen (PreviewMode 0, topmost, cursor hidden) or as a
  // child filling the preview window.
  void PlaceShowWindow();
  void EmbedInPreview(WindowHandle previewWindow);
  void SetTopmost();

  void SetVisible(bool visible) { services_.host.SetVisible(visible); }
  // The window's outer size in twips.
  float Width() const;
  float Height() const;

  ShowEngine& Engine() { return *engine_; }
  void SetPlaylist(AudioPlaylist* playlist) { playlist_ = playlist; }
  void SetExtractor(MediaExtractor* extractor) { engine_->SetExtractor(extractor); }

  // The window's picture, composed (surface, video, caption).
  const Image& Compose();

  // ---- WindowInput (from the host) ----
  void MouseMove(float xPx, float yPx) override;
  void MouseUp(int button, float xPx, float yPx) override;
  void KeyPress(int characterCode) override;
  void Resized() override;
  void CloseRequested() override;

  // ---- The controls and members, by the original's names ----
  ImagingControl LEADScreen, LEADBG, LEADImg1, LEAD1, LEAD2, ld1, ld2;
  CaptionBox picCaption;
  Compositor compositor;
  VideoControl LEADVid1;
  std::unique_ptr<Timer> timInterval, timNext, timReset, tmrAudio, tmrVideo;
  std::string Tag;
  std::int32_t LastMouseX = kNoMousePosition;
  std::int32_t LastMouseY = kNoMousePosition;
  bool UsePassword = false;

  // The mouse-travel step of a move on the surface (X, Y in twips).
  void SurfaceMouseMove(float xTwips, float yTwips);
  void AddMouseTravel(std::int32_t amount);

 private:
  void WireEvents();
  void Layout();
  void LoadHandler();
  // Query-close: true refuses the close.
  bool QueryUnload(CloseOrigin origin);
  // After a refused close the show goes on as if nobody had touched it.
  void ResumeAfterRefusedClose();
  // Whether a point (pixels) lies on the video while it is shown.
  bool OverVisibleVideo(FloatPoint px) const;
  [[noreturn]] void UnloadHandler(int exitCode);
  // Outside preview, input marks the pending quit.
  void MarkPendingQuit();
  TwipsPerPixel Tpp() const { return services_.display.ScreenTwipsPerPixel(); }

  MainWindowServices services_;
  ShowState& state_;
  std::unique_ptr<ShowEngine> engine_;
  AudioPlaylist* playlist_ = nullptr;
  bool loaded_ = false;
  std::uint64_t refusedCloses_ = 0;  // close requests the query-close step refused
  // Where the pointer was last seen (pixels): a key press goes to the control
  // under it, the video or the surface.
  std::optional<FloatPoint> pointerPx_;
};

}  // namespace vistel
