// The Windows 9x screen-saver password services through the system's own
// libraries, found by name at their first use (see system_password.hpp).
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/system_password.hpp"

namespace vistel {
namespace {

// password.cpl: shows the password dialog over `parent`; its answer is a
// Boolean in the low 16 bits, whatever the upper bits hold.
using VerifyScreenSavePwdCall = BOOL(WINAPI*)(HWND parent);
// mpr.dll: the change dialog of a password provider ("SCRSAVE").
using PwdChangePasswordCall = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved,
                                             LPVOID reserved2);

constexpr UINT kSpiSetScreenSaverRunning = 97;
constexpr UINT kSpifUpdateAndSend = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;

HWND HwndOf(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
}

// A library loaded at the first lookup and freed with this object. A library
// that cannot be loaded is not asked for again.
class LateLibrary {
 public:
  explicit LateLibrary(std::string name) : name_(std::move(name)) {}
  ~LateLibrary() {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  LateLibrary(const LateLibrary&) = delete;
  LateLibrary& operator=(const LateLibrary&) = delete;

  // The function, or nullptr when the library or the function is missing.
  template <class Function>
  Function Find(const char* function) {
    if (!tried_) {
      tried_ = true;
      // A library that is there but cannot be loaded must not stop the show
      // with the system's error box.
      const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
      module_ = ::LoadLibraryA(name_.c_str());
      ::SetErrorMode(previous);
    }
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_, function)));
  }

 private:
  std::string name_;
  HMODULE module_ = nullptr;
  bool tried_ = false;
};

class WindowsPassword final : public PasswordServices {
 public:
  explicit WindowsPassword(const PasswordLibraries& libraries)
      : verifyLibrary_(libraries.verifyLibrary), changeLibrary_(libraries.changeLibrary) {}

  bool VerifyScreenSavePwd(WindowHandle parent) override {
    const auto verify = verifyLibrary_.Find<VerifyScreenSavePwdCall>("VerifyScreenSavePwd");
    if (verify == nullptr) return true;  // no check to make: the show may close
    const auto answer = static_cast<std::uint32_t>(verify(HwndOf(parent)));
    return (answer & 0xFFFFU) != 0;
  }

  void PwdChangePassword(WindowHandle parent) override {
    const auto change = changeLibrary_.Find<PwdChangePasswordCall>("PwdChangePasswordA");
    if (change != nullptr) (void)change("SCRSAVE", HwndOf(parent), 0, nullptr);
  }

  void SetScreenSaverRunning(bool running) override {
    (void)::SystemParametersInfoA(kSpiSetScreenSaverRunning, running ? 1 : 0, nullptr,
                                  kSpifUpdateAndSend);
  }

 private:
  LateLibrary verifyLibrary_;
  LateLibrary changeLibrary_;
};

}  // namespace

std::unique_ptr<PasswordServices> MakeSystemPasswordServices(const PasswordLibraries& libraries) {
  return std::make_unique<WindowsPassword>(libraries);
}

}  // namespace vistel
