#include "hosts/sdl/sdl_message_boxes.hpp"

#include <SDL.h>

#include <string>

#include "base/text.hpp"

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
  const std::string titleUtf8 = Windows1252ToUtf8(title.empty() ? kApplicationTitle : title);
  const std::string textUtf8 = Windows1252ToUtf8(text);
  if (trace_.Enabled()) {
    trace_.Write(
        "msgbox",
        {{"text", textUtf8}, {"style", static_cast<std::int64_t>(style)}, {"title", titleUtf8}});
  }
  errors_ << titleUtf8 << ": " << textUtf8 << '\n';
  errors_.flush();
  if (use_ == DialogUse::Show) {
    (void)SDL_ShowSimpleMessageBox(MessageBoxFlagsOf(style), titleUtf8.c_str(), textUtf8.c_str(),
                                   nullptr);
  }
  return kIdOk;
}

}  // namespace vistel
