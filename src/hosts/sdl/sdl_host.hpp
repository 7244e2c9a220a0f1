// The desktop host: every service the core needs on a Linux desktop with an
// X display, wired from the player's options. What every host shares (trace,
// files, folders, process, password, OS version, registry, MCI and media) is
// SharedServices; this host adds:
//
//   SDL              video (X11 driver) at creation, audio on first use;
//                    SDL's signal handlers off, the host's own on
//   clock, loop      a steady clock and SdlEventLoop on the shared timers
//   display          the desktop (or the hack's window), X11 for foreign
//                    windows and FindWindow
//   show window      SdlShowWindow: own window, embedded (/p) or hack
//   about window     SdlAboutWindow
//   message boxes    SDL dialogs, also on stderr (stderr only as a hack)
//   sound output     SDL audio
//   registry file    --registry, else $XDG_CONFIG_HOME/vistel/registry.reg
//                    (~/.config/...)
//
// Members are declared in dependency order, so each outlives its users. The
// host needs a live SdlSession for its whole life.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/error.hpp"
#include "hosts/common/player_options.hpp"
#include "hosts/common/shared_host.hpp"
#include "hosts/sdl/event_loop.hpp"
#include "hosts/sdl/hack_target.hpp"
#include "hosts/sdl/sdl_about_window.hpp"
#include "hosts/sdl/sdl_audio.hpp"
#include "hosts/sdl/sdl_display.hpp"
#include "hosts/sdl/sdl_message_boxes.hpp"
#include "hosts/sdl/sdl_show_window.hpp"
#include "hosts/sdl/x11_windows.hpp"

namespace vistel {

// The registry file of the desktop when --registry names none:
// $XDG_CONFIG_HOME/vistel/registry.reg, else $HOME/.config/vistel/registry.reg;
// nothing when neither variable is usable.
std::optional<std::string> DefaultRegistryPath();

// SDL's video (X11 driver) and the process-wide handlers: SDL's signal
// handlers off and the host's own on, the X error handlers. Quits SDL when
// destroyed, after everything made with it is gone.
class SdlSession {
 public:
  // Fails when there is no X display.
  static Result<std::unique_ptr<SdlSession>> Start();
  ~SdlSession();
  SdlSession(const SdlSession&) = delete;
  SdlSession& operator=(const SdlSession&) = delete;

 private:
  SdlSession() = default;
};

class SdlHost final : public SharedHost {
 public:
  // Fails when there is no X display, the trace file cannot be created, the
  // hack's window does not exist, or the registry file is unreadable.
  static Result<std::unique_ptr<SdlHost>> Create(const PlayerOptions& options,
                                                 std::string playerPath, HackTarget hack);
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  MessageBoxes& Messages() override { return messages_; }
  EventLoop& Events() override { return loop_; }
  Display& Screen() override { return display_; }
  ShowWindowHost& ShowWindow() override { return showWindow_; }
  AboutWindowHost& AboutWindow() override { return aboutWindow_; }
  AudioOutput& Audio() override { return audio_; }

  SdlEventLoop& Loop() { return loop_; }
  // The about window's line on the host's own setting.
  const std::string& AboutNote() const { return aboutNote_; }

 private:
  SdlHost(const PlayerOptions& options, std::string playerPath, std::unique_ptr<X11Windows> x11,
          std::optional<WindowHandle> hackWindow);

  SharedServices& Services() override { return services_; }

  std::unique_ptr<X11Windows> x11_;
  std::optional<WindowHandle> hackWindow_;
  SteadyClock clock_;
  SdlAudioOutput audio_;
  SharedServices services_;
  SdlEventLoop loop_;
  SdlDisplay display_;
  SdlMessageBoxes messages_;
  SdlShowWindow showWindow_;
  SdlAboutWindow aboutWindow_;
  std::string aboutNote_;
};

}  // namespace vistel
