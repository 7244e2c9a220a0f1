// A host: everything the core needs from outside, wired together. The core
// takes the services it uses by reference; a host owns them and outlives the
// core objects built on it.
#pragma once

#include "runtime/display.hpp"
#include "runtime/events.hpp"
#include "runtime/files.hpp"
#include "runtime/folders.hpp"
#include "runtime/mci.hpp"
#include "runtime/media.hpp"
#include "runtime/message_box.hpp"
#include "runtime/os_version.hpp"
#include "runtime/password.hpp"
#include "runtime/process.hpp"
#include "runtime/registry.hpp"
#include "runtime/trace.hpp"
#include "runtime/window.hpp"

namespace vistel {

class Host {
 public:
  virtual ~Host() = default;
  virtual FileSystem& Files() = 0;
  virtual ProcessInfo& Process() = 0;
  virtual ProcessControl& Control() = 0;
  virtual SystemFolders& Folders() = 0;
  virtual MessageBoxes& Messages() = 0;
  virtual RegistryApi& Registry() = 0;
  virtual OsVersionSource& OsVersion() = 0;
  virtual PasswordServices& Password() = 0;
  virtual MciService& Mci() = 0;
  virtual EventLoop& Events() = 0;
  virtual Display& Screen() = 0;
  virtual Trace& Tracer() = 0;
  // The show window (frmMain) and the about window.
  virtual ShowWindowHost& ShowWindow() = 0;
  virtual AboutWindowHost& AboutWindow() = 0;
  // The media services and outputs.
  virtual PictureDecoder& Pictures() = 0;
  virtual ClipDecoder& Clips() = 0;
  virtual FontService& Fonts() = 0;
  virtual AudioOutput& Audio() = 0;
};

}  // namespace vistel
