// Creating and writing files on a POSIX host without ever following a
// symbolic link at the name being written. Everything the player and
// vistel-pack write goes through these, so a link that someone planted at
// one of our names (in a shared folder, or a folder given on the command
// line) cannot redirect our bytes into a file of their choosing.
//
// Two ways, one per kind of caller:
//  - OpenForWriting keeps the file at the name (to append to it, or to stream
//    into it while the program runs) and refuses a link there;
//  - CreateFreshBeside + RenameOver write a whole new file under a fresh name
//    in the same folder and rename it over the name: a link there is replaced
//    by the new file, and a failed write leaves the old file as it was.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "runtime/files.hpp"

namespace vistel::posix {

// An open file descriptor, closed by its destructor.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept;
  ~Descriptor();

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  int Release();
  // Closes now and reports a failure, which on some file systems is the
  // first sign that the last bytes did not reach the disk.
  Status Close();

 private:
  int fd_ = -1;
};

// Opens path for writing: a missing file is created (0666 less the umask),
// Truncate empties an existing one, Append writes at its end. A symbolic link
// at the name is refused, and so is anything that is not a regular file (a
// FIFO would block the open, a device is nothing to write a file into).
Result<Descriptor> OpenForWriting(std::string_view path, WriteMode mode);

// A new, empty file in the folder of `path`, named "." + its name + "." and
// eight random letters, created exclusively: nothing that exists at that name,
// link or not, is opened. It gets the permission bits of a regular file at
// `path` when there is one.
struct FreshFile {
  std::string path;
  Descriptor descriptor;
};
Result<FreshFile> CreateFreshBeside(std::string_view path);

// Writes all of bytes, continuing after short writes and interruptions.
Status WriteAll(int fd, std::span<const std::byte> bytes);

// Moves `from` to `to` in one step, replacing whatever is at `to`; a link at
// `to` is itself replaced, never followed.
Status RenameOver(std::string_view from, std::string_view to);

// The whole of bytes as the new content of path, through a fresh file
// renamed over it; on failure path is as it was and no fresh file remains.
Status ReplaceWith(std::string_view path, std::span<const std::byte> bytes);

// The error number of the original's runtime closest to a failed call's errno.
Error ErrorFromErrno(int err);

}  // namespace vistel::posix
