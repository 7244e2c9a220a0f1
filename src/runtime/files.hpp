// Files, as the core sees them. Paths are byte strings in the host's native
// form (ANSI on Windows, UTF-8 on Linux). Every core routine opens and closes
// its files within one call; handles here are owned by the caller and closed
// by their destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"

namespace vistel {

// A file opened for binary reading.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to buffer.size() bytes at 0-based offset; returns how many were
  // read (fewer only at the end of the file, 0 past it).
  virtual Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) = 0;
};

// A file opened for binary writing at its end.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual Status Write(std::span<const std::byte> bytes) = 0;
  // Flushes and closes; a failure here (disk full) is reported, unlike in the
  // destructor, which closes silently.
  virtual Status Close() = 0;
};

// An OutputFile that gathers small writes into one buffer and hands the
// system large ones; a write of at least the buffer's size goes straight
// through. A platform gives the two calls to its system. Its destructor must
// call Flush: the base cannot reach the platform's calls once that is gone.
class BufferedOutputFile : public OutputFile {
 public:
  static constexpr std::size_t kDefaultBufferBytes = std::size_t{1} << 16;
  // `bufferBytes` 0: every Write goes straight to the system (a trace file).
  explicit BufferedOutputFile(std::size_t bufferBytes) : bufferBytes_(bufferBytes) {}

  Status Write(std::span<const std::byte> bytes) final;
  Status Close() final;

 protected:
  virtual bool IsOpen() const = 0;
  // All of `bytes`, or the error.
  virtual Status WriteThrough(std::span<const std::byte> bytes) = 0;
  virtual Status CloseThrough() = 0;
  Status Flush();

 private:
  std::size_t bufferBytes_;
  std::vector<std::byte> buffer_;
};

enum class WriteMode { Truncate, Append };

// A new file beside another, see FileSystem::CreateFresh.
struct FreshOutput {
  std::string path;
  std::unique_ptr<OutputFile> file;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(std::string_view path) = 0;
  virtual Result<std::unique_ptr<InputFile>> OpenRead(std::string_view path) = 0;
  // Creates the file when missing. A link at path is never written through:
  // the open is refused, and its error says so.
  virtual Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view path, WriteMode mode) = 0;
  // A new, empty file in the folder of `path` under a fresh name that nothing
  // had, created exclusively, so nothing planted at any name is followed. It
  // has the permission bits of a regular file at `path`, if any. Written and
  // renamed over `path`, it replaces `path` whole and in one step.
  virtual Result<FreshOutput> CreateFresh(std::string_view beside) = 0;
  // Removes a file; at a link, the link itself, never what it points at.
  virtual Status Remove(std::string_view path) = 0;
  // Replaces `to` with `from` in one step (for atomic write-backs); a link at
  // `to` is replaced, not followed.
  virtual Status Rename(std::string_view from, std::string_view to) = 0;
  virtual Status CreateDirectories(std::string_view path) = 0;
};

// Writes a whole new file at `path`: `write` fills a fresh file beside it
// (CreateFresh), which then replaces `path` by Rename. A link at `path` is
// replaced by the file; on any failure `path` is as it was and the fresh file
// is removed. (Not named ReplaceFile: windows.h makes that name a macro.)
Status WriteWholeFile(FileSystem& files, std::string_view path,
                      const std::function<Status(OutputFile&)>& write);

}  // namespace vistel
