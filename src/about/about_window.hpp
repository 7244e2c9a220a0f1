// The about window (frmInfo) of the "/c" switch: the show's title,
// publisher and website, and an "OK" label that ends the program. Only the
// model lives here; the host draws it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "package/records.hpp"
#include "runtime/process.hpp"
#include "runtime/trace.hpp"
#include "runtime/window.hpp"

namespace vistel {

inline constexpr std::string_view kAboutCaption = "Information";
inline constexpr IntSize kAboutClientTwips{6210, 1650};

// A note of the player's own below the show's details (where a desktop
// host keeps its settings): label "lblSettings", three lines across the
// window under the OK label, the window taller by as much.
inline constexpr int kAboutNoteTopTwips = 1740;
inline constexpr int kAboutNoteHeightTwips = 765;
inline constexpr IntSize kAboutClientWithNoteTwips{6210, 2745};

// The labels with their texts filled from the [GLOBAL] line (converted from
// Windows-1252), in the window's order; the note (UTF-8) last when not empty.
std::vector<AboutLabel> AboutLabels(const GlobalSettings& global, std::string_view note = {});

class AboutWindow {
 public:
  AboutWindow(AboutWindowHost& host, ProcessControl& process, Trace& trace, std::string note = {})
      : host_(host), process_(process), trace_(trace), note_(std::move(note)) {}

  // Shows the window modelessly and writes the `about` event. Clicking "OK"
  // or closing the window ends the program; other labels do nothing (the
  // website is only shown, never opened).
  void Show(const GlobalSettings& global);

 private:
  AboutWindowHost& host_;
  ProcessControl& process_;
  Trace& trace_;
  std::string note_;
};

}  // namespace vistel
