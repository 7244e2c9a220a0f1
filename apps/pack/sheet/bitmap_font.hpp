// A 5x7 bitmap font for the labels of contact sheets: built in, so a sheet
// looks the same on every machine whatever fonts it has, and the tool needs
// no font service. Printable ASCII; any other byte draws as '?'.
#pragma once

#include <string_view>

#include "base/image.hpp"

namespace vistel::pack {

inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;  // 5 columns and one of space

// Width in pixels of the text drawn at `scale` (each font pixel a square of
// scale x scale).
int TextWidth(std::string_view text, int scale = 1);

// Draws the text with its top-left corner at (x, y); what falls outside the
// image is clipped.
void DrawText(Image& image, int x, int y, std::string_view text, Pixel colour, int scale = 1);

}  // namespace vistel::pack
