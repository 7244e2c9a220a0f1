// How SDL input becomes the show window's input, as a Windows form gets it:
// key presses as character codes (WM_CHAR), mouse buttons as the form's
// button numbers, and the cursor display counter of ShowCursor.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <optional>

namespace vistel {

// The character code a key press gives: Escape 27, Enter 13, Backspace 8,
// Tab 9, Space 32, letters by Shift and Caps Lock, Ctrl+letter 1 to 26,
// digits and the other printable keys of Latin-1 as their code (the top half
// is the same in Windows-1252). Keys that type no character (Shift alone,
// arrows, function keys) give nothing, as they give no WM_CHAR.
std::optional<int> KeyCharacterCode(SDL_Keycode key, std::uint16_t modifiers);

// The form's button number of an SDL button: left 1, right 2, middle 4;
// X buttons 8 and 16 (beyond what forms report, but distinct).
int FormMouseButton(std::uint8_t sdlButton);

// ShowCursor's display counter: it starts at 0 (a mouse is present) and the
// cursor shows while it is >= 0.
class CursorCounter {
 public:
  // Moves the counter by one and returns it.
  int Move(bool show) { return counter_ += show ? 1 : -1; }
  int Value() const { return counter_; }
  bool Visible() const { return counter_ >= 0; }

 private:
  int counter_ = 0;
};

}  // namespace vistel
