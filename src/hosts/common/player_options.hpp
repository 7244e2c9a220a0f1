// The player's own command-line options (those starting with "--"), which
// are taken out before the screen-saver command line is read:
//   vistel-player --headless --run-for 20 /p 4660   reads the switch "/p 4660".
// Every option takes its value either as the next argument or after "=";
// a lone "--" ends the options (everything after it is the command line).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/geometry.hpp"
#include "hosts/common/monitor_layout.hpp"
#include "runtime/events.hpp"
#include "runtime/os_version.hpp"
#include "runtime/password.hpp"

namespace vistel {

// The OS version record the player is told about (--os).
enum class OsChoice { Windows95, Windows98, WindowsMe, WindowsNt4, Windows2000, WindowsXp };

// What the player sees without --os where the host does not ask the system
// (headless, the Linux desktop): the NT family.
inline constexpr OsChoice kDefaultOs = OsChoice::WindowsXp;

// The version record GetVersionExA gives on that system.
OsVersionInfo VersionRecordOf(OsChoice os);

// A foreign window that exists, for /p and /a (--window HANDLE:WxH).
struct ForeignWindowOption {
  WindowHandle handle = 0;
  IntSize clientSizePx;
  friend bool operator==(const ForeignWindowOption&, const ForeignWindowOption&) = default;
};

// A PNG of the composed screen at a virtual time (--snapshot SECONDS:PATH.png).
struct SnapshotOption {
  Milliseconds atMs = 0;
  std::string path;
  friend bool operator==(const SnapshotOption&, const SnapshotOption&) = default;
};

struct PlayerOptions {
  std::optional<std::string> packagePath;    // --package
  bool headless = false;                     // --headless
  std::optional<Milliseconds> runForMs;      // --run-for (seconds, fractions allowed)
  IntSize screenSizePx{800, 600};            // --screen
  std::vector<ForeignWindowOption> windows;  // --window (repeatable)
  std::optional<std::string> tracePath;      // --trace
  std::optional<std::string> inputPath;      // --input
  std::vector<SnapshotOption> snapshots;     // --snapshot (repeatable), in the order given
  // Given or not: without them a host that asks the system (the Windows
  // desktop) takes the system's version and password services; the others
  // take kDefaultOs and a password that is always given.
  std::optional<OsChoice> os;                        // --os
  std::optional<std::vector<bool>> passwordReplies;  // --password-replies
  std::optional<std::string> registryPath;           // --registry
  std::optional<std::string> tempDir;                // --temp
  std::optional<std::string> systemDir;              // --system
  std::optional<std::int64_t> seed;                  // --seed
  Milliseconds frameMs = 16;                         // --frame-ms
  // The desktop host as an XScreenSaver hack: draw into this X window
  // (--window-id), or into the root window (--root).
  std::optional<WindowHandle> hackWindow;  // --window-id
  bool hackRoot = false;                   // --root
  // What the full-screen show puts on the monitors besides the primary one
  // (desktop hosts); the registry's setting, else the default, when absent.
  std::optional<MonitorMode> monitors;  // --monitors
  // The remaining arguments joined by single blanks.
  std::string commandLine;
};

// Parses the arguments after the program name. An unknown "--" option, a
// missing or malformed value, or a single-valued option given twice is an
// error whose text names the option and what it expects.
Result<PlayerOptions> ParsePlayerOptions(std::span<const std::string_view> args);
Result<PlayerOptions> ParsePlayerOptions(int argc, const char* const* argv);

// XScreenSaver starts its hacks with "-window-id ID" or "-root" (single
// dash). On the desktop those words are the daemon's, not the screen saver's:
// they are taken out of the command line into hackWindow and hackRoot. An id
// that is not a decimal or 0x hex number, or one given twice, is an error.
Status TakeHackArguments(PlayerOptions& options);

// The window named by $XSCREENSAVER_WINDOW (hexadecimal with 0x, or decimal),
// when the text is a valid non-zero id.
std::optional<WindowHandle> ParseWindowId(std::string_view text);

// The usage text listing every option, for error output.
std::string_view PlayerOptionsUsage();

}  // namespace vistel
