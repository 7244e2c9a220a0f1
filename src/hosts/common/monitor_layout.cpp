#include "hosts/common/monitor_layout.hpp"

#include <algorithm>
#include <cstdint>
#include <ostream>

namespace vistel {
namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Overlaps(const IntRect& a, const IntRect& b) {
  return !a.Intersected(b).IsEmpty();
}

// KEY_READ: the setting is only read, so a key the user cannot write to
// (one set by an administrator's policy) still counts.
constexpr std::uint32_t kKeyRead = 0x20019;
// A mode's name is a few letters; anything longer names none.
constexpr std::uint32_t kSettingBufferSize = 64;

}  // namespace

std::optional<MonitorMode> ParseMonitorMode(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  if (lower == "primary") return MonitorMode::Primary;
  if (lower == "mirror") return MonitorMode::Mirror;
  return std::nullopt;
}

std::string_view MonitorModeName(MonitorMode mode) {
  return mode == MonitorMode::Mirror ? "mirror" : "primary";
}

MonitorLayout ArrangeMonitors(std::span<const Monitor> monitors, IntSize fallbackPx) {
  std::vector<const Monitor*> usable;
  for (const Monitor& monitor : monitors) {
    if (!monitor.boundsPx.IsEmpty()) usable.push_back(&monitor);
  }
  if (usable.empty()) return {{0, 0, fallbackPx.width, fallbackPx.height}, {}};
  auto primary =
      std::find_if(usable.begin(), usable.end(), [](const Monitor* m) { return m->primary; });
  if (primary == usable.end()) {
    primary = std::find_if(usable.begin(), usable.end(), [](const Monitor* m) {
      return m->boundsPx.Contains({0, 0});
    });
  }
  if (primary == usable.end()) primary = usable.begin();

  MonitorLayout layout{(*primary)->boundsPx, {}};
  for (const Monitor* monitor : usable) {
    if (monitor == *primary) continue;
    const IntRect& bounds = monitor->boundsPx;
    if (Overlaps(bounds, layout.primaryPx)) continue;
    if (std::any_of(layout.othersPx.begin(), layout.othersPx.end(),
                    [&](const IntRect& taken) { return Overlaps(bounds, taken); })) {
      continue;
    }
    layout.othersPx.push_back(bounds);
  }
  return layout;
}

std::vector<Monitor> PreferredMonitorList(std::vector<Monitor> randr,
                                          std::vector<Monitor> xinerama) {
  return xinerama.size() > randr.size() ? xinerama : randr;
}

IntRect MirrorPictureRect(IntSize framePx, IntSize windowPx) {
  if (framePx.IsEmpty() || windowPx.IsEmpty()) return {};
  // Compared in 64 bits: which side limits the scale, without rounding.
  const std::int64_t byWidth = std::int64_t{windowPx.width} * framePx.height;
  const std::int64_t byHeight = std::int64_t{windowPx.height} * framePx.width;
  IntSize size = windowPx;
  if (byWidth < byHeight) {
    // The width limits: full width, the height in proportion (rounded).
    size.height = static_cast<int>((byWidth + framePx.width / 2) / framePx.width);
  } else if (byHeight < byWidth) {
    size.width = static_cast<int>((byHeight + framePx.height / 2) / framePx.height);
  }
  size.width = std::clamp(size.width, 1, windowPx.width);
  size.height = std::clamp(size.height, 1, windowPx.height);
  return {(windowPx.width - size.width) / 2, (windowPx.height - size.height) / 2, size.width,
          size.height};
}

std::vector<MonitorWindowPlan> PlanMonitorWindows(const MonitorLayout& layout, MonitorMode mode) {
  std::vector<MonitorWindowPlan> plans;
  plans.reserve(layout.othersPx.size());
  for (const IntRect& bounds : layout.othersPx) {
    plans.push_back({bounds, mode == MonitorMode::Mirror});
  }
  return plans;
}

FloatPoint ToShowWindowPoint(FloatPoint localPx, IntPoint windowOriginPx, IntPoint showOriginPx) {
  return {localPx.x + static_cast<float>(windowOriginPx.x - showOriginPx.x),
          localPx.y + static_cast<float>(windowOriginPx.y - showOriginPx.y)};
}

MonitorMode ChooseMonitorMode(std::optional<MonitorMode> option,
                              std::optional<std::string_view> registryText, std::string* unknown) {
  if (option) return *option;
  if (registryText) {
    if (const auto mode = ParseMonitorMode(*registryText)) return *mode;
    if (unknown != nullptr) *unknown = std::string(*registryText);
  }
  return kDefaultMonitorMode;
}

std::optional<std::string> ReadMonitorSetting(RegistryApi& registry) {
  RegKeyHandle key = 0;
  if (registry.OpenKey(kPlayerSettingsHive, kPlayerSettingsKey, kKeyRead, key) != kErrorSuccess) {
    return std::nullopt;
  }
  const RegQueryResult value = registry.QueryValue(key, kMonitorsValueName, kSettingBufferSize);
  registry.CloseKey(key);
  if (value.rc == kErrorMoreData)
    return std::string("(a value of ") + std::to_string(value.size) + " bytes)";
  if (value.rc != kErrorSuccess) return std::nullopt;
  if (value.type != kRegSz && value.type != kRegExpandSz) return std::string("(not a text value)");
  std::string text(value.data.begin(), value.data.end());
  // The stored text ends at its NUL.
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace vistel

namespace vistel {

std::string MonitorSettingNote(MonitorMode mode, bool fromOption,
                               const std::optional<std::string>& registryFile) {
  std::string note = "Other monitors: ";
  note += mode == MonitorMode::Mirror ? "the show mirrored" : "black";
  if (fromOption) note += " (--monitors, this run only)";
  note += ". Kept in HKEY_CURRENT_USER\\";
  note += kPlayerSettingsKey;
  note += ", text value ";
  note += kMonitorsValueName;
  note += ": primary or mirror";
  if (registryFile) note += ", in " + *registryFile;
  note += ".";
  return note;
}

MonitorMode ResolveMonitorMode(std::optional<MonitorMode> option, RegistryApi& registry,
                               std::ostream& errors) {
  if (option) return *option;
  const std::optional<std::string> stored = ReadMonitorSetting(registry);
  std::string unknown;
  const MonitorMode mode = ChooseMonitorMode(
      std::nullopt, stored ? std::optional<std::string_view>(*stored) : std::nullopt, &unknown);
  if (!unknown.empty()) {
    errors << "vistel-player: the registry's " << kMonitorsValueName << " setting \"" << unknown
           << "\" is neither primary nor mirror; " << MonitorModeName(mode) << " it is\n";
  }
  return mode;
}

}  // namespace vistel
