// The font service of the Windows host: the system's own fonts through GDI,
// so a caption in "Arial" is drawn in Arial, with GDI's metrics (the caption
// box is sized by them) and GDI's font mapper choosing a face for a name the
// system does not have.
//
// Text is drawn grey-scale anti-aliased into a 32-bit DIB section and
// blended onto the target in the text colour. Only the part of a line that
// reaches the target is drawn, so the scratch bitmap never exceeds the
// target (plus a glyph's overhang), however long the line or large the size.
#pragma once

#include <memory>

#include "runtime/media.hpp"

namespace vistel {

class GdiFontService final : public FontService {
 public:
  std::unique_ptr<Font> OpenFont(const FontRequest& request) override;
};

}  // namespace vistel
