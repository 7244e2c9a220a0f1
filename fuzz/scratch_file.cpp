#include "scratch_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace vistel::fuzz {

ScratchFile::ScratchFile() {
  const char* folder = std::getenv("TMPDIR");
  std::string name =
      std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/vistel-fuzz-XXXXXX";
  fd_ = mkstemp(name.data());
  Require(fd_ >= 0);
  unlink(name.c_str());
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

ScratchFile::~ScratchFile() {
  if (fd_ >= 0) close(fd_);
}

const std::string& ScratchFile::Hold(std::span<const std::uint8_t> bytes) {
  Require(ftruncate(fd_, 0) == 0);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    Require(n > 0);
    done += static_cast<std::size_t>(n);
  }
  return path_;
}

}  // namespace vistel::fuzz
