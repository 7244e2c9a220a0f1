// The Windows desktop host: every service the core needs on Windows, wired
// from the player's options. What every host shares (trace, files, folders,
// process, password, OS version, registry, MCI and media) is SharedServices;
// this host adds:
//
//   clock, loop      a steady clock and Win32EventLoop on the shared timers
//   display          the primary screen at its physical pixels (the process
//                    is per-monitor DPI aware), FindWindow, foreign windows
//   show window      Win32ShowWindow: full screen (/s) or embedded (/p)
//   about window     Win32AboutWindow (/c)
//   message boxes    MessageBoxW, also on stderr
//   sound output     waveOut, for the clips' sound (the music plays
//                    through winmm's MCI itself)
//   registry         the system's (advapi32); the file --registry names
//                    instead when given
//   OS version       the system's (GetVersionExA) unless --os is given
//   password         the system's Windows 9x services (password.cpl,
//                    mpr.dll, found when first asked) unless
//                    --password-replies is given
//
// Members are declared in dependency order, so each outlives its users.
#pragma once

#include <iostream>
#include <memory>
#include <string>

#include "base/error.hpp"
#include "hosts/common/player_options.hpp"
#include "hosts/common/shared_host.hpp"
#include "hosts/common/steady_clock.hpp"
#include "hosts/win32/waveout_audio.hpp"
#include "hosts/win32/win32_about_window.hpp"
#include "hosts/win32/win32_desktop.hpp"
#include "hosts/win32/win32_event_loop.hpp"
#include "hosts/win32/win32_show_window.hpp"

namespace vistel {

class Win32Host final : public SharedHost {
 public:
  // Fails when the trace file cannot be created or the registry file is
  // unreadable.
  static Result<std::unique_ptr<Win32Host>> Create(const PlayerOptions& options,
                                                   std::string playerPath);
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  MessageBoxes& Messages() override { return messages_; }
  EventLoop& Events() override { return loop_; }
  Display& Screen() override { return display_; }
  ShowWindowHost& ShowWindow() override { return showWindow_; }
  AboutWindowHost& AboutWindow() override { return aboutWindow_; }
  AudioOutput& Audio() override { return audio_; }
  Win32EventLoop& Loop() { return loop_; }
  // The about window's line on the host's own setting.
  const std::string& AboutNote() const { return aboutNote_; }

 private:
  Win32Host(const PlayerOptions& options, std::string playerPath);
  SharedServices& Services() override { return services_; }

  SteadyClock clock_;
  WaveOutAudioOutput audio_;
  SharedServices services_;
  Win32EventLoop loop_;
  Win32Display display_;
  Win32MessageBoxes messages_;
  Win32ShowWindow showWindow_;
  Win32AboutWindow aboutWindow_;
  std::string aboutNote_;
};

}  // namespace vistel
