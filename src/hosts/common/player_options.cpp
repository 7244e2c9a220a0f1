#include "hosts/common/player_options.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace vistel {
namespace {

// Bounds that keep every derived value (pixels to twips, seconds to ms) far
// from overflow while allowing anything a real setup would use.
constexpr int kMaxScreenSidePx = 16384;
constexpr double kMaxSeconds = 1e9;  // about 31 years of virtual time
constexpr std::uint64_t kMaxFrameMs = 60000;

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text, int base = 10) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> ParseSigned(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Non-negative decimal seconds, fractions allowed, to whole milliseconds.
std::optional<Milliseconds> ParseSeconds(std::string_view text) {
  if (text.empty()) return std::nullopt;
  double seconds = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(seconds) || seconds < 0 || seconds > kMaxSeconds) return std::nullopt;
  return static_cast<Milliseconds>(std::llround(seconds * 1000.0));
}

std::string_view TrimAsciiBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<WindowHandle> ParseHandle(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseUnsigned(text.substr(2), 16);
  }
  return ParseUnsigned(text);
}

std::optional<IntSize> ParseSize(std::string_view text) {
  const auto x = text.find_first_of("xX");
  if (x == std::string_view::npos) return std::nullopt;
  const auto width = ParseUnsigned(text.substr(0, x));
  const auto height = ParseUnsigned(text.substr(x + 1));
  if (!width || !height) return std::nullopt;
  if (*width < 1 || *width > kMaxScreenSidePx || *height < 1 || *height > kMaxScreenSidePx) {
    return std::nullopt;
  }
  return IntSize{static_cast<int>(*width), static_cast<int>(*height)};
}

// Built by appending: g++ 12 warns falsely (-Wrestrict) on chains of
// operator+ over temporaries at -O2.
unexpected<Error> BadValue(std::string_view option, std::string_view expected,
                           std::string_view got) {
  std::string text;
  text.append(option).append(": expected ").append(expected).append(", got \"");
  text.append(got).append("\"");
  return Fail(ErrorCode::InvalidProcedureCall, std::move(text));
}

using Apply = Status (*)(PlayerOptions&, std::string_view option, std::string_view value);

struct OptionDefinition {
  std::string_view name;
  std::string_view expects;  // empty for a flag without value
  bool repeatable;
  Apply apply;
};

Status SetPath(std::optional<std::string>& target, std::string_view option,
               std::string_view value) {
  if (value.empty()) return BadValue(option, "a path", value);
  target = std::string(value);
  return {};
}

