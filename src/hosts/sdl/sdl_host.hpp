// The desktop host: every service the core needs on a Linux desktop with an
// X display, wired from the player's options.
//
//   SDL              video (X11 driver) at creation, audio on first use;
//                    SDL's signal handlers off, the host's own on
//   clock, loop      a steady clock and SdlEventLoop on the shared timers
//   trace            JSON lines to --trace (real times), else nothing
//   display          the desktop (or the hack's window), X11 for foreign
//                    windows and FindWindow
//   show window      SdlShowWindow: own window, embedded (/p) or hack
//   about window     SdlAboutWindow
//   message boxes    SDL dialogs, also on stderr (stderr only as a hack)
//   password         answers from --password-replies, else "given" (there is
//                    no Windows 9x password on Linux)
//   process          the player's own path; ending unwinds (ProcessEnded)
//   OS version       --os
//   registry         in memory, loaded from --registry, else from
//                    $XDG_CONFIG_HOME/vistel/registry.reg (~/.config/...),
//                    written back at the end; traced
//   folders, files   --temp / --system, else the Linux folders; native files
//   MCI              the Linux MCI service on SDL audio, traced
//   media            FFmpeg pictures and clips, fontconfig fonts
//
// Members are declared in dependency order, so each outlives its users. The
// host needs a live SdlSession for its whole life.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/error.hpp"
#include "hosts/headless/password.hpp"
#include "hosts/headless/process.hpp"
#include "hosts/sdl/event_loop.hpp"
#include "hosts/sdl/hack_target.hpp"
#include "hosts/sdl/sdl_about_window.hpp"
#include "hosts/sdl/sdl_audio.hpp"
#include "hosts/sdl/sdl_display.hpp"
#include "hosts/sdl/sdl_message_boxes.hpp"
#include "hosts/sdl/sdl_show_window.hpp"
#include "hosts/sdl/x11_windows.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "media/fonts/fontconfig_font_service.hpp"
#include "media/mci/mci_service.hpp"
#include "runtime/host.hpp"
#include "runtime/linux_folders.hpp"
#include "runtime/player_options.hpp"
#include "runtime/traced_mci.hpp"
#include "system/memory_registry.hpp"
#include "system/traced_registry.hpp"
#include "system/win_os.hpp"

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

class SdlHost final : public Host {
 public:
  // Fails when there is no X display, the trace file cannot be created, the
  // hack's window does not exist, or the registry file is unreadable.
  static Result<std::unique_ptr<SdlHost>> Create(const PlayerOptions& options,
                                                 std::string playerPath, HackTarget hack);
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  FileSystem& Files() override { return *files_; }
  ProcessInfo& Process() override { return process_; }
  ProcessControl& Control() override { return process_; }
  SystemFolders& Folders() override { return folders_; }
  MessageBoxes& Messages() override { return messages_; }
  RegistryApi& Registry() override { return tracedRegistry_; }
  OsVersionSource& OsVersion() override { return os_; }
  PasswordServices& Password() override { return password_; }
  MciService& Mci() override { return tracedMci_; }
  EventLoop& Events() override { return loop_; }
  Display& Screen() override { return display_; }
  Trace& Tracer() override { return *trace_; }
  ShowWindowHost& ShowWindow() override { return showWindow_; }
  AboutWindowHost& AboutWindow() override { return aboutWindow_; }
  PictureDecoder& Pictures() override { return pictures_; }
  ClipDecoder& Clips() override { return clips_; }
  FontService& Fonts() override { return fonts_; }
  AudioOutput& Audio() override { return audio_; }

  SdlEventLoop& Loop() { return loop_; }
  // Saves the registry to its file (creating its folder); nothing to do
  // without one.
  Status WriteBackRegistry();

 private:
  SdlHost(const PlayerOptions& options, std::string playerPath, std::unique_ptr<X11Windows> x11,
          std::optional<WindowHandle> hackWindow);

  std::unique_ptr<X11Windows> x11_;
  std::optional<WindowHandle> hackWindow_;
  SteadyClock clock_;
  std::optional<Error> traceError_;
  std::unique_ptr<Trace> trace_;
  SdlEventLoop loop_;
  SdlDisplay display_;
  SdlMessageBoxes messages_;
  HeadlessPassword password_;
  HeadlessProcess process_;
  FixedOsVersion os_;
  MemoryRegistry registry_;
  TracedRegistry tracedRegistry_;
  std::optional<std::string> registryPath_;
  LinuxSystemFolders folders_;
  std::unique_ptr<FileSystem> files_;
  SdlAudioOutput audio_;
  LinuxMciService mci_;
  TracedMciService tracedMci_;
  FfmpegPictureDecoder pictures_;
  FfmpegClipDecoder clips_;
  FontconfigFontService fonts_;
  SdlShowWindow showWindow_;
  SdlAboutWindow aboutWindow_;
};

}  // namespace vistel
