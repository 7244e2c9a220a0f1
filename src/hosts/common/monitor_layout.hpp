// What the full-screen show puts on each monitor, decided without any window
// system: the desktop hosts (X11, Win32) list their monitors, and this says
// which window goes where and how a mirror scales the show's frame.
//
// The show itself keeps the geometry of one screen, the primary monitor's,
// and is composed once. Every other monitor gets a window of its own that is
// either black (MonitorMode::Primary, the default) or the same frame scaled
// to that monitor (MonitorMode::Mirror). A mirror keeps the frame's aspect
// ratio, centred with black bars, as a picture on a screen of another shape
// is expected to look; it never crops the show.
//
// Positions are desktop pixels: X's root window, or Windows' virtual screen
// (whose origin is the primary monitor's top-left corner).
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/geometry.hpp"
#include "runtime/registry.hpp"

namespace vistel {

enum class MonitorMode {
  Primary,  // the show on the primary monitor, the others black
  Mirror,   // the same show on every monitor, each at its own size
};
inline constexpr MonitorMode kDefaultMonitorMode = MonitorMode::Primary;

// "primary" or "mirror", as the option and the registry value spell them;
// ASCII letters compared without case, blanks around the word ignored.
std::optional<MonitorMode> ParseMonitorMode(std::string_view text);
std::string_view MonitorModeName(MonitorMode mode);

// Where a user keeps the setting: a text value under the player's key of
// the current user (the system's registry on Windows, the registry file on
// Linux). --monitors overrides it for one run.
inline constexpr RegHive kPlayerSettingsHive = kHkeyCurrentUser;
inline constexpr std::string_view kPlayerSettingsKey = "Software\\Vistel\\Player";
inline constexpr std::string_view kMonitorsValueName = "Monitors";

// One monitor as the system lists it.
struct Monitor {
  IntRect boundsPx;
  bool primary = false;
  friend bool operator==(const Monitor&, const Monitor&) = default;
};

// The monitors a show covers: the primary one, where the show window goes,
// and the others, one window each.
struct MonitorLayout {
  IntRect primaryPx;
  std::vector<IntRect> othersPx;
  friend bool operator==(const MonitorLayout&, const MonitorLayout&) = default;
};

// From the system's list. The primary monitor is the one flagged so, else
// the one at the desktop's origin, else the first. A monitor of no area, or
// one that overlaps a monitor already covered (a clone of the primary, a
// duplicate entry) gets no window: a window there would hide the show. With
// no usable monitor the layout is one screen of `fallbackPx` at the origin.
MonitorLayout ArrangeMonitors(std::span<const Monitor> monitors, IntSize fallbackPx);

// X lists monitors twice: RandR (1.5, with the primary flag) and Xinerama.
// A server that joins several screens with Xinerama (Xephyr, Xnest, a
// multi-screen Xorg) disables RandR's view of them and shows one screen
// there; a RandR-driven server lists the same monitors in both. The longer
// list is the truer one; on a tie RandR's, which knows the primary.
std::vector<Monitor> PreferredMonitorList(std::vector<Monitor> randr,
                                          std::vector<Monitor> xinerama);

// Where the frame goes in a mirror window of `windowPx`: the largest
// rectangle of the frame's shape that fits, centred; whole pixels, never
// outside the window. Empty when either size is empty.
IntRect MirrorPictureRect(IntSize framePx, IntSize windowPx);

// The windows besides the show window, in desktop pixels, and what each
// shows: nothing (black) or the frame in `picturePx` (window coordinates).
struct MonitorWindowPlan {
  IntRect windowPx;
  bool mirrors = false;
  friend bool operator==(const MonitorWindowPlan&, const MonitorWindowPlan&) = default;
};
std::vector<MonitorWindowPlan> PlanMonitorWindows(const MonitorLayout& layout, MonitorMode mode);

// A pointer position in a monitor window (its client pixels) as the show
// window's input takes it: the same desktop point in the show window's
// client pixels, so that mouse travel across monitors is the distance the
// pointer really went. Outside the show window's rectangle when the pointer
// is on another monitor.
FloatPoint ToShowWindowPoint(FloatPoint localPx, IntPoint windowOriginPx, IntPoint showOriginPx);

// The monitor setting of a run: the option when given, else the registry
// value, else the default. `registryText` is the value as read (nothing when
// it is missing); a text that names no mode is reported in `unknown` and
// counts as missing.
MonitorMode ChooseMonitorMode(std::optional<MonitorMode> option,
                              std::optional<std::string_view> registryText,
                              std::string* unknown = nullptr);

// Reads the registry value (text; a missing key or value gives nothing),
// without tracing: the setting is the host's, not the show's.
std::optional<std::string> ReadMonitorSetting(RegistryApi& registry);

// The about window's line on the setting: what the other monitors show in
// this run (and whether the option said so) and where the setting is kept,
// with the registry file when the registry is one.
std::string MonitorSettingNote(MonitorMode mode, bool fromOption,
                               const std::optional<std::string>& registryFile);

// The setting of a run from the option and the registry (ChooseMonitorMode);
// a registry text that names no mode is reported on `errors`.
MonitorMode ResolveMonitorMode(std::optional<MonitorMode> option, RegistryApi& registry,
                               std::ostream& errors);

}  // namespace vistel
