// Message boxes on the headless host: nobody is there to read them, so each
// box is recorded and traced (`msgbox`), written on the error stream when the
// program asks for it (as the desktop hosts do), and answered at once with
// OK, taking no virtual time.
#pragma once

#include <cstdint>
#include <ostream>
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

  // From now on every box is also written on `errors`, one "TITLE: TEXT" line
  // each: a run that ends on a message must not end silently. Tests that
  // read History() leave it off.
  void EchoTo(std::ostream& errors) { errors_ = &errors; }

  const std::vector<Shown>& History() const { return shown_; }

 private:
  Trace& trace_;
  std::ostream* errors_ = nullptr;
  std::vector<Shown> shown_;
};

}  // namespace vistel
