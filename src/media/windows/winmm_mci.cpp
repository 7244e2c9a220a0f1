#include "media/windows/winmm_mci.hpp"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <vector>

#include "media/mci/mci_command.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

// The music module's replies are numbers and words; a reply area is never
// larger than this, whatever the caller declares.
constexpr std::uint32_t kMaxReplyChars = 4096;

// Whether every letter of the text has a place in the ANSI code page.
bool FitsAnsi(const std::wstring& text) {
  BOOL lost = FALSE;
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(),
                                         static_cast<int>(text.size()), nullptr, 0, nullptr, &lost);
  return size > 0 && !lost;
}

// winmm's wave driver opens its file through the ANSI code page (Wine's
// every driver does), so a file named with letters outside it is not found:
// such a name goes by its short name, where the volume keeps short names.
// The command is otherwise passed on as it stands.
std::wstring WithFileNameWinmmCanOpen(std::wstring command) {
  if (FitsAnsi(command)) return command;
  const std::size_t open = command.find(L'"');
  const std::size_t close = open == std::wstring::npos ? open : command.find(L'"', open + 1);
  if (close == std::wstring::npos) return command;
  const std::wstring name = command.substr(open + 1, close - open - 1);
  const DWORD size = ::GetShortPathNameW(name.c_str(), nullptr, 0);
  if (size == 0) return command;
  std::wstring shortName(size, L'\0');
  const DWORD written = ::GetShortPathNameW(name.c_str(), shortName.data(), size);
  if (written == 0 || written >= size) return command;
  shortName.resize(written);
  return command.replace(open + 1, name.size(), shortName);
}

}  // namespace

MciReply WinmmMciService::SendString(std::string_view command, std::uint32_t replySize) {
  auto utf16 = win32::WideFromUtf8(command);
  if (!utf16) return {mcierr::kInvalidDeviceName, ""};
  const auto wide = WithFileNameWinmmCanOpen(std::move(*utf16));
  if (replySize == 0) {
    return {static_cast<std::uint32_t>(::mciSendStringW(wide.c_str(), nullptr, 0, nullptr)), ""};
  }
  std::vector<wchar_t> area(std::min(replySize, kMaxReplyChars), L'\0');
  const MCIERROR rc =
      ::mciSendStringW(wide.c_str(), area.data(), static_cast<UINT>(area.size()), nullptr);
  area.back() = L'\0';
  return {static_cast<std::uint32_t>(rc), win32::Utf8FromWide(area.data())};
}

}  // namespace vistel
