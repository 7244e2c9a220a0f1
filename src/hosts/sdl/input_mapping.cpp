#include "hosts/sdl/input_mapping.hpp"

namespace vistel {

std::optional<int> KeyCharacterCode(SDL_Keycode key, std::uint16_t modifiers) {
  switch (key) {
    case SDLK_ESCAPE:
      return 27;
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    case SDLK_SPACE:
      return 32;
    default:
      break;
  }
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return '1' + (key - SDLK_KP_1);
  if (key == SDLK_KP_0) return '0';
  const bool ctrl = (modifiers & KMOD_CTRL) != 0;
  const bool shift = (modifiers & KMOD_SHIFT) != 0;
  const bool caps = (modifiers & KMOD_CAPS) != 0;
  if (key >= SDLK_a && key <= SDLK_z) {
    if (ctrl) return key - SDLK_a + 1;
    const bool upper = shift != caps;
    return upper ? key - SDLK_a + 'A' : static_cast<int>(key);
  }
  // SDL's keycodes of printable keys are their character in the layout's
  // unshifted state (Unicode); Latin-1 maps one to one onto Windows-1252.
  if ((key >= 0x21 && key <= 0x7E) || (key >= 0xA0 && key <= 0xFF)) return static_cast<int>(key);
  return std::nullopt;
}

int FormMouseButton(std::uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT:
      return 1;
    case SDL_BUTTON_RIGHT:
      return 2;
    case SDL_BUTTON_MIDDLE:
      return 4;
    case SDL_BUTTON_X1:
      return 8;
    case SDL_BUTTON_X2:
      return 16;
    default:
      return 0;
  }
}

}  // namespace vistel
