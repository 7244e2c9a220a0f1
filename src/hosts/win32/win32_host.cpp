#include "hosts/win32/win32_host.hpp"

#include <algorithm>

#include "hosts/win32/windows_api.hpp"

namespace vistel {
namespace {

// The screen's refresh period, for pacing animation frames; 60 Hz when the
// system does not say.
Milliseconds FramePeriodMs() {
  HDC screen = ::GetDC(nullptr);
  const int hertz = screen != nullptr ? ::GetDeviceCaps(screen, VREFRESH) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return hertz >= 24 && hertz <= 240 ? std::max(1000 / hertz, 1) : 16;
}

// Physical pixels on every monitor (Windows 10 1703 and later; looked up at
// run time, so the program still starts on older systems, unscaled there).
void BecomeDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return;
  const auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (set != nullptr) set(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)));
}

}  // namespace

Win32Host::Win32Host(const PlayerOptions& options, std::string playerPath)
    : audio_(clock_),
      services_(options, clock_, audio_, std::move(playerPath),
                {options.registryPath, SharedServices::SystemServices::System}),
      loop_(clock_, services_.Tracer()),
      messages_(services_.Tracer(), std::cerr),
      showWindow_(loop_, FramePeriodMs()) {}

Result<std::unique_ptr<Win32Host>> Win32Host::Create(const PlayerOptions& options,
                                                     std::string playerPath) {
  BecomeDpiAware();
  std::unique_ptr<Win32Host> host(new Win32Host(options, std::move(playerPath)));
  if (auto started = host->services_.Start(); !started) return Fail(started.error());
  if (options.runForMs) host->loop_.SetEndTime(options.runForMs);
  // Read once a registry file, if one is named, is loaded.
  const MonitorMode monitors =
      ResolveMonitorMode(options.monitors, host->services_.UntracedRegistry(), std::cerr);
  host->showWindow_.SetMonitorMode(monitors);
  // The system's registry unless --registry names a file.
  host->aboutNote_ =
      MonitorSettingNote(monitors, options.monitors.has_value(), options.registryPath);
  return host;
}

}  // namespace vistel
