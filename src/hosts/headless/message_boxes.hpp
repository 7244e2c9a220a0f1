// Message boxes on the headless host: nobody is there to read them, so each
// box is recorded and traced (`msgbox`) and answered at once with OK, taking
// no virtual time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/message_box.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class HeadlessMessageBoxes final : public MessageBoxes {
 public:
  struct Shown {
    std::string text;  // as the core passed it (Windows-1252)
    std::uint32_t style = 0;
    std::string title;  // the caption shown: the application title when none was given
  };

  explicit HeadlessMessageBoxes(Trace& trace) : trace_(trace) {}

  int Show(std::string_view text, std::uint32_t style, std::string_view title) override;

  const std::vector<Shown>& History() const { return shown_; }

 private:
  Trace& trace_;
  std::vector<Shown> shown_;
};

}  // namespace vistel
