#include "hosts/sdl/sdl_host.hpp"

#include <SDL.h>

#include <cstdlib>
#include <iostream>

#include "hosts/sdl/termination.hpp"

namespace vistel {
namespace {

// Without input the hack waits for the daemon's signal; a short bound also
// lets it notice a destroyed window promptly. The desktop show needs the
// bound only as a safety net (a signal wakes the wait at once).
constexpr Milliseconds kMaxWaitEmbeddedMs = 100;
constexpr Milliseconds kMaxWaitMs = 500;

// The display's refresh period, for pacing animation frames; 60 Hz when
// the driver does not say.
Milliseconds FramePeriodMs() {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.refresh_rate >= 24 &&
      mode.refresh_rate <= 240) {
    return std::max<Milliseconds>(1000 / mode.refresh_rate, 1);
  }
  return 16;
}

// Xlib reads the locale's whole Compose table (thousands of lines, about
// 13 ms) when SDL opens its input method. The player takes keys, never
// composed text, so during SDL's start the table is an empty file; the
// variable is put back as it was for whatever the process starts later.
class NoComposeTable {
 public:
  NoComposeTable() {
    if (const char* value = std::getenv(kName)) previous_ = value;
    setenv(kName, "/dev/null", 1);
  }
  ~NoComposeTable() {
    if (previous_) {
      setenv(kName, previous_->c_str(), 1);
    } else {
      unsetenv(kName);
    }
  }
  NoComposeTable(const NoComposeTable&) = delete;
  NoComposeTable& operator=(const NoComposeTable&) = delete;

 private:
  static constexpr const char* kName = "XCOMPOSEFILE";
  std::optional<std::string> previous_;
};

}  // namespace

std::optional<std::string> DefaultRegistryPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/vistel/registry.reg";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/vistel/registry.reg";
  return std::nullopt;
}

Result<std::unique_ptr<SdlSession>> SdlSession::Start() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Window handles are X window ids: the X11 driver, also under Wayland
  // (through Xwayland).
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  // A screen saver must not keep the screen from blanking when it ends.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // A foreign window's software renderer draws through the window surface,
  // which SDL would otherwise back with an OpenGL texture: slow to start
  // (seconds under a software GL) for a picture that XShm puts up as fast.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  const bool started = [] {
    const NoComposeTable noCompose;
    return SDL_Init(SDL_INIT_VIDEO) == 0;
  }();
  if (!started) {
    std::string text = "no X display (";
    text.append(SDL_GetError()).append("); use --headless to play without one");
    return Fail(ErrorCode::InvalidProcedureCall, std::move(text));
  }
  // After SDL_Init, which installs an X error handler of its own that ends
  // the process.
  InstallX11ErrorHandlers();
  InstallTerminationHandlers();
  return std::unique_ptr<SdlSession>(new SdlSession());
}

SdlSession::~SdlSession() {
  SDL_Quit();
}

SdlHost::SdlHost(const PlayerOptions& options, std::string playerPath,
                 std::unique_ptr<X11Windows> x11, std::optional<WindowHandle> hackWindow)
    : x11_(std::move(x11)),
      hackWindow_(hackWindow),
      audio_(clock_),
      services_(options, clock_, audio_, std::move(playerPath),
                {options.registryPath ? options.registryPath : DefaultRegistryPath()}),
      loop_(clock_, services_.Tracer(), hackWindow ? kMaxWaitEmbeddedMs : kMaxWaitMs),
      display_(*x11_, hackWindow),
      messages_(services_.Tracer(), hackWindow ? DialogUse::StderrOnly : DialogUse::Show,
                std::cerr),
      showWindow_(loop_, display_, *x11_, hackWindow, FramePeriodMs(), services_.Tracer()),
      aboutWindow_(loop_, services_.Fonts()) {}

SdlHost::~SdlHost() = default;

Result<std::unique_ptr<SdlHost>> SdlHost::Create(const PlayerOptions& options,
                                                 std::string playerPath, HackTarget hack) {
  auto x11 = X11Windows::Open();
  if (!x11) return Fail(x11.error());
  std::optional<WindowHandle> hackWindow;
  if (hack.kind == HackTarget::Kind::Root) hackWindow = (*x11)->VirtualRoot();
  if (hack.kind == HackTarget::Kind::Window) {
    if (!(*x11)->Exists(hack.window)) {
      return Fail(ErrorCode::InvalidProcedureCall,
                  "the window to draw in (" + std::to_string(hack.window) + ") does not exist");
    }
    hackWindow = hack.window;
  }
  std::unique_ptr<SdlHost> host(
      new SdlHost(options, std::move(playerPath), std::move(*x11), hackWindow));
  if (auto started = host->services_.Start(); !started) return Fail(started.error());
  if (options.runForMs) host->loop_.SetEndTime(options.runForMs);
  // Read once the registry file is loaded.
  const MonitorMode monitors =
      ResolveMonitorMode(options.monitors, host->services_.UntracedRegistry(), std::cerr);
  host->showWindow_.SetMonitorMode(monitors);
  host->aboutNote_ =
      MonitorSettingNote(monitors, options.monitors.has_value(),
                         options.registryPath ? options.registryPath : DefaultRegistryPath());
  return host;
}

}  // namespace vistel
