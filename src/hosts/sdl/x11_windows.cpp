#include "hosts/sdl/x11_windows.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "base/text.hpp"

namespace vistel {
namespace {

std::atomic<unsigned long> gWatchedWindow{0};
std::atomic<bool> gWatchedWindowLost{false};
std::atomic<int> gErrorsLogged{0};
// Set while a probe runs whose failure is an answer, not a fault.
std::atomic<bool> gProbing{false};

class ProbeScope {
 public:
  ProbeScope() { gProbing = true; }
  ~ProbeScope() { gProbing = false; }
  ProbeScope(const ProbeScope&) = delete;
  ProbeScope& operator=(const ProbeScope&) = delete;
};

extern "C" int OnX11Error(::Display* display, XErrorEvent* event) {
  if ((event->error_code == BadWindow || event->error_code == BadDrawable) &&
      event->resourceid != 0 && event->resourceid == gWatchedWindow.load()) {
    gWatchedWindowLost = true;
  }
  // A bounded log keeps a window destroyed under a drawing loop from
  // flooding stderr.
  if (!gProbing && gErrorsLogged.fetch_add(1) < 20) {
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "vistel-player: X error %d (%s), request %d, resource 0x%lx\n",
                 event->error_code, text, event->request_code, event->resourceid);
  }
  return 0;
}

extern "C" int OnX11IoError(::Display*) {
  static const char kText[] = "vistel-player: the connection to the X server is lost\n";
  (void)!write(STDERR_FILENO, kText, sizeof kText - 1);
  // Xlib exits after this handler in any case; nothing else can run safely.
  _exit(1);
}

// ASCII letters without case, other bytes exactly (titles are UTF-8).
bool SameTitle(std::string_view a, std::string_view b) {
  return EqualsIgnoringAsciiCase(a, b);
}

}  // namespace

void InstallX11ErrorHandlers() {
  XSetErrorHandler(OnX11Error);
  XSetIOErrorHandler(OnX11IoError);
}

void WatchX11Window(WindowHandle window) {
  gWatchedWindow = static_cast<unsigned long>(window);
  gWatchedWindowLost = false;
}

bool WatchedX11WindowLost() {
  return gWatchedWindowLost.load();
}

Result<std::unique_ptr<X11Windows>> X11Windows::Open() {
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return Fail(ErrorCode::InvalidProcedureCall, "cannot open the X display");
  }
  return std::unique_ptr<X11Windows>(new X11Windows(display));
}

X11Windows::~X11Windows() {
  XCloseDisplay(display_);
}

bool X11Windows::Exists(WindowHandle window) {
  return Size(window).has_value();
}

std::optional<IntSize> X11Windows::Size(WindowHandle window) {
  if (window == 0 || window > 0x1FFFFFFFU) return std::nullopt;  // X ids have 29 bits
  XWindowAttributes attributes{};
  const ProbeScope probe;
  if (XGetWindowAttributes(display_, static_cast<Window>(window), &attributes) == 0) {
    return std::nullopt;
  }
  return IntSize{attributes.width, attributes.height};
}

std::vector<Monitor> X11Windows::Monitors() {
  const ProbeScope probe;
  std::vector<Monitor> randr;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  // XRRGetMonitors needs RandR 1.5.
  if (XRRQueryExtension(display_, &eventBase, &errorBase) != 0 &&
      XRRQueryVersion(display_, &major, &minor) != 0 && (major > 1 || (major == 1 && minor >= 5))) {
    int count = 0;
    if (XRRMonitorInfo* monitors =
            XRRGetMonitors(display_, DefaultRootWindow(display_), True, &count)) {
      for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        randr.push_back({{m.x, m.y, m.width, m.height}, m.primary != 0});
      }
      XRRFreeMonitors(monitors);
    }
  }
  std::vector<Monitor> xinerama;
  if (XineramaQueryExtension(display_, &eventBase, &errorBase) != 0 &&
      XineramaIsActive(display_) != 0) {
    int count = 0;
    if (XineramaScreenInfo* heads = XineramaQueryScreens(display_, &count)) {
      // Xinerama has no primary flag; a server driven by RandR lists the
      // primary first, which ArrangeMonitors takes when no flag says.
      for (int i = 0; i < count; ++i) {
        xinerama.push_back(
            {{heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height}, false});
      }
      XFree(heads);
    }
  }
  return PreferredMonitorList(std::move(randr), std::move(xinerama));
}

