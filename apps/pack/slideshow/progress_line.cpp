#include "slideshow/progress_line.hpp"

#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "base/text.hpp"
#include "commands.hpp"

namespace vistel::pack {
namespace {

constexpr std::size_t kBarCells = 30;
constexpr std::size_t kNameBytes = 36;
constexpr std::string_view kClearLine = "\r\x1B[K";

}  // namespace

ProgressLine::ProgressLine(std::size_t total)
    : total_(std::max<std::size_t>(total, 1)), terminal_(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(std::size_t done, std::string_view what) {
  if (!terminal_) return;
  done = std::min(done, total_);
  const std::size_t filled = done * kBarCells / total_;
  std::string line = "[" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "] " +
                     std::to_string(done) + "/" + std::to_string(total_) + " ";
  // A name cut to fit the line, never inside a UTF-8 character, and shown as
  // text only (a name may hold control characters).
  const std::string name = InputExcerpt(what.substr(0, Utf8PrefixLength(what, kNameBytes)));
  line += name;
  if (drawn_ && line == last_) return;
  std::cerr << kClearLine << line << std::flush;
  last_ = std::move(line);
  drawn_ = true;
}

void ProgressLine::Warn(std::string_view message) {
  if (drawn_) std::cerr << kClearLine;
  Report(message);
  if (drawn_) std::cerr << last_ << std::flush;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::cerr << kClearLine << std::flush;
  drawn_ = false;
}

}  // namespace vistel::pack
