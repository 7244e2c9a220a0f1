// x_test_window: a plain top-level X window for the desktop tests. The preview
// mode draws into a window that someone else owns and sizes; this program is
// that someone.
//
//   x_test_window WxH [--at X,Y] [--title TEXT] [--resize-after SECONDS WxH]
//
// Prints the window's id (decimal) once the server has mapped it, so the id
// can be used at once, then stays until it is killed. With --resize-after it
// changes its own size after that many seconds, as a dialog resizing its
// preview area would. The window is black, so anything not black in it was
// drawn by someone else.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitNoDisplay = 1;

struct Size {
  unsigned width = 0;
  unsigned height = 0;
};

struct Position {
  int x = 0;
  int y = 0;
};

struct Options {
  Size size;
  Position at;
  std::string title = "vistel test window";
  std::optional<double> resizeAfterSeconds;
  Size resizeTo;
};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Two numbers joined by a separator ("640x480", "10,20").
template <typename Number>
std::optional<std::pair<Number, Number>> ParsePair(std::string_view text, char separator) {
  const auto split = text.find(separator);
  if (split == std::string_view::npos) return std::nullopt;
  const auto first = ParseNumber<Number>(text.substr(0, split));
  const auto second = ParseNumber<Number>(text.substr(split + 1));
  if (!first || !second) return std::nullopt;
  return std::pair{*first, *second};
}

std::optional<Size> ParseSize(std::string_view text) {
  const auto pair = ParsePair<unsigned>(text, 'x');
  // X refuses a zero-sized window; a size beyond 16 bits is not a window.
  if (!pair || pair->first == 0 || pair->second == 0 || pair->first > 32767 ||
      pair->second > 32767) {
    return std::nullopt;
  }
  return Size{pair->first, pair->second};
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  Options options;
  const auto size = ParseSize(argv[1]);
  if (!size) return std::nullopt;
  options.size = *size;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto remaining = argc - i - 1;
    if (arg == "--at" && remaining >= 1) {
      const auto at = ParsePair<int>(argv[++i], ',');
      if (!at) return std::nullopt;
      options.at = Position{at->first, at->second};
    } else if (arg == "--title" && remaining >= 1) {
      options.title = argv[++i];
    } else if (arg == "--resize-after" && remaining >= 2) {
      const auto seconds = ParseNumber<double>(argv[++i]);
      const auto to = ParseSize(argv[++i]);
      if (!seconds || *seconds < 0 || !to) return std::nullopt;
      options.resizeAfterSeconds = *seconds;
      options.resizeTo = *to;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// Handles every queued event; the window only needs its map notification.
bool DrainEvents(Display* display, Window window) {
  bool mapped = false;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify && event.xmap.window == window) mapped = true;
  }
  return mapped;
}

// Waits for the connection to have something to read, at most `timeoutMs`
// (-1: no limit). False when the connection is gone.
bool WaitForInput(Display* display, int timeoutMs) {
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  const int ready = poll(&connection, 1, timeoutMs);
  if (ready < 0) return errno == EINTR;
  return (connection.revents & (POLLERR | POLLHUP)) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: x_test_window WxH [--at X,Y] [--title TEXT] "
                 "[--resize-after SECONDS WxH]\n";
    return kExitUsage;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::cerr << "x_test_window: cannot open the display '" << XDisplayName(nullptr) << "'\n";
    return kExitNoDisplay;
  }
  const int screen = DefaultScreen(display);
  const unsigned long black = BlackPixel(display, screen);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), options->at.x, options->at.y,
                          options->size.width, options->size.height, 0, black, black);
  XStoreName(display, window, options->title.c_str());
  // Without a window manager the requested position is kept; with one, this
  // asks it to keep it too.
  XSizeHints hints{};
  hints.flags = USPosition | USSize;
  hints.x = options->at.x;
  hints.y = options->at.y;
  hints.width = static_cast<int>(options->size.width);
  hints.height = static_cast<int>(options->size.height);
  XSetWMNormalHints(display, window, &hints);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XFlush(display);

  while (!DrainEvents(display, window)) {
    if (!WaitForInput(display, -1)) return kExitNoDisplay;
  }
  std::cout << window << std::endl;

  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> resizeAt;
  if (options->resizeAfterSeconds) {
    resizeAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(*options->resizeAfterSeconds));
  }
  for (;;) {
    int timeoutMs = -1;
    if (resizeAt) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(*resizeAt - Clock::now()).count();
      if (left <= 0) {
        XResizeWindow(display, window, options->resizeTo.width, options->resizeTo.height);
        XFlush(display);
        resizeAt.reset();
        continue;
      }
      timeoutMs = static_cast<int>(left);
    }
    if (!WaitForInput(display, timeoutMs)) return kExitNoDisplay;
    DrainEvents(display, window);
  }
}