const OptionDefinition kOptions[] = {
    {"--package", "a path", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) {
       return SetPath(o.packagePath, n, v);
     }},
    {"--headless", "", false,
     [](PlayerOptions& o, std::string_view, std::string_view) -> Status {
       o.headless = true;
       return {};
     }},
    {"--run-for", "seconds (a non-negative number such as 20 or 1.5)", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       const auto ms = ParseSeconds(v);
       if (!ms) return BadValue(n, "seconds (a non-negative number such as 20 or 1.5)", v);
       o.runForMs = *ms;
       return {};
     }},
    {"--screen", "WxH in pixels (such as 800x600)", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       const auto size = ParseSize(v);
       if (!size) return BadValue(n, "WxH in pixels, each from 1 to 16384 (such as 800x600)", v);
       o.screenSizePx = *size;
       return {};
     }},
    {"--window", "HANDLE:WxH (such as 4660:152x112 or 0x1234:152x112)", true,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       constexpr std::string_view kExpects =
           "HANDLE:WxH with a non-zero decimal or 0x hex handle (such as 4660:152x112)";
       const auto colon = v.find(':');
       if (colon == std::string_view::npos) return BadValue(n, kExpects, v);
       const auto handle = ParseHandle(v.substr(0, colon));
       const auto size = ParseSize(v.substr(colon + 1));
       if (!handle || *handle == 0 || !size) return BadValue(n, kExpects, v);
       for (const auto& w : o.windows) {
         if (w.handle == *handle) {
           return Fail(ErrorCode::InvalidProcedureCall,
                       std::string(n) + ": window " + std::to_string(*handle) + " given twice");
         }
       }
       o.windows.push_back({*handle, *size});
       return {};
     }},
    {"--trace", "a path", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) {
       return SetPath(o.tracePath, n, v);
     }},
    {"--input", "a path", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) {
       return SetPath(o.inputPath, n, v);
     }},
    {"--snapshot", "SECONDS:PATH.png (such as 2.5:shot.png)", true,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       constexpr std::string_view kExpects = "SECONDS:PATH.png (such as 2.5:shot.png)";
       const auto colon = v.find(':');
       if (colon == std::string_view::npos) return BadValue(n, kExpects, v);
       const auto ms = ParseSeconds(v.substr(0, colon));
       const auto path = v.substr(colon + 1);
       if (!ms || path.size() <= 4 || !EndsWithNoCase(path, ".png")) {
         return BadValue(n, kExpects, v);
       }
       o.snapshots.push_back({*ms, std::string(path)});
       return {};
     }},
    {"--os", "one of 95, 98, me, nt4, 2k, xp", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       static constexpr std::pair<std::string_view, OsChoice> kNames[] = {
           {"95", OsChoice::Windows95},   {"98", OsChoice::Windows98},
           {"me", OsChoice::WindowsMe},   {"nt4", OsChoice::WindowsNt4},
           {"2k", OsChoice::Windows2000}, {"xp", OsChoice::WindowsXp}};
       for (const auto& [name, os] : kNames) {
         if (EqualsNoCase(v, name)) {
           o.os = os;
           return {};
         }
       }
       return BadValue(n, "one of 95, 98, me, nt4, 2k, xp", v);
     }},
    {"--password-replies", "a comma-separated list of true/false", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       std::vector<bool>& replies = o.passwordReplies.emplace();
       if (v.empty()) return {};  // no replies: the password always counts as given
       std::size_t start = 0;
       while (true) {
         const auto comma = v.find(',', start);
         const auto item =
             v.substr(start, comma == std::string_view::npos ? v.npos : comma - start);
         if (EqualsNoCase(item, "true")) {
           replies.push_back(true);
         } else if (EqualsNoCase(item, "false")) {
           replies.push_back(false);
         } else {
           return BadValue(n, "a comma-separated list of true/false (such as false,true)", v);
         }
         if (comma == std::string_view::npos) break;
         start = comma + 1;
       }
       return {};
     }},
    {"--registry", "a path", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) {
       return SetPath(o.registryPath, n, v);
     }},
    {"--temp", "a folder", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) {
       return SetPath(o.tempDir, n, v);
     }},
    {"--system", "a folder", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) {
       return SetPath(o.systemDir, n, v);
     }},
    {"--seed", "an integer", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       const auto seed = ParseSigned(v);
       if (!seed) return BadValue(n, "an integer", v);
       o.seed = *seed;
       return {};
     }},
    {"--frame-ms", "whole milliseconds from 0 to 60000", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       const auto ms = ParseUnsigned(v);
       if (!ms || *ms > kMaxFrameMs) return BadValue(n, "whole milliseconds from 0 to 60000", v);
       o.frameMs = static_cast<Milliseconds>(*ms);
       return {};
     }},
    {"--window-id", "an X window id (decimal or 0x hex)", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       const auto id = ParseWindowId(v);
       if (!id) return BadValue(n, "a non-zero X window id (decimal or 0x hex)", v);
       o.hackWindow = *id;
       return {};
     }},
    {"--monitors", "primary or mirror", false,
     [](PlayerOptions& o, std::string_view n, std::string_view v) -> Status {
       const auto mode = ParseMonitorMode(v);
       if (!mode) return BadValue(n, "primary or mirror", v);
       o.monitors = *mode;
       return {};
     }},
    {"--root", "", false,
     [](PlayerOptions& o, std::string_view, std::string_view) -> Status {
       o.hackRoot = true;
       return {};
     }},
};

