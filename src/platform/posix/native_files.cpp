// The host's file system on POSIX (Linux, and the headless host there). Reads
// go through a std::filebuf: its offsets are 64-bit (std::streamoff), and
// reads larger than its buffer go straight to the system, so streaming a
// medium costs no extra copy. Writes go through posix_files, which never
// follows a link at the name written.
#include "platform/native_files.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/posix/posix_files.hpp"
#include "runtime/files.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(std::string_view path) {
  return fs::path(std::string(path));
}

// The error number the original's runtime would raise for a failed open.
Error OpenError(std::string_view path) {
  std::error_code ec;
  const fs::path p = PathOf(path);
  if (path.empty()) return Error(ErrorCode::BadFileNameOrNumber);
  if (!fs::exists(p.parent_path().empty() ? fs::path(".") : p.parent_path(), ec)) {
    return Error(ErrorCode::PathNotFound);
  }
  if (fs::is_directory(p, ec)) return Error(ErrorCode::PathFileAccessError);
  if (!fs::exists(p, ec)) return Error(ErrorCode::FileNotFound);
  return Error(ErrorCode::PermissionDenied);
}

Error ErrorFrom(const std::error_code& ec) {
  if (ec == std::errc::no_such_file_or_directory) return Error(ErrorCode::FileNotFound);
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) {
    return Error(ErrorCode::PermissionDenied);
  }
  if (ec == std::errc::no_space_on_device) return Error(ErrorCode::DiskFull);
  return Error(ErrorCode::PathFileAccessError, ec.message());
}

class NativeInputFile final : public InputFile {
 public:
  explicit NativeInputFile(std::filebuf&& file, std::uint64_t size)
      : file_(std::move(file)), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (offset >= size_ || buffer.empty()) return std::size_t{0};
    // Reads never go past the size taken at open, so a file that grows meanwhile
    // reads the same as before.
    const std::uint64_t wanted = std::min<std::uint64_t>(buffer.size(), size_ - offset);
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max())) {
      return Fail(ErrorCode::BadFileNameOrNumber);
    }
    // Sequential reads (the common case: streaming a medium) skip the seek, which
    // would discard the stream's buffer.
    if (!positioned_ || position_ != offset) {
      const auto to = static_cast<std::streamoff>(offset);
      if (file_.pubseekoff(to, std::ios_base::beg, std::ios_base::in) != std::streampos(to)) {
        positioned_ = false;
        return Fail(ErrorCode::DeviceIoError);
      }
    }
    const std::streamsize got =
        file_.sgetn(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(wanted));
    if (got < 0) {
      positioned_ = false;
      return Fail(ErrorCode::DeviceIoError);
    }
    positioned_ = true;
    position_ = offset + static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
  }

 private:
  std::filebuf file_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  bool positioned_ = false;
};

class NativeOutputFile final : public BufferedOutputFile {
 public:
  explicit NativeOutputFile(posix::Descriptor file, std::size_t bufferBytes = kDefaultBufferBytes)
      : BufferedOutputFile(bufferBytes), file_(std::move(file)) {}
  ~NativeOutputFile() override { (void)Flush(); }

 private:
  bool IsOpen() const override { return file_.IsOpen(); }
  Status WriteThrough(std::span<const std::byte> bytes) override {
    return posix::WriteAll(file_.Get(), bytes);
  }
  Status CloseThrough() override { return file_.Close(); }

  posix::Descriptor file_;
};

class NativeFileSystem final : public FileSystem {
 public:
  bool Exists(std::string_view path) override {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::exists(PathOf(path), ec);
  }

  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view path) override {
    std::error_code ec;
    if (path.empty() || fs::is_directory(PathOf(path), ec)) return Fail(OpenError(path));
    std::filebuf file;
    if (file.open(std::string(path), std::ios_base::in | std::ios_base::binary) == nullptr) {
      return Fail(OpenError(path));
    }
    const std::streampos end = file.pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (end == std::streampos(std::streamoff(-1))) return Fail(ErrorCode::DeviceIoError);
    const auto size = static_cast<std::uint64_t>(std::streamoff(end));
    return std::unique_ptr<InputFile>(std::make_unique<NativeInputFile>(std::move(file), size));
  }

  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view path, WriteMode mode) override {
    std::error_code ec;
    if (path.empty() || fs::is_directory(PathOf(path), ec)) return Fail(OpenError(path));
    auto file = posix::OpenForWriting(path, mode);
    if (!file) return Fail(file.error());
    return std::unique_ptr<OutputFile>(std::make_unique<NativeOutputFile>(std::move(*file)));
  }

  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    auto fresh = posix::CreateFreshBeside(beside);
    if (!fresh) return Fail(fresh.error());
    return FreshOutput{std::move(fresh->path),
                       std::make_unique<NativeOutputFile>(std::move(fresh->descriptor))};
  }

  Status Remove(std::string_view path) override {
    std::error_code ec;
    const fs::path p = PathOf(path);
    // symlink_status: a dangling link is still a name to remove.
    if (path.empty() || !fs::exists(fs::symlink_status(p, ec)))
      return Fail(ErrorCode::FileNotFound);
    const bool removed = fs::remove(p, ec);
    if (ec) return Fail(ErrorFrom(ec));
    if (!removed) return Fail(ErrorCode::FileNotFound);
    return {};
  }

  Status Rename(std::string_view from, std::string_view to) override {
    std::error_code ec;
    fs::rename(PathOf(from), PathOf(to), ec);
    if (ec) return Fail(ErrorFrom(ec));
    return {};
  }

  Status CreateDirectories(std::string_view path) override {
    std::error_code ec;
    const fs::path p = PathOf(path);
    fs::create_directories(p, ec);
    if (ec || !fs::is_directory(p, ec)) return Fail(ErrorCode::PathFileAccessError);
    return {};
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
  return std::make_unique<NativeFileSystem>();
}

Result<std::unique_ptr<OutputFile>> OpenStreamingFile(std::string_view path) {
  auto file = posix::OpenForWriting(path, WriteMode::Truncate);
  if (!file) return Fail(file.error());
  return std::unique_ptr<OutputFile>(std::make_unique<NativeOutputFile>(std::move(*file), 0));
}

}  // namespace vistel
