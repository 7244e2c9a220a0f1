// Key presses as character codes, mouse buttons, and the cursor counter.
#include <gtest/gtest.h>

#include "hosts/sdl/input_mapping.hpp"

namespace vistel {
namespace {

TEST(SdlKeyCodes, ControlKeysGiveTheirCharacterCodes) {
  EXPECT_EQ(KeyCharacterCode(SDLK_ESCAPE, KMOD_NONE), 27);
  EXPECT_EQ(KeyCharacterCode(SDLK_RETURN, KMOD_NONE), 13);
  EXPECT_EQ(KeyCharacterCode(SDLK_KP_ENTER, KMOD_NONE), 13);
  EXPECT_EQ(KeyCharacterCode(SDLK_SPACE, KMOD_SHIFT), 32);
  EXPECT_EQ(KeyCharacterCode(SDLK_BACKSPACE, KMOD_NONE), 8);
  EXPECT_EQ(KeyCharacterCode(SDLK_TAB, KMOD_NONE), 9);
}

TEST(SdlKeyCodes, LettersFollowShiftAndCapsLockAndControlMakesControlCodes) {
  EXPECT_EQ(KeyCharacterCode(SDLK_a, KMOD_NONE), 'a');
  EXPECT_EQ(KeyCharacterCode(SDLK_z, KMOD_LSHIFT), 'Z');
  EXPECT_EQ(KeyCharacterCode(SDLK_q, KMOD_CAPS), 'Q');
  EXPECT_EQ(KeyCharacterCode(SDLK_q, KMOD_CAPS | KMOD_RSHIFT), 'q') << "Shift undoes Caps Lock";
  EXPECT_EQ(KeyCharacterCode(SDLK_c, KMOD_LCTRL), 3);
  EXPECT_EQ(KeyCharacterCode(SDLK_a, KMOD_RCTRL | KMOD_SHIFT), 1);
}

TEST(SdlKeyCodes, DigitsPunctuationAndLatin1AreTheirOwnCodes) {
  EXPECT_EQ(KeyCharacterCode(SDLK_0, KMOD_NONE), '0');
  EXPECT_EQ(KeyCharacterCode(SDLK_9, KMOD_NONE), '9');
  EXPECT_EQ(KeyCharacterCode(SDLK_KP_7, KMOD_NONE), '7');
  EXPECT_EQ(KeyCharacterCode(SDLK_KP_0, KMOD_NONE), '0');
  EXPECT_EQ(KeyCharacterCode(SDLK_COMMA, KMOD_NONE), ',');
  EXPECT_EQ(KeyCharacterCode(SDLK_SLASH, KMOD_NONE), '/');
  EXPECT_EQ(KeyCharacterCode(0xE9, KMOD_NONE), 0xE9) << "é on a French keyboard";
}

TEST(SdlKeyCodes, KeysThatTypeNothingGiveNoCode) {
  const SDL_Keycode keys[] = {SDLK_LSHIFT,   SDLK_RCTRL,  SDLK_F1,   SDLK_LEFT,
                              SDLK_CAPSLOCK, SDLK_DELETE, SDLK_HOME, 0x20AC};
  for (const SDL_Keycode key : keys) {
    EXPECT_FALSE(KeyCharacterCode(key, KMOD_NONE).has_value())
        << "expected no character for key " << key;
  }
}

TEST(SdlMouseButtons, SdlButtonsBecomeTheFormsButtonNumbers) {
  EXPECT_EQ(FormMouseButton(SDL_BUTTON_LEFT), 1);
  EXPECT_EQ(FormMouseButton(SDL_BUTTON_RIGHT), 2);
  EXPECT_EQ(FormMouseButton(SDL_BUTTON_MIDDLE), 4);
  EXPECT_EQ(FormMouseButton(SDL_BUTTON_X1), 8);
  EXPECT_EQ(FormMouseButton(0), 0);
}

TEST(SdlCursorCounter, CountsLikeShowCursorAndShowsWhileNotNegative) {
  CursorCounter cursor;
  EXPECT_EQ(cursor.Value(), 0);
  EXPECT_TRUE(cursor.Visible()) << "a mouse is present: the counter starts at 0";
  EXPECT_EQ(cursor.Move(false), -1);
  EXPECT_FALSE(cursor.Visible());
  for (int i = 0; i < 5; ++i) cursor.Move(false);
  EXPECT_EQ(cursor.Value(), -6);
  for (int i = 0; i < 5; ++i) cursor.Move(true);
  EXPECT_FALSE(cursor.Visible()) << "hidden six times, shown five: still hidden";
  EXPECT_EQ(cursor.Move(true), 0);
  EXPECT_TRUE(cursor.Visible());
}

}  // namespace
}  // namespace vistel
