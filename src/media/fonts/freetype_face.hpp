// One FreeType face at one pixel size and style, with its glyph cache: the
// shared state behind every Font opened for the same file, size and style.
// Internal to the font service (it is the only place FreeType headers go).
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/image.hpp"

namespace vistel::fonts {

// Owns the FreeType library; faces keep it alive through a shared pointer.
class FreeTypeLibrary {
 public:
  FreeTypeLibrary();
  ~FreeTypeLibrary();
  FreeTypeLibrary(const FreeTypeLibrary&) = delete;
  FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;
  FT_Library Handle() const { return library_; }

 private:
  FT_Library library_ = nullptr;
};

enum class Synthesis : std::uint8_t { None = 0, Bold = 1, Oblique = 2, BoldOblique = 3 };

struct FaceSpec {
  std::string file;
  int index = 0;
  int emPixels = 16;
  Synthesis synthesis = Synthesis::None;
};

class FreeTypeFace {
 public:
  // Null when the file cannot be opened as a scalable face.
  static std::shared_ptr<FreeTypeFace> Open(std::shared_ptr<FreeTypeLibrary> library,
                                            const FaceSpec& recipe);
  ~FreeTypeFace();
  FreeTypeFace(const FreeTypeFace&) = delete;
  FreeTypeFace& operator=(const FreeTypeFace&) = delete;

  int LineHeight() const { return ascent_ + descent_; }
  int Ascent() const { return ascent_; }
  int TextWidth(std::string_view utf8);
  // Draws one line; (x, y) is the top-left of the line box (baseline at
  // y + Ascent()).
  void Draw(Image& target, int x, int y, std::string_view utf8, Pixel color);

 private:
  struct Glyph {
    FT_UInt index = 0;
    int advance = 0;  // whole pixels
    int left = 0;     // bitmap offset from the pen, x to the right
    int top = 0;      // bitmap offset from the baseline, y upwards
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;  // rows x width, no padding
  };

  FreeTypeFace(std::shared_ptr<FreeTypeLibrary> library, FT_Face face, const FaceSpec& recipe);
  const Glyph& GlyphFor(char32_t codePoint);
  Glyph Render(FT_UInt index);
  int Kerning(FT_UInt left, FT_UInt right) const;
  // Calls visit(glyph, penX) for each character of the line, in order.
  template <class Visit>
  int Layout(std::string_view utf8, Visit&& visit);

  std::shared_ptr<FreeTypeLibrary> library_;
  FT_Face face_ = nullptr;
  Synthesis synthesis_ = Synthesis::None;
  bool kerning_ = false;
  int ascent_ = 0;
  int descent_ = 0;
  int emboldenStrength_ = 0;  // 26.6
  std::unordered_map<char32_t, Glyph> glyphs_;
};

// Decodes the next code point of UTF-8 text from `pos`, advancing it; an
// invalid or truncated sequence gives U+FFFD and skips one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

}  // namespace vistel::fonts
