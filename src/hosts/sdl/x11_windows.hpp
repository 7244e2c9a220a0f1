// The X11 side of the desktop host that SDL does not cover: foreign windows
// (the preview area, the window an XScreenSaver hack draws in), the search
// for a running show by its title, and the child windows the player draws
// in inside a foreign window.
//
// The host keeps its own connection for these queries, beside SDL's. X errors
// are process-wide in Xlib: InstallX11ErrorHandlers replaces Xlib's default
// handler (which exits the process) with one that logs the error and, when it
// concerns a window being watched, marks that window as lost, so that the
// event loop ends cleanly instead of the process dying inside a library call.
//
// Single-threaded: the user-interface thread makes every call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "hosts/common/monitor_layout.hpp"
#include "runtime/password.hpp"

// Xlib's Display, without Xlib's header (its macros clash with the core).
struct _XDisplay;

namespace vistel {

// Installs the error and I/O error handlers (after SDL_Init, which installs
// its own). A lost connection ends the process at once with a message: Xlib
// cannot go on after it.
void InstallX11ErrorHandlers();
// The window whose BadWindow / BadDrawable errors mean "the window is gone"
// (0: none); and whether such an error has come.
void WatchX11Window(WindowHandle window);
bool WatchedX11WindowLost();

class X11Windows {
 public:
  // Fails when the display cannot be opened.
  static Result<std::unique_ptr<X11Windows>> Open();
  ~X11Windows();
  X11Windows(const X11Windows&) = delete;
  X11Windows& operator=(const X11Windows&) = delete;

  // Whether the window exists; never fails on a bad id.
  bool Exists(WindowHandle window);
  // The window's size (its client area: X windows have no frame of their own).
  std::optional<IntSize> Size(WindowHandle window);
  // The root window of the default screen, and the virtual root when a
  // desktop or a screen-saver daemon provides one (__SWM_VROOT), else the root.
  WindowHandle Root();
  WindowHandle VirtualRoot();
  // A top-level window titled `titleUtf8` (ASCII letters compared without
  // case), other than those in `exclude`.
  std::optional<WindowHandle> FindTopLevel(std::string_view titleUtf8,
                                           std::span<const WindowHandle> exclude);
  // A child window filling `parent` at `size`, mapped, black, taking no
  // input; 0 on failure.
  WindowHandle CreateChild(WindowHandle parent, IntSize size);
  void ResizeWindow(WindowHandle window, IntSize size);
  // The monitors of the default screen, in root-window pixels: RandR's or
  // Xinerama's list, whichever knows more (PreferredMonitorList); empty
  // when neither extension answers.
  std::vector<Monitor> Monitors();
  void DestroyWindow(WindowHandle window);
  void Flush();

 private:
  explicit X11Windows(_XDisplay* display) : display_(display) {}
  std::optional<std::string> TitleOf(unsigned long window);

  _XDisplay* display_;
};

}  // namespace vistel
