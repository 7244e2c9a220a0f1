// The headless host: every service the core needs, wired from the player's
// options for a simulated run. Only the screen and the clock are simulated;
// files, folders and media decoding are real. What every host shares (trace,
// files, folders, process, password, OS version, registry, MCI and media) is
// SharedServices; this host adds:
//
//   clock, loop      a virtual clock and the message loop that moves it
//   display          --screen, foreign windows from --window
//   show window      HeadlessShowWindow (frames of --frame-ms)
//   about window     HeadlessAboutWindow
//   message boxes    traced, answered OK at once
//   sound output     silent, playing in virtual time
//   registry file    --registry, else none
//
// Members are declared in dependency order, so each outlives its users.
#pragma once

#include <memory>
#include <string>

#include "base/error.hpp"
#include "hosts/common/null_audio.hpp"
#include "hosts/common/player_options.hpp"
#include "hosts/common/shared_host.hpp"
#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"
#include "hosts/headless/headless_about_window.hpp"
#include "hosts/headless/headless_show_window.hpp"
#include "hosts/headless/input_script.hpp"
#include "hosts/headless/message_boxes.hpp"

namespace vistel {

class HeadlessHost final : public SharedHost {
 public:
  // Fails when the trace file cannot be created or the registry file cannot
  // be read or is malformed; the error names the file.
  static Result<std::unique_ptr<HeadlessHost>> Create(const PlayerOptions& options,
                                                      std::string playerPath);
  ~HeadlessHost() override;
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  MessageBoxes& Messages() override { return messages_; }
  EventLoop& Events() override { return loop_; }
  Display& Screen() override { return display_; }
  ShowWindowHost& ShowWindow() override { return showWindow_; }
  AboutWindowHost& AboutWindow() override { return aboutWindow_; }
  AudioOutput& Audio() override { return audio_; }

  // ---- The headless side, for the program's main and tests ----------------

  HeadlessEventLoop& Loop() { return loop_; }
  VirtualClock& VirtualTime() { return clock_; }
  HeadlessDisplay& HeadlessScreen() { return display_; }
  HeadlessShowWindow& HeadlessShow() { return showWindow_; }
  HeadlessAboutWindow& HeadlessAbout() { return aboutWindow_; }
  HeadlessMessageBoxes& HeadlessMessages() { return messages_; }
  ScriptedPassword& HeadlessPasswords() { return services_.ScriptedPasswords(); }
  PlayerProcess& HeadlessProcessInfo() { return services_.Process(); }
  // The registry itself, without the trace.
  MemoryRegistry& RegistryStore() { return services_.RegistryStore(); }

  // Writes the composed show window as a PNG, creating missing parent folders.
  Status WriteSnapshot(const std::string& path);
  // Delivers one scripted input: mouse and key input to the show window
  // (when it is visible and has an input receiver; mouse input only over
  // it); a click the show window does not take goes to the about window's
  // label under the point, when that window is open. Returns whether a
  // window received it.
  bool DeliverInput(const InputEvent& event);

 private:
  HeadlessHost(const PlayerOptions& options, std::string playerPath);
  SharedServices& Services() override { return services_; }

  VirtualClock clock_;
  NullAudioOutput audio_;
  SharedServices services_;
  HeadlessEventLoop loop_;
  HeadlessDisplay display_;
  HeadlessMessageBoxes messages_;
  HeadlessShowWindow showWindow_;
  HeadlessAboutWindow aboutWindow_;
};

}  // namespace vistel
