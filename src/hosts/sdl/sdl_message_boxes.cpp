#include "hosts/sdl/sdl_message_boxes.hpp"

#include <SDL.h>

#include <string>

#include "base/text.hpp"
#include "hosts/common/desktop_run.hpp"

namespace vistel {

std::uint32_t MessageBoxFlagsOf(std::uint32_t style) {
  switch (style & 0xF0U) {
    case 0x10:  // MB_ICONHAND
      return SDL_MESSAGEBOX_ERROR;
    case 0x30:  // MB_ICONEXCLAMATION
      return SDL_MESSAGEBOX_WARNING;
    default:  // MB_ICONASTERISK, MB_ICONQUESTION, none
      return SDL_MESSAGEBOX_INFORMATION;
  }
}

int SdlMessageBoxes::Show(std::string_view text, std::uint32_t style, std::string_view title) {
  ReportMessageBox(trace_, errors_, text, style, title);
  if (use_ == DialogUse::Show) {
    const std::string titleUtf8 = Windows1252ToUtf8(title.empty() ? kApplicationTitle : title);
    (void)SDL_ShowSimpleMessageBox(MessageBoxFlagsOf(style), titleUtf8.c_str(),
                                   Windows1252ToUtf8(text).c_str(), nullptr);
  }
  return kIdOk;
}

}  // namespace vistel
