#include "hosts/headless/message_boxes.hpp"

#include "base/text.hpp"
#include "hosts/common/desktop_run.hpp"

namespace vistel {

int HeadlessMessageBoxes::Show(std::string_view text, std::uint32_t style, std::string_view title) {
  Shown box{std::string(text), style, std::string(title.empty() ? kApplicationTitle : title)};
  if (errors_) {
    ReportMessageBox(trace_, *errors_, text, style, title);
  } else if (trace_.Enabled()) {
    trace_.Write("msgbox", {{"text", Windows1252ToUtf8(box.text)},
                            {"style", static_cast<std::int64_t>(style)},
                            {"title", Windows1252ToUtf8(box.title)}});
  }
  shown_.push_back(std::move(box));
  return kIdOk;
}

}  // namespace vistel
