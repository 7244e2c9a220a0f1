// One FreeType face at one pixel size and style, with its glyph metrics: the
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

#include "base/image.hpp"
#include "media/fonts/glyph_cache.hpp"

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

struct FaceRecipe {
  std::string file;
  int index = 0;
  int emPixels = 16;
  Synthesis synthesis = Synthesis::None;
};

class FreeTypeFace {
 public:
  // Null when the file cannot be opened as a scalable face. Rendered glyphs
  // go into `cache`, shared with the other faces.
  static std::shared_ptr<FreeTypeFace> Open(std::shared_ptr<FreeTypeLibrary> library,
                                            std::shared_ptr<GlyphCache> cache,
                                            const FaceRecipe& recipe);
  ~FreeTypeFace();
  FreeTypeFace(const FreeTypeFace&) = delete;
  FreeTypeFace& operator=(const FreeTypeFace&) = delete;

  int LineHeight() const { return ascent_ + descent_; }
  int Ascent() const { return ascent_; }
  // 64-bit: a long line at a large size is wider than an int counts.
  std::int64_t TextWidth(std::string_view utf8);
  // Draws one line; (x, y) is the top-left of the line box (baseline at
  // y + Ascent()). Only glyphs whose ink reaches the target are rendered.
  void Draw(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8, Pixel color);

 private:
  // What layout needs of a glyph: known without rendering it.
  struct Metrics {
    FT_UInt index = 0;
    int advance = 0;  // whole pixels
    bool inked = false;
    // Where its ink can lie, in whole pixels around the outline: x from the
    // pen to the right, y from the baseline upwards (bottom < top).
    int inkLeft = 0;
    int inkRight = 0;
    int inkBottom = 0;
    int inkTop = 0;
  };

  FreeTypeFace(std::shared_ptr<FreeTypeLibrary> library, std::shared_ptr<GlyphCache> cache,
               FT_Face face, const FaceRecipe& recipe);
  const Metrics& MetricsFor(char32_t codePoint);
  // Loads the glyph's outline into the face's slot with the synthesised
  // style applied; false when it cannot be loaded.
  bool LoadStyled(FT_UInt index);
  GlyphBitmap Render(FT_UInt index);
  int Kerning(FT_UInt left, FT_UInt right) const;
  // Calls visit(metrics, penX) for each character of the line, in order.
  template <class Visit>
  std::int64_t Layout(std::string_view utf8, Visit&& visit);

  std::shared_ptr<FreeTypeLibrary> library_;
  std::shared_ptr<GlyphCache> cache_;
  std::uint64_t cacheId_ = 0;
  FT_Face face_ = nullptr;
  Synthesis synthesis_ = Synthesis::None;
  bool kerning_ = false;
  int ascent_ = 0;
  int descent_ = 0;
  int emboldenStrength_ = 0;  // 26.6
  std::unordered_map<char32_t, Metrics> metrics_;
};

// Decodes the next code point of UTF-8 text from `pos`, advancing it; an
// invalid or truncated sequence gives U+FFFD and skips one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

}  // namespace vistel::fonts
