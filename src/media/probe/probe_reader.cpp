#include "media/probe/probe_reader.hpp"

#include <algorithm>

namespace vistel::probe {

ProbeReader::ProbeReader(InputFile& file) : file_(file), size_(file.Size()) {}

void ProbeReader::Load(std::uint64_t start) {
  windowStart_ = start;
  window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindowBytes, size_ - start)));
  std::size_t filled = 0;
  while (filled < window_.size() && !failure_) {
    auto got =
        file_.ReadAt(start + filled, std::as_writable_bytes(std::span(window_).subspan(filled)));
    if (!got) {
      failure_ = got.error();
      break;
    }
    if (*got == 0) break;
    filled += *got;
  }
  window_.resize(filled);
}

std::uint8_t ProbeReader::At(std::uint64_t offset) {
  if (offset >= size_ || failure_) return 0;
  if (offset < windowStart_ || offset - windowStart_ >= window_.size()) {
    Load(offset - offset % kWindowBytes);
    if (offset - windowStart_ >= window_.size()) return 0;  // the file shrank
  }
  return window_[static_cast<std::size_t>(offset - windowStart_)];
}

bool ProbeReader::Matches(std::uint64_t offset, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (At(offset + i) != static_cast<unsigned char>(text[i])) return false;
  }
  return true;
}

void ProbeReader::Append(std::uint64_t offset, std::size_t count, std::vector<std::uint8_t>& out) {
  out.reserve(out.size() + count);
  while (count > 0) {
    const std::uint8_t first = At(offset);  // loads the window that holds offset
    const bool inWindow = offset >= windowStart_ && offset - windowStart_ < window_.size();
    if (!inWindow) {  // past the end, or failed
      out.insert(out.end(), count, 0);
      return;
    }
    (void)first;
    const auto at = static_cast<std::size_t>(offset - windowStart_);
    const std::size_t n = std::min(count, window_.size() - at);
    out.insert(out.end(), window_.begin() + static_cast<std::ptrdiff_t>(at),
               window_.begin() + static_cast<std::ptrdiff_t>(at + n));
    offset += n;
    count -= n;
  }
}

}  // namespace vistel::probe
