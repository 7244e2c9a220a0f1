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
// opened for them; each keeps its glyphs once rendered. Not thread-safe: the
// engine draws text on its one user-interface thread.
#pragma once

#include <memory>
#include <string>

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

class FontconfigFontService final : public FontService {
 public:
  FontconfigFontService();
  ~FontconfigFontService() override;
  FontconfigFontService(const FontconfigFontService&) = delete;
  FontconfigFontService& operator=(const FontconfigFontService&) = delete;

  std::unique_ptr<Font> OpenFont(const FontRequest& request) override;

  // The face a request resolves to, without opening it.
  ResolvedFace Resolve(const FontRequest& request);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vistel
