// A progress bar on stderr while a long command works, drawn only when stderr
// is a terminal; warnings go above it. Elsewhere (a log, a pipe) only the
// warnings are written, one line each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vistel::pack {

class ProgressLine {
 public:
  explicit ProgressLine(std::size_t total);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { Clear(); }

  // `done` of the total are finished; `what` is at work now.
  void Show(std::size_t done, std::string_view what);
  // "vistel-pack: message" on a line of its own.
  void Warn(std::string_view message);
  // Removes the bar, so that the next output starts on a clean line.
  void Clear();

 private:
  std::size_t total_;
  bool terminal_;
  bool drawn_ = false;
  std::string last_;
};

}  // namespace vistel::pack