const OptionDefinition* FindOption(std::string_view name) {
  for (const auto& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

OsVersionInfo VersionRecordOf(OsChoice os) {
  // On the 9x family the build number's high word repeats major and minor.
  switch (os) {
    case OsChoice::Windows95:
      return {4, 0, 0x040003B6, kPlatformWindows9x, ""};
    case OsChoice::Windows98:
      return {4, 10, 0x040A07CE, kPlatformWindows9x, ""};
    case OsChoice::WindowsMe:
      return {4, 90, 0x045A0BB8, kPlatformWindows9x, ""};
    case OsChoice::WindowsNt4:
      return {4, 0, 1381, kPlatformWindowsNt, "Service Pack 6"};
    case OsChoice::Windows2000:
      return {5, 0, 2195, kPlatformWindowsNt, "Service Pack 4"};
    case OsChoice::WindowsXp:
      return {5, 1, 2600, kPlatformWindowsNt, "Service Pack 3"};
  }
  return {5, 1, 2600, kPlatformWindowsNt, "Service Pack 3"};
}

Result<PlayerOptions> ParsePlayerOptions(std::span<const std::string_view> args) {
  PlayerOptions options;
  std::vector<std::string_view> seen;
  std::string commandLine;
  auto appendToCommandLine = [&commandLine](std::string_view arg) {
    if (!commandLine.empty()) commandLine += ' ';
    commandLine += arg;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--") {
      for (++i; i < args.size(); ++i) appendToCommandLine(args[i]);
      break;
    }
    if (!arg.starts_with("--")) {
      appendToCommandLine(arg);
      continue;
    }
    const auto equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const OptionDefinition* option = FindOption(name);
    if (option == nullptr) {
      return Fail(ErrorCode::InvalidProcedureCall, "unknown option " + std::string(name));
    }
    if (!option->repeatable && std::find(seen.begin(), seen.end(), option->name) != seen.end()) {
      return Fail(ErrorCode::InvalidProcedureCall, std::string(name) + " given twice");
    }
    seen.push_back(option->name);

    std::string_view value;
    if (option->expects.empty()) {
      if (equals != std::string_view::npos) {
        return Fail(ErrorCode::InvalidProcedureCall, std::string(name) + " takes no value");
      }
    } else if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else {
      // A following option is a forgotten value, not a value ("--trace
      // --headless"); a value that does start with "--" goes after "=".
      if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
        return Fail(ErrorCode::InvalidProcedureCall, std::string(name) + ": expected " +
                                                         std::string(option->expects) +
                                                         " after it, got nothing");
      }
      value = args[++i];
    }
    if (auto status = option->apply(options, name, value); !status) return Fail(status.error());
  }
  options.commandLine = std::move(commandLine);
  return options;
}

Result<PlayerOptions> ParsePlayerOptions(int argc, const char* const* argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return ParsePlayerOptions(args);
}

std::optional<WindowHandle> ParseWindowId(std::string_view text) {
  const auto id = ParseHandle(TrimAsciiBlanks(text));
  if (!id || *id == 0) return std::nullopt;
  return static_cast<WindowHandle>(*id);
}

Status TakeHackArguments(PlayerOptions& options) {
  std::vector<std::string_view> words;
  const std::string_view line = options.commandLine;
  for (std::size_t start = 0; start < line.size();) {
    const auto blank = line.find(' ', start);
    const auto end = blank == std::string_view::npos ? line.size() : blank;
    if (end > start) words.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  std::string rest;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (EqualsNoCase(words[i], "-root")) {
      options.hackRoot = true;
      continue;
    }
    if (EqualsNoCase(words[i], "-window-id")) {
      if (options.hackWindow) {
        return Fail(ErrorCode::InvalidProcedureCall, "-window-id given twice");
      }
      const auto id = i + 1 < words.size() ? ParseWindowId(words[i + 1]) : std::nullopt;
      if (!id) {
        return BadValue("-window-id", "a non-zero X window id (decimal or 0x hex)",
                        i + 1 < words.size() ? words[i + 1] : std::string_view{});
      }
      options.hackWindow = *id;
      ++i;
      continue;
    }
    if (!rest.empty()) rest += ' ';
    rest += words[i];
  }
  options.commandLine = std::move(rest);
  return {};
}

std::string_view PlayerOptionsUsage() {
  return "options of vistel-player (the rest is the screen-saver command line):\n"
         "  --package PATH            read this package instead of the player's own file\n"
         "  --headless                headless host on a virtual clock\n"
         "  --run-for SECONDS         end after this much (virtual) time\n"
         "  --screen WxH              screen size in pixels (default 800x600)\n"
         "  --window HANDLE:WxH       a foreign window that exists (repeatable)\n"
         "  --trace PATH              write the JSON-lines trace\n"
         "  --input PATH              JSON-lines input events to deliver\n"
         "  --snapshot SECONDS:PATH.png  write the composed screen (repeatable)\n"
         "  --os 95|98|me|nt4|2k|xp   the OS version the player sees (default: the\n"
         "                            system's on Windows, else xp)\n"
         "  --password-replies LIST   comma-separated true/false password answers\n"
         "                            (default: the system's on Windows, else given)\n"
         "  --registry PATH           REGEDIT4 registry file, read at start, written at exit\n"
         "  --temp DIR, --system DIR  the temporary and system folders\n"
         "  --seed N                  seed of the random generator\n"
         "  --frame-ms N              virtual duration of a transition frame (default 16)\n"
         "  --window-id ID            draw into this X window (an XScreenSaver hack)\n"
         "  --root                    draw into the root window (an XScreenSaver hack)\n"
         "  --monitors primary|mirror full screen: the other monitors black, or the\n"
         "                            show mirrored on each (default: the registry's\n"
         "                            HKEY_CURRENT_USER\\Software\\Vistel\\Player\\Monitors,\n"
         "                            else primary)\n";
}

}  // namespace vistel
