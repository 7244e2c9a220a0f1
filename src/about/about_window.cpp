#include "about/about_window.hpp"

#include <string>

#include "base/text.hpp"

namespace vistel {
namespace {

// The OK label's light grey (224, 224, 224) behind the window-text colour.
constexpr ColorRef kOkBackColor = MakeColorRef(224, 224, 224);

}  // namespace

std::vector<AboutLabel> AboutLabels(const GlobalSettings& global, std::string_view note) {
  std::vector<AboutLabel> labels = {
      {"Label3", "Screen Saver Title:", 240, 240, 1455, 255},
      {"lblTitle", Windows1252ToUtf8(global.SaverTitle), 1800, 240, 3975, 255},
      {"Label1", "Publishers Name:", 240, 600, 1455, 255},
      {"lblPublisher", Windows1252ToUtf8(global.PublisherName), 1800, 600, 3975, 255},
      {"Label2", "Publishers Website:", 240, 960, 1455, 255},
      {"lblWebsite", Windows1252ToUtf8(global.WebsiteText), 1800, 960, 3975, 255},
      {"Label4", "OK", 4920, 1320, 1215, 255, kOkBackColor, true},
  };
  if (!note.empty()) {
    labels.push_back(
        {"lblSettings", std::string(note), 240, kAboutNoteTopTwips, 5730, kAboutNoteHeightTwips});
  }
  return labels;
}

void AboutWindow::Show(const GlobalSettings& global) {
  trace_.Write("about", {{"title", Windows1252ToUtf8(global.SaverTitle)},
                         {"publisher", Windows1252ToUtf8(global.PublisherName)},
                         {"website", Windows1252ToUtf8(global.WebsiteText)}});
  const std::vector<AboutLabel> labels = AboutLabels(global, note_);
  host_.ShowAbout(
      kAboutCaption, note_.empty() ? kAboutClientTwips : kAboutClientWithNoteTwips, labels,
      [this](std::string_view label) {
        if (label == "Label4") process_.EndProcess(0);
      },
      [this] { process_.EndProcess(0); });
}

}  // namespace vistel
