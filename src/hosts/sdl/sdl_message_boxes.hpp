// Message boxes on the desktop: an SDL message box (modal, its own loop),
// traced as `msgbox`. The text is always written to stderr as well, so that
// it is not lost where nobody sees a dialog (no display, a hack under the
// daemon, a box behind a topmost window); as a hack no dialog is shown at
// all, since it would sit on the locked screen with nobody to answer it.
#pragma once

#include <cstdint>
#include <ostream>

#include "runtime/message_box.hpp"
#include "runtime/trace.hpp"

namespace vistel {

enum class DialogUse { Show, StderrOnly };

class SdlMessageBoxes final : public MessageBoxes {
 public:
  SdlMessageBoxes(Trace& trace, DialogUse use, std::ostream& errors)
      : trace_(trace), use_(use), errors_(errors) {}

  int Show(std::string_view text, std::uint32_t style, std::string_view title) override;

 private:
  Trace& trace_;
  DialogUse use_;
  std::ostream& errors_;
};

// SDL's message box kind for the MB_ICON bits of a style.
std::uint32_t MessageBoxFlagsOf(std::uint32_t style);

}  // namespace vistel
