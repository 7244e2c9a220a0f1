// Where each medium's position and length fields stand in a configuration
// text, found line by line exactly as the reader finds them, and numbers
// written in the form of the field they replace. Moving the media behind
// another player changes those fields and nothing else of the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/media_check.hpp"

namespace vistel {

// A field's bytes within the text (separators excluded); absent when its line
// or the field itself is missing, which the reader reads as 0.
struct FieldSpan {
  std::size_t offset = 0;
  std::size_t size = 0;
  bool present = false;
};

struct MediumFields {
  MediumKind kind = MediumKind::Image;
  std::size_t index = 0;  // screen or track, from 0
  FieldSpan position;
  FieldSpan length;
};

// The range fields of every record the reader makes of `text`, in text order:
// each track, then the background, image and video of each screen. Records
// past a reader's limit are not listed (the reader refuses such a text).
std::vector<MediumFields> LocateMediumFields(std::string_view text);

// `value` written as `oldField` writes its number: the blanks around it and
// a leading "+" are kept, and a zero-padded number stays padded to the same
// width (wider only when the value needs more digits). A field that is not
// plain decimal digits (a fraction, an exponent, &H) gets plain digits.
std::string NumberInFormOf(std::string_view oldField, std::int64_t value);

}  // namespace vistel