WindowHandle X11Windows::Root() {
  return DefaultRootWindow(display_);
}

WindowHandle X11Windows::VirtualRoot() {
  const Window root = DefaultRootWindow(display_);
  const Atom vroot = XInternAtom(display_, "__SWM_VROOT", False);
  Window rootReturn = 0, parentReturn = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  Window found = root;
  if (XQueryTree(display_, root, &rootReturn, &parentReturn, &children, &count) != 0) {
    for (unsigned int i = 0; i < count && found == root; ++i) {
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display_, children[i], vroot, 0, 1, False, XA_WINDOW, &type, &format,
                             &items, &after, &data) == Success &&
          data != nullptr) {
        if (type == XA_WINDOW && format == 32 && items == 1) {
          found = *reinterpret_cast<Window*>(data);
        }
        XFree(data);
      }
    }
    if (children != nullptr) XFree(children);
  }
  return found;
}

std::optional<std::string> X11Windows::TitleOf(unsigned long window) {
  const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window, netWmName, 0, 1024, False, utf8, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr) {
    std::string title(reinterpret_cast<const char*>(data), items);
    XFree(data);
    if (type == utf8) return title;
  }
  char* name = nullptr;
  if (XFetchName(display_, window, &name) != 0 && name != nullptr) {
    // WM_NAME is Latin-1, which Windows-1252 extends.
    std::string title = Windows1252ToUtf8(name);
    XFree(name);
    return title;
  }
  return std::nullopt;
}

std::optional<WindowHandle> X11Windows::FindTopLevel(std::string_view titleUtf8,
                                                     std::span<const WindowHandle> exclude) {
  // Top-level windows: the root's children, and one level below them for a
  // window manager that puts each client into a frame.
  const Window root = DefaultRootWindow(display_);
  std::vector<Window> candidates;
  auto childrenOf = [this](Window parent, std::vector<Window>& out) {
    Window rootReturn = 0, parentReturn = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, parent, &rootReturn, &parentReturn, &children, &count) == 0) return;
    out.insert(out.end(), children, children + count);
    if (children != nullptr) XFree(children);
  };
  std::vector<Window> level1;
  childrenOf(root, level1);
  candidates = level1;
  for (const Window frame : level1) childrenOf(frame, candidates);

  for (const Window window : candidates) {
    if (std::find(exclude.begin(), exclude.end(), window) != exclude.end()) continue;
    const auto title = TitleOf(window);
    if (title && SameTitle(*title, titleUtf8)) return static_cast<WindowHandle>(window);
  }
  return std::nullopt;
}

WindowHandle X11Windows::CreateChild(WindowHandle parent, IntSize size) {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
  attributes.event_mask = 0;
  // A child of the root is a top-level window: kept from the window
  // manager's frames and placement, as drawing on the root should be.
  attributes.override_redirect = static_cast<Window>(parent) == DefaultRootWindow(display_);
  const Window child = XCreateWindow(display_, static_cast<Window>(parent), 0, 0,
                                     static_cast<unsigned int>(std::max(size.width, 1)),
                                     static_cast<unsigned int>(std::max(size.height, 1)), 0,
                                     CopyFromParent, InputOutput, CopyFromParent,
                                     CWBackPixel | CWEventMask | CWOverrideRedirect, &attributes);
  if (child == 0) return 0;
  XMapWindow(display_, child);
  XSync(display_, False);
  // A parent that vanished meanwhile takes the child with it.
  return Exists(child) ? static_cast<WindowHandle>(child) : 0;
}

void X11Windows::ResizeWindow(WindowHandle window, IntSize size) {
  XResizeWindow(display_, static_cast<Window>(window),
                static_cast<unsigned int>(std::max(size.width, 1)),
                static_cast<unsigned int>(std::max(size.height, 1)));
  XSync(display_, False);
}

void X11Windows::DestroyWindow(WindowHandle window) {
  if (window == 0) return;
  XDestroyWindow(display_, static_cast<Window>(window));
  XSync(display_, False);
}

void X11Windows::Flush() {
  XFlush(display_);
}

}  // namespace vistel
