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

}  // namespace

MciReply WinmmMciService::SendString(std::string_view command, std::uint32_t replySize) {
  const auto wide = win32::WideFromUtf8(command);
  if (!wide) return {mcierr::kInvalidDeviceName, ""};
  if (replySize == 0) {
    return {static_cast<std::uint32_t>(::mciSendStringW(wide->c_str(), nullptr, 0, nullptr)), ""};
  }
  std::vector<wchar_t> area(std::min(replySize, kMaxReplyChars), L'\0');
  const MCIERROR rc =
      ::mciSendStringW(wide->c_str(), area.data(), static_cast<UINT>(area.size()), nullptr);
  area.back() = L'\0';
  return {static_cast<std::uint32_t>(rc), win32::Utf8FromWide(area.data())};
}

}  // namespace vistel
