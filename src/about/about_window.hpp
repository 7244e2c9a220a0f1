// The about window (frmInfo) of the "/c" switch: the show's title,
// publisher and website, and an "OK" label that ends the program. Only the
// model lives here; the host draws it.
#pragma once

#include <string_view>
#include <vector>

#include "package/records.hpp"
#include "runtime/process.hpp"
#include "runtime/trace.hpp"
#include "runtime/window.hpp"

namespace vistel {

inline constexpr std::string_view kAboutCaption = "Information";
inline constexpr IntSize kAboutClientTwips{6210, 1650};

// The labels with their texts filled from the [GLOBAL] line (converted from
// Windows-1252), in the window's order.
std::vector<AboutLabel> AboutLabels(const GlobalSettings& global);

class AboutWindow {
 public:
  AboutWindow(AboutWindowHost& host, ProcessControl& process, Trace& trace)
      : host_(host), process_(process), trace_(trace) {}

  // Shows the window modelessly and writes the `about` event. Clicking "OK"
  // or closing the window ends the program; other labels do nothing (the
  // website is only shown, never opened).
  void Show(const GlobalSettings& global);

 private:
  AboutWindowHost& host_;
  ProcessControl& process_;
  Trace& trace_;
};

}  // namespace vistel
