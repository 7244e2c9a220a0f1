// The font service of the Linux hosts: faces looked up through fontconfig and
// drawn with FreeType. fontconfig's aliases stand in for the Windows core
// fonts a package names (Arial -> Liberation Sans, Times New Roman ->
// Liberation Serif, Courier New -> Liberation Mono, all metric-compatible),
// and an unknown face gets the system's default sans-serif face.
//
// Sizes follow the Windows rule for a font asked for in points: the em is
// points x pixels-per-inch / 72 pixels, rounded to a whole pixel (12 pt at
// 96 ppi = 16 px). Metrics follow a Windows text metric as well, because the
// caption box is sized by them: the line height is tmHeight, the face's
// Windows ascent plus descent (OS/2 usWinAscent + usWinDescent; hhea when a
// face has no OS/2 table), each rounded to whole pixels; no external leading,
// since text measurement and line advance of a picture box use tmHeight alone.
//
// Bold and italic go through fontconfig's weight and slant; a face without a
// bold or italic style is emboldened or slanted by the renderer. Glyphs are
// anti-aliased (8-bit coverage blended onto the target in the text colour),
// pen positions are whole pixels, and pairs are kerned where the face has a
// kerning table.
//
// Faces are opened once per file, size and style and shared by every Font
// opened for them. Measuring renders nothing; drawing renders only the glyphs
// whose ink reaches the target, and keeps them in one cache over all faces and
// sizes, bounded in bytes (least recently used out first). Not thread-safe:
// the engine draws text on its one user-interface thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "base/input_limits.hpp"
#include "runtime/media.hpp"

namespace vistel {

// What fontconfig chose for a request.
struct ResolvedFace {
  std::string file;    // empty when the system has no usable font at all
  int index = 0;       // face index within the file
  std::string family;  // the chosen face's family name, UTF-8
  bool syntheticBold = false;
  bool syntheticItalic = false;
};

// What the glyph cache holds now.
struct GlyphCacheUse {
  std::size_t bytes = 0;  // coverage plus a fixed charge per glyph
  std::size_t glyphs = 0;
};

class FontconfigFontService final : public FontService {
 public:
  explicit FontconfigFontService(std::size_t glyphCacheBytes = limits::kMaxGlyphCacheBytes);
  ~FontconfigFontService() override;
  FontconfigFontService(const FontconfigFontService&) = delete;
  FontconfigFontService& operator=(const FontconfigFontService&) = delete;

  std::unique_ptr<Font> OpenFont(const FontRequest& request) override;

  // The face a request resolves to, without opening it.
  ResolvedFace Resolve(const FontRequest& request);

  GlyphCacheUse GlyphCacheInUse() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vistel
