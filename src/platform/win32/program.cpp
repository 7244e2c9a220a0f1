#include "platform/program.hpp"

// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/win32/wide_text.hpp"

namespace vistel {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) arguments.push_back(win32::Utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::string OwnProgramPath(const std::string& argv0) {
  // Long paths go up to 32767 UTF-16 units; the buffer grows until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  while (path.size() <= 32768) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) break;
    if (length < path.size()) {
      path.resize(length);
      return win32::Utf8FromWide(path);
    }
    path.resize(path.size() * 2);
  }
  return argv0;
}

}  // namespace vistel
