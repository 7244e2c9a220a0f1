// The headless host: every service the core needs, wired from the player's
// options for a simulated run. Only the screen and the clock are simulated;
// files, folders and media decoding are real.
//
//   clock, loop      a virtual clock and the message loop that moves it
//   trace            JSON lines to --trace, else nothing
//   display          --screen, foreign windows from --window
//   show window      HeadlessShowWindow (frames of --frame-ms)
//   about window     HeadlessAboutWindow
//   message boxes    traced, answered OK at once
//   password         answers from --password-replies
//   process          the player's own path; ending unwinds (ProcessEnded)
//   OS version       --os
//   registry         in memory, loaded from --registry (REGEDIT4; a missing
//                    file is an empty registry, created by WriteBackRegistry),
//                    traced
//   folders          --temp / --system, else the Linux folders
//   files            the native file system
//   MCI              the Linux MCI service on a silent output, traced
//   media            FFmpeg pictures and clips, fontconfig fonts, a silent
//                    sound output that plays in virtual time
//
// Members are declared in dependency order, so each outlives its users.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/error.hpp"
#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"
#include "hosts/headless/headless_about_window.hpp"
#include "hosts/headless/headless_show_window.hpp"
#include "hosts/headless/input_script.hpp"
#include "hosts/headless/message_boxes.hpp"
#include "hosts/headless/null_audio.hpp"
#include "hosts/headless/password.hpp"
#include "hosts/headless/process.hpp"
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

class HeadlessHost final : public Host {
 public:
  // Fails when the trace file cannot be created or the registry file cannot
  // be read or is malformed; the error names the file.
  static Result<std::unique_ptr<HeadlessHost>> Create(const PlayerOptions& options,
                                                      std::string playerPath);
  ~HeadlessHost() override;
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

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

  // ---- The headless side, for the program's main and tests ----------------

  HeadlessEventLoop& Loop() { return loop_; }
  VirtualClock& VirtualTime() { return clock_; }
  HeadlessDisplay& HeadlessScreen() { return display_; }
  HeadlessShowWindow& HeadlessShow() { return showWindow_; }
  HeadlessAboutWindow& HeadlessAbout() { return aboutWindow_; }
  HeadlessMessageBoxes& HeadlessMessages() { return messages_; }
  HeadlessPassword& HeadlessPasswords() { return password_; }
  HeadlessProcess& HeadlessProcessInfo() { return process_; }
  // The registry itself, without the trace.
  MemoryRegistry& RegistryStore() { return registry_; }

  // Saves the registry to the --registry file (creating it); nothing to do
  // without one.
  Status WriteBackRegistry();
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

  VirtualClock clock_;
  std::optional<Error> traceError_;  // set when the trace file could not be created
  std::unique_ptr<Trace> trace_;
  HeadlessEventLoop loop_;
  HeadlessDisplay display_;
  HeadlessMessageBoxes messages_;
  HeadlessPassword password_;
  HeadlessProcess process_;
  FixedOsVersion os_;
  MemoryRegistry registry_;
  TracedRegistry tracedRegistry_;
  std::optional<std::string> registryPath_;
  LinuxSystemFolders folders_;
  std::unique_ptr<FileSystem> files_;
  NullAudioOutput audio_;
  LinuxMciService mci_;
  TracedMciService tracedMci_;
  FfmpegPictureDecoder pictures_;
  FfmpegClipDecoder clips_;
  FontconfigFontService fonts_;
  HeadlessShowWindow showWindow_;
  HeadlessAboutWindow aboutWindow_;
};

}  // namespace vistel
